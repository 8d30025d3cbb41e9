pvsm_add_test(video_soundtrack_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/SoundtrackTest.cpp LIBS pvsm_video)
# The opening segments are found beside the program.
add_dependencies(video_soundtrack_tests opening_segments)
