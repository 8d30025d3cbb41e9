# The real-time presenter: the export's frames at their times, pacing, the
# controls, the music stream and the show without an audio device.
pvsm_add_test(playback_presenter_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/PresenterTest.cpp LIBS pvsm_playback)
add_dependencies(playback_presenter_tests opening_segments)
