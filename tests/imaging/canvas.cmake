# The memory canvas, its pixel operations and the path-text drawing.
pvsm_add_test(imaging_canvas_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CanvasTest.cpp ${CMAKE_CURRENT_LIST_DIR}/TextPathTest.cpp
  LIBS pvsm_imaging)
