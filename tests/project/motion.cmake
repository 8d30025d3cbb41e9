# The motion mode's rules: the area per draw mode, aspect kept while moving and resizing, defaults, swap, curves.
pvsm_add_test(motion_rules_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/MotionRulesTest.cpp LIBS pvsm_project)
