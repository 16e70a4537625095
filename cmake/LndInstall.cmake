# cmake --install BUILD --prefix P: the programs in P/bin, their data in P/share/landtoolkit,
# and what a desktop needs to offer them: man pages, menu entries, icons, the land file type
# and lndtool's completion. The programs find their data as ../share/landtoolkit from their
# own folder, so the two folder names below are fixed and an install moves as a whole.
# CPack makes the Debian package from the same rules (scripts/package.sh).

# Installing never builds the whole tree first (tests and benchmarks are no part of an
# install): build what it needs, then install (scripts/package.sh does both).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(LND_SHARE ${LND_SHARE_NAME})
install(TARGETS lndtool Strakmill RUNTIME DESTINATION bin)
if(TARGET Vostrel)
  install(TARGETS Vostrel RUNTIME DESTINATION bin)
endif()
if(TARGET Clayvane)
  install(TARGETS Clayvane RUNTIME DESTINATION bin)
endif()

install(FILES Vostrel.settings.xml Brushes.txt Clayvane.dat DESTINATION share/${LND_SHARE})
install(DIRECTORY data/brushes DESTINATION share/${LND_SHARE}/data)
install(FILES data/cursor.obj DESTINATION share/${LND_SHARE}/data)
install(DIRECTORY helpfiles/ DESTINATION share/${LND_SHARE}/helpfiles)

install(FILES ${LND_MAN_PAGES} DESTINATION share/man/man1)
install(FILES ${LND_COMPLETION} DESTINATION share/bash-completion/completions)
install(DIRECTORY ${PROJECT_BINARY_DIR}/share/icons/ DESTINATION share/icons PATTERN stamp EXCLUDE)
install(FILES data/desktop/vostrel.desktop data/desktop/clayvane.desktop data/desktop/mimeapps.list
        DESTINATION share/applications)
install(FILES data/desktop/landtoolkit-mime.xml DESTINATION share/mime/packages RENAME ${LND_SHARE}.xml)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${LND_SHARE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Land toolkit")
set(CPACK_PACKAGE_CONTACT "Land toolkit maintainers <landtoolkit@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editors and tools for Black and White landscape files")
# The summary is the first line of the package's description, this text the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vostrel is a land editor with a 3-D view: it reshapes altitudes with ring
brushes, paints countries onto blocks, edits blend tables, imports countries
from other lands, and exports and imports heightmaps.
Clayvane is a smaller sculpting editor for the same files. Strakmill dumps
the altitudes, countries or split flags of a land as one raw image, and
lndtool offers the editor's operations on the command line for scripts.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The libraries the programs link are found from the binaries; the window system's plugin
# and the GL drivers are loaded at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libgl1-mesa-dri")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, shared-mime-info, desktop-file-utils, hicolor-icon-theme")
include(CPack)
