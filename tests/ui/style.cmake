# The text style dialog, offscreen: its lists per kind, the section buttons that
# open it, one command per confirm, and a chosen colour as the export draws it.
find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
add_executable(ui_style_tests ${CMAKE_CURRENT_LIST_DIR}/FrmFontTest.cpp ${CMAKE_CURRENT_LIST_DIR}/../support/WidgetTestMain.cpp)
target_include_directories(ui_style_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../support)
target_link_libraries(ui_style_tests PRIVATE pvsm_ui Qt6::Test GTest::gtest)
set_target_properties(ui_style_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
gtest_discover_tests(ui_style_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" DISCOVERY_TIMEOUT 60)
