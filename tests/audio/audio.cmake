# Sound sources, MP3 parsing, conversion, joining and encoding. Fixtures are
# made by the tests (tones, crafted headers, libmp3lame, the ffmpeg tool).
pvsm_add_test(audio_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/StreamWavTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Mp3Test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConversionTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/JoinEncodeTest.cpp
  LIBS pvsm_audio pvsm_base PkgConfig::FFMPEG ${MP3LAME_LIBRARY})
target_include_directories(audio_tests PRIVATE ${MP3LAME_INCLUDE_DIR})

pvsm_add_test(audio_cli_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/AudioCliTest.cpp LIBS pvsm_audio pvsm_base ${MP3LAME_LIBRARY})
target_include_directories(audio_cli_tests PRIVATE ${MP3LAME_INCLUDE_DIR})
add_dependencies(audio_cli_tests pvsm-cli)
