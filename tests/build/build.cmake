# The slideshow builder: record, resources, the build job and reading it back.
pvsm_add_test(build_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SlideshowRecordTest.cpp ${CMAKE_CURRENT_LIST_DIR}/SlideshowBuildTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/SlideshowFileTest.cpp
  LIBS pvsm_package)
# The builder's player is a program with the icon slot.
add_dependencies(build_tests icon_slot_probe)
target_compile_definitions(build_tests PRIVATE ICON_SLOT_PROBE="$<TARGET_FILE:icon_slot_probe>")
# pvsm-cli build, package inspect and extract, and the player reading its own file.
pvsm_add_test(cli_build_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/BuildCliTest.cpp LIBS pvsm_bag)
add_dependencies(cli_build_tests pvsm-cli player_bfq)
