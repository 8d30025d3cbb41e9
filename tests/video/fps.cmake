# The show at 25, 30 and 60 frames a second.
pvsm_add_test(video_fps_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/FpsTest.cpp LIBS pvsm_video)
pvsm_add_test(video_fps_export_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/FpsExportTest.cpp LIBS pvsm_video)
add_dependencies(video_fps_export_tests opening_segments)
pvsm_add_test(video_fps_cli_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/FpsCliTest.cpp LIBS Qt6::Core)
add_dependencies(video_fps_cli_tests pvsm-cli)
