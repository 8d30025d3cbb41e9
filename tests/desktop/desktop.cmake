# The install tree: every file in its place, the desktop entry and the
# metainfo accepted by the freedesktop validators, the file type readable by
# the MIME database, and the installed programs running from it.
add_test(NAME desktop_install
         COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DPREFIX=${CMAKE_BINARY_DIR}/tests/install-check
                 -DPROJECT_VERSION=${PROJECT_VERSION} -P ${CMAKE_CURRENT_LIST_DIR}/scripts/install-check.cmake)
set_tests_properties(desktop_install PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
