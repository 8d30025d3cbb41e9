# The ten section pages, offscreen: controls, undo commands, list commands, markers.
find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
add_executable(ui_section_tests ${CMAKE_CURRENT_LIST_DIR}/SectionPagesTest.cpp ${CMAKE_CURRENT_LIST_DIR}/MusicSectionTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IconChooserTest.cpp ${CMAKE_CURRENT_LIST_DIR}/../support/WidgetTestMain.cpp)
target_include_directories(ui_section_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../support)
target_link_libraries(ui_section_tests PRIVATE pvsm_ui Qt6::Test GTest::gtest)
target_compile_definitions(ui_section_tests PRIVATE PVSM_DEMO_PROJECT="${PVSM_BIN_DIR}/Demo/demo.aps")
set_target_properties(ui_section_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_dependencies(ui_section_tests demo)
gtest_discover_tests(ui_section_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" DISCOVERY_TIMEOUT 60)
