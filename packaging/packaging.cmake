# What a Linux system needs besides the programs: man pages, bash completion, the file type of
# dumps, the AppStream metainfo, and the Debian package (cpack -G DEB, see scripts/package).
# Included from the top-level CMakeLists.txt after the programs' own install rules.
# A Windows build installs the programs only.
if(NOT UNIX)
  return()
endif()

set(ZENDRIK_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(ZENDRIK_PACKAGING_OUT ${CMAKE_CURRENT_BINARY_DIR}/packaging)
set(ZENDRIK_VERSION_TEXT
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR} beta ${PROJECT_VERSION_PATCH}")
# Debian sorts "~" before anything, so 1.09~beta9 comes before the final 1.09.
set(ZENDRIK_DEBIAN_VERSION
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}~beta${PROJECT_VERSION_PATCH}")
set(ZENDRIK_MAINTAINER "Zendrik developers <zendrik@users.noreply.github.com>")
set(ZENDRIK_HOMEPAGE "https://github.com/zendrik/zendrik")

# Man pages: groff sources with the version filled in, compressed as Debian wants them.
find_program(ZENDRIK_GZIP gzip REQUIRED)
set(ZENDRIK_MAN_PAGES)
foreach(page zendrik-cli zendrik)
  configure_file(${ZENDRIK_PACKAGING_DIR}/${page}.1.in ${ZENDRIK_PACKAGING_OUT}/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${ZENDRIK_PACKAGING_OUT}/${page}.1.gz
                     COMMAND ${ZENDRIK_GZIP} -9 -n -c ${page}.1 > ${page}.1.gz
                     DEPENDS ${ZENDRIK_PACKAGING_OUT}/${page}.1
                     WORKING_DIRECTORY ${ZENDRIK_PACKAGING_OUT} VERBATIM)
  list(APPEND ZENDRIK_MAN_PAGES ${ZENDRIK_PACKAGING_OUT}/${page}.1.gz)
endforeach()
add_custom_target(zendrik_man_pages ALL DEPENDS ${ZENDRIK_MAN_PAGES})

install(FILES ${ZENDRIK_PACKAGING_OUT}/zendrik-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ZENDRIK_PACKAGING_DIR}/zendrik-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME zendrik-cli)

if(ZENDRIK_GUI)
  install(FILES ${ZENDRIK_PACKAGING_OUT}/zendrik.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${ZENDRIK_PACKAGING_DIR}/zendrik.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  configure_file(${ZENDRIK_PACKAGING_DIR}/io.github.zendrik.Zendrik.metainfo.xml.in
                 ${ZENDRIK_PACKAGING_OUT}/io.github.zendrik.Zendrik.metainfo.xml @ONLY)
  install(FILES ${ZENDRIK_PACKAGING_OUT}/io.github.zendrik.Zendrik.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# The Debian package. Its copyright file and changelog go into the package only: a plain
# `cmake --install` is not a Debian system.
set(ZENDRIK_DEB_DOC ${CMAKE_INSTALL_DATADIR}/doc/zendrik)
configure_file(${ZENDRIK_PACKAGING_DIR}/debian/changelog.in ${ZENDRIK_PACKAGING_OUT}/changelog @ONLY)
add_custom_command(OUTPUT ${ZENDRIK_PACKAGING_OUT}/changelog.gz
                   COMMAND ${ZENDRIK_GZIP} -9 -n -c changelog > changelog.gz
                   DEPENDS ${ZENDRIK_PACKAGING_OUT}/changelog
                   WORKING_DIRECTORY ${ZENDRIK_PACKAGING_OUT} VERBATIM)
add_custom_target(zendrik_changelog ALL DEPENDS ${ZENDRIK_PACKAGING_OUT}/changelog.gz)
install(FILES ${ZENDRIK_PACKAGING_DIR}/debian/copyright ${ZENDRIK_PACKAGING_OUT}/changelog.gz
        DESTINATION ${ZENDRIK_DEB_DOC} COMPONENT deb EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zendrik)
set(CPACK_PACKAGE_VENDOR "Zendrik developers")
set(CPACK_PACKAGE_CONTACT "${ZENDRIK_MAINTAINER}")
set(CPACK_PACKAGE_VERSION "${ZENDRIK_DEBIAN_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "receive exercises from a heart-rate watch by sound")
# Wrapped for the package managers' 80 columns; CPack writes the empty line as Debian's " .".
set(CPACK_PACKAGE_DESCRIPTION "\
Zendrik gets an exercise off an older heart-rate watch without any cable. The
watch plays its data as short tone bursts (SonicLink); Zendrik records them
from the microphone, or reads a recording or a saved dump, turns the sound
into bytes, checks them, decodes them for the watch model (S410/S510, Coach,
RS200/CS200) and writes the exercise as an HRM exercise file or a CSV table
for a training-log program or a spreadsheet.

This package holds the desktop program zendrik and the command-line program
zendrik-cli, which does the same headless, for scripts and batch work.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZENDRIK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${ZENDRIK_HOMEPAGE}")
# The libraries the programs link (Qt 6 among them) come from dpkg-shlibdeps. The Qt platform
# plugins (X11) are loaded at run time, so it cannot see them, and Qt only recommends them; the
# zone database turns the watch's local times into UTC for the export formats.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, tzdata")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEB_COMPONENT_INSTALL ON)
# Everything (the programs' rules have no component, i.e. "Unspecified") plus the Debian files.
set(CPACK_COMPONENTS_ALL Unspecified deb)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
include(CPack)
