# `make package`: one Debian package of both programs and everything installed
# beside them, its dependencies computed from the binaries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME labyrinth-writer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${LABYRINTH_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "randomized overworld labyrinths for Guardian Legend cartridge images")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Writes a freshly randomized, complete and consistent overworld labyrinth\n"
       "into your own cartridge image of The Guardian Legend, changing nothing\n"
       "else in it.\n"
       "\n"
       "labyrinth-writer is a small window with one button; labyrinth-cli writes\n"
       "from a seed, into a copy, draws and checks labyrinths, and saves BPS or\n"
       "IPS patches to share a labyrinth without sharing the image.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # labyrinth-writer_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
