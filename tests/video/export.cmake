pvsm_add_test(video_export_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/VideoExportTest.cpp LIBS pvsm_video)
