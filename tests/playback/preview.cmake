# The editor's live effect preview: its pacing, and its durations under a virtual clock.
pvsm_add_test(playback_preview_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/EffectPreviewTest.cpp LIBS pvsm_playback)
