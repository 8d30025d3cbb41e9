# The editing view's placement rules: hit zones, resizing, clamping, storing.
pvsm_add_test(placement_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/PlacementRulesTest.cpp LIBS pvsm_project)
