pvsm_add_test(frames_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/FrameListTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ShippedPackagesTest.cpp
  LIBS pvsm_frames)
add_dependencies(frames_tests pvsm-cli packages player_bfq)
