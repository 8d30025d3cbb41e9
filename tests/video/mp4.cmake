pvsm_add_test(video_mp4_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/Mp4ExportTest.cpp LIBS pvsm_video PkgConfig::FFMPEG)
# The opening segments are found beside the program.
add_dependencies(video_mp4_tests opening_segments)
