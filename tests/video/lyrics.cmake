# The lyric file parser.
pvsm_add_test(lyrics_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/LyricFileTest.cpp LIBS pvsm_video)
