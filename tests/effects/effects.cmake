# Every *Test.cpp of this folder joins the effects suite.
file(GLOB PVSM_EFFECT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*Test.cpp)
pvsm_add_test(effects_tests SOURCES ${PVSM_EFFECT_TEST_SOURCES} LIBS pvsm_effects)
target_include_directories(effects_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
