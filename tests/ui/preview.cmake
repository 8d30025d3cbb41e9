# The live effect preview in the editing view, offscreen: clicks on the effect lists, the busy mark, a second click, the end.
find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
add_executable(ui_preview_tests ${CMAKE_CURRENT_LIST_DIR}/LivePreviewTest.cpp ${CMAKE_CURRENT_LIST_DIR}/../support/WidgetTestMain.cpp)
target_include_directories(ui_preview_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../support)
target_link_libraries(ui_preview_tests PRIVATE pvsm_ui Qt6::Test GTest::gtest)
target_compile_definitions(ui_preview_tests PRIVATE PVSM_DEMO_PROJECT="${PVSM_BIN_DIR}/Demo/demo.aps")
set_target_properties(ui_preview_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_dependencies(ui_preview_tests demo)
gtest_discover_tests(ui_preview_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" DISCOVERY_TIMEOUT 60)
