# The job runner, its prompter bridge and the windows of a build or export.
# Widgets need a QApplication, so this suite has its own entry.
find_package(Qt6 6.4 REQUIRED COMPONENTS Test DBus)
add_executable(ui_job_tests ${CMAKE_CURRENT_LIST_DIR}/JobRunnerTest.cpp ${CMAKE_CURRENT_LIST_DIR}/JobDialogsTest.cpp
                            ${CMAKE_CURRENT_LIST_DIR}/SongAdmissionJobTest.cpp
                            ${CMAKE_CURRENT_LIST_DIR}/ShowInFolderTest.cpp
                            ${CMAKE_CURRENT_LIST_DIR}/WidgetTestMain.cpp)
target_include_directories(ui_job_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../support)
target_link_libraries(ui_job_tests PRIVATE pvsm_ui_jobs GTest::gtest Qt6::Widgets Qt6::Test Qt6::DBus)
# The file manager stand-in is a D-Bus object.
set_target_properties(ui_job_tests PROPERTIES AUTOMOC ON)
set_target_properties(ui_job_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
target_compile_definitions(ui_job_tests PRIVATE PVSM_BIN_DIR="${PVSM_BIN_DIR}")
gtest_discover_tests(ui_job_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" DISCOVERY_TIMEOUT 60)
# The slideshow flow builds with the player this build made.
add_dependencies(ui_job_tests player_bfq)
