# The editor window, offscreen: buttons, guard, sections, undo, title, autosave, recent files.
add_executable(ui_window_tests ${CMAKE_CURRENT_LIST_DIR}/MainWindowTest.cpp ${CMAKE_CURRENT_LIST_DIR}/../support/WidgetTestMain.cpp)
target_include_directories(ui_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../support)
find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
target_link_libraries(ui_window_tests PRIVATE pvsm_ui Qt6::Test GTest::gtest)
set_target_properties(ui_window_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
gtest_discover_tests(ui_window_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" DISCOVERY_TIMEOUT 60)
