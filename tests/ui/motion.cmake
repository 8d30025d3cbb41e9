# The editing view's motion mode, offscreen: turning it on, drags, keys, swap, curve, automatic motion, play, undo.
find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
add_executable(ui_motion_tests ${CMAKE_CURRENT_LIST_DIR}/MotionModeTest.cpp ${CMAKE_CURRENT_LIST_DIR}/../support/WidgetTestMain.cpp)
target_include_directories(ui_motion_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../support)
target_link_libraries(ui_motion_tests PRIVATE pvsm_ui Qt6::Test GTest::gtest)
set_target_properties(ui_motion_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
gtest_discover_tests(ui_motion_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" DISCOVERY_TIMEOUT 60)
