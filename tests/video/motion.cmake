pvsm_add_test(video_motion_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/MotionTest.cpp LIBS pvsm_video)
