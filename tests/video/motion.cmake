pvsm_add_test(video_motion_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/MotionTest.cpp LIBS pvsm_video)
# The command-line test runs the pvsm-cli of this build.
add_dependencies(video_motion_tests pvsm-cli)
