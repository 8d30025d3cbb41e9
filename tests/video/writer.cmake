pvsm_add_test(video_writer_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/AviWriterTest.cpp ${CMAKE_CURRENT_LIST_DIR}/YuvConvertTest.cpp
              LIBS pvsm_video)
