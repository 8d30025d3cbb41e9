# The export command end to end: processes side by side, signals, answers.
pvsm_add_test(cli_export_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/ExportCliTest.cpp LIBS pvsm_base)
add_dependencies(cli_export_tests pvsm-cli opening_segments)
