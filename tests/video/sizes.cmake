# The frame sizes after the first 18; portrait and square frames laid out for the frame.
pvsm_add_test(video_sizes_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/SizesTest.cpp LIBS pvsm_video)
