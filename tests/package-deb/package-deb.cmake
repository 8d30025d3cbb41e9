# The Debian package: made by cpack from this build, checked by lintian,
# unpacked into a throw-away root and run from there, as a user who cannot
# write to it.
add_test(NAME package_deb
         COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DOUT=${CMAKE_BINARY_DIR}/tests/package-deb
                 -DPROJECT_VERSION=${PROJECT_VERSION} -P ${CMAKE_CURRENT_LIST_DIR}/scripts/deb-check.cmake)
set_tests_properties(package_deb PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 600)
