# The player: loading shows (packed, paths, projects, damaged files), the
# export, and the player's window.
pvsm_add_test(player_loader_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ShowLoaderTest.cpp
  LIBS pvsm_playback pvsm_package)
# The builder wants a program with the icon slot as its player.
add_dependencies(player_loader_tests icon_slot_probe)
target_compile_definitions(player_loader_tests PRIVATE ICON_SLOT_PROBE="$<TARGET_FILE:icon_slot_probe>")

# The player's windows, offscreen: keys, controls, the information window, the export dialog.
find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
add_executable(player_window_tests ${CMAKE_CURRENT_LIST_DIR}/PlayerWindowTest.cpp ${CMAKE_CURRENT_LIST_DIR}/../support/WidgetTestMain.cpp)
target_include_directories(player_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../support)
target_link_libraries(player_window_tests PRIVATE pvsm_player_ui pvsm_package Qt6::Test GTest::gtest)
set_target_properties(player_window_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_dependencies(player_window_tests icon_slot_probe)
target_compile_definitions(player_window_tests PRIVATE ICON_SLOT_PROBE="$<TARGET_FILE:icon_slot_probe>")
gtest_discover_tests(player_window_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" DISCOVERY_TIMEOUT 60)

# The player program on built and damaged slideshows.
pvsm_add_test(player_program_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/PlayerProgramTest.cpp LIBS pvsm_playback pvsm_package)
add_dependencies(player_program_tests pvsm-player player_bfq icon_slot_probe)
target_compile_definitions(player_program_tests PRIVATE ICON_SLOT_PROBE="$<TARGET_FILE:icon_slot_probe>")
