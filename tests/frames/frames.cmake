pvsm_add_test(frames_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/FrameListTest.cpp LIBS pvsm_frames)
