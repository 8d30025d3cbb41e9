# The restore question at start, on a QApplication (it shows a message box).
set(CMAKE_AUTOMOC ON)
add_executable(recovery_prompt_tests ${CMAKE_CURRENT_LIST_DIR}/RecoveryPromptTest.cpp
               ${PROJECT_SOURCE_DIR}/src/ui/RecoveryPrompt.cpp)
target_include_directories(recovery_prompt_tests PRIVATE ${PROJECT_SOURCE_DIR}/src/ui ${CMAKE_CURRENT_LIST_DIR}/../support)
target_link_libraries(recovery_prompt_tests PRIVATE pvsm_app Qt6::Widgets GTest::gtest)
set_target_properties(recovery_prompt_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
target_compile_definitions(recovery_prompt_tests PRIVATE PVSM_BIN_DIR="${PVSM_BIN_DIR}")
add_dependencies(recovery_prompt_tests pvsm)
gtest_discover_tests(recovery_prompt_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" DISCOVERY_TIMEOUT 60)
