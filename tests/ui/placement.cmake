# The editing view's placement, offscreen: drags, keys, cursors, undo, and the view against an exported frame.
find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
add_executable(ui_placement_tests ${CMAKE_CURRENT_LIST_DIR}/PlacementTest.cpp ${CMAKE_CURRENT_LIST_DIR}/../support/WidgetTestMain.cpp)
target_include_directories(ui_placement_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../support)
target_link_libraries(ui_placement_tests PRIVATE pvsm_ui Qt6::Test GTest::gtest)
set_target_properties(ui_placement_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
gtest_discover_tests(ui_placement_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" DISCOVERY_TIMEOUT 60)
