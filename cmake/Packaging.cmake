# The Debian package of the install tree (data/CMakeLists.txt):
# `cpack -G DEB` in the build folder, or scripts/package.sh. It holds what
# `cmake --install` lays out under /usr: the editor and pvsm-cli in /usr/bin,
# the player (Pvsm.bfq) and the rest of the shipped data in /usr/share/pvsm,
# which the programs find as ../share/pvsm, and the desktop pieces.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pvsm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The pvsm developers")
# The maintainer named in the package and its changelog; the address is a
# placeholder until the project names one (-DPVSM_PACKAGE_MAINTAINER=...).
set(PVSM_PACKAGE_MAINTAINER "The pvsm developers <pvsm@example.org>" CACHE STRING "Maintainer of the Debian package: Name <address>")
set(CPACK_PACKAGE_CONTACT "${PVSM_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture slideshow authoring tool (Chinese user interface)")
# Each line of the extended description becomes one line of the control file.
set(CPACK_PACKAGE_DESCRIPTION
    "Gathers pictures, each with its own display time, caption and animated\n"
    "headline, background music, LRC lyrics, a background, a picture frame and\n"
    "opening and ending titles into one project, edited in one window. From a\n"
    "project it makes a self-playing slideshow program and a video of the show\n"
    "with its soundtrack.\n"
    ".\n"
    "The package holds the editor (pvsm), the slideshow player it builds\n"
    "slideshows from, pvsm-cli, which runs every job of the editor without a\n"
    "window, and their data. The user interface is in Chinese.")
string(CONCAT CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The libraries the programs link, found by dpkg-shlibdeps. The player ships
# scrambled (Pvsm.bfq) where dpkg-shlibdeps cannot read it; its libraries are
# added at packaging time (PlayerDepends.cmake.in).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What is loaded at run time rather than linked: Qt's TIFF reader (pictures
# in TIF), Chinese fonts and Qt's own Chinese texts, which the programs
# replace when missing.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei, qt6-translations-l10n")
# Installed programs carry no debugging sections.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)

file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/PvsmPlayerDepends.cmake
     INPUT ${CMAKE_CURRENT_LIST_DIR}/PlayerDepends.cmake.in)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/PvsmPlayerDepends.cmake)
include(CPack)
