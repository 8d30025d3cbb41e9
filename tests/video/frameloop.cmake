pvsm_add_test(video_frameloop_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/FrameLoopTest.cpp LIBS pvsm_video)
