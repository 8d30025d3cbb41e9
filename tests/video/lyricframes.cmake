# Lyrics in an exported video, frame by frame.
pvsm_add_test(video_lyricframes_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/LyricFramesTest.cpp LIBS pvsm_video)
add_dependencies(video_lyricframes_tests opening_segments)
