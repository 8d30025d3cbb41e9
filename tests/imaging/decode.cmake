# Picture decoding, draw modes and re-encoding.
pvsm_add_test(imaging_decode_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ImageInfoTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TgaPcxTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DrawModeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ImageEncodeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ThumbnailCacheTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ExifThumbnailTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PictureCompleteTest.cpp
  LIBS pvsm_imaging)
target_include_directories(imaging_decode_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})

# pvsm-cli image info / image draw, end to end.
pvsm_add_test(imaging_cli_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/ImageCliTest.cpp LIBS Qt6::Core)
target_include_directories(imaging_cli_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
add_dependencies(imaging_cli_tests pvsm-cli)
