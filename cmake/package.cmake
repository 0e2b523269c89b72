# The Debian package: `cpack --preset deb` writes
# build/package/quorvaline_VERSION_amd64.deb from the install rules in dist/.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvaline)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quorvaline Charts developers")
set(CPACK_PACKAGE_CONTACT "The Quorvaline Charts maintainers <maintainers@users.noreply.c-seed-35384a05.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "demo scene chart disk magazine, issue 36")
set(CPACK_PACKAGE_DESCRIPTION
    "The Quorvaline Charts shows one monthly issue of a chart publication of the\n"
    "demo scene as coloured 80-column text articles and chart pages on an\n"
    "800 x 600 full-screen display. An intro with copper bands, a starfield and a\n"
    "sine-wave scroller plays one of twelve Commodore 64 tunes through a built-in\n"
    "6502 and SID emulation, and the reader plays four tracker modules through a\n"
    "built-in XM player. Everything it shows or plays is compiled in.\n"
    "\n"
    "The intro and the hand-over to the reader flash full-screen colours several\n"
    "times a second.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries the binary really links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
