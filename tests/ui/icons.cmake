# The icon chooser dialog and the icon of the "其他设定" section, offscreen.
find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
add_executable(ui_icon_tests ${CMAKE_CURRENT_LIST_DIR}/IconChooserTest.cpp ${CMAKE_CURRENT_LIST_DIR}/../support/WidgetTestMain.cpp)
target_include_directories(ui_icon_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../support)
target_link_libraries(ui_icon_tests PRIVATE pvsm_ui Qt6::Test GTest::gtest)
target_compile_definitions(ui_icon_tests PRIVATE PVSM_DEMO_PROJECT="${PVSM_BIN_DIR}/Demo/demo.aps")
set_target_properties(ui_icon_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_dependencies(ui_icon_tests demo)
gtest_discover_tests(ui_icon_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" DISCOVERY_TIMEOUT 60)
