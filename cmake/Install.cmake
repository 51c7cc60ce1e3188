# Installation as a desktop program and the Debian package built from it.
#
#   cmake --install build --prefix ~/.local     the program, for one user
#   scripts/package.sh                          pg5400_<version>_<arch>.deb
#
# Only the two programs and their desktop files are installed: tests, the
# control gallery and the benchmarks stay in the build tree.
include(GNUInstallDirs)

# The component id of the AppStream metadata; the desktop entry keeps the
# program's name (pg5400.desktop), as that is the id Qt reports to the
# compositor (Wayland app id, X11 class instance) without further code.
set(PG_APPSTREAM_ID io.github.pg5400.panel)
set(PG_MAINTAINER "pg5400 dev <dev@pg5400.example>")
set(PG_COPYRIGHT_HOLDER "Open Bench Tools")

# Directories made on the way get no group write under a umask of 002 (the
# umask can still take more away; scripts/package.sh sets 022).
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)

install(TARGETS pg5400 pg5400-sim
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT Runtime)

install(FILES ${CMAKE_SOURCE_DIR}/assets/pg5400.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        COMPONENT Runtime)
install(FILES ${CMAKE_SOURCE_DIR}/assets/pg5400.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        COMPONENT Runtime)
foreach(size 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/assets/icons/${size}x${size}/pg5400.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          COMPONENT Runtime)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/assets/${PG_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        COMPONENT Runtime)

# Installs FILE compressed with gzip into DESTINATION (relative to the prefix).
# Compressed when installed rather than built, so that building just the two
# programs is enough to install, and straight into the destination, so that
# installing as root leaves nothing of root's in the build tree. -n leaves out
# name and time stamp: the same text always gives the same bytes.
function(pg_install_gzipped file destination)
  cmake_parse_arguments(PARSE_ARGV 2 arg "EXCLUDE_FROM_ALL" "COMPONENT" "")
  get_filename_component(name "${file}" NAME)
  set(exclude)
  if(arg_EXCLUDE_FROM_ALL)
    set(exclude EXCLUDE_FROM_ALL)
  endif()
  install(CODE "
    set(packed \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/${name}.gz\")
    message(STATUS \"Installing: \${packed}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}\")
    execute_process(COMMAND gzip -9nc \"${file}\" OUTPUT_FILE \"\${packed}\"
                    COMMAND_ERROR_IS_FATAL ANY)
    file(CHMOD \"\${packed}\" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${packed}\")"
    COMPONENT ${arg_COMPONENT} ${exclude})
endfunction()

foreach(page pg5400.1 pg5400-sim.1)
  pg_install_gzipped(${CMAKE_SOURCE_DIR}/docs/man/${page} ${CMAKE_INSTALL_MANDIR}/man1
                     COMPONENT Runtime)
endforeach()

# What Debian wants of every package: the copyright file and a changelog.
# Only the package carries them, so a plain install does not. The changelog
# is dated SOURCE_DATE_EPOCH when that is set (scripts/package.sh sets it).
string(TIMESTAMP PG_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/changelog.in
               ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/copyright.in
               ${CMAKE_BINARY_DIR}/debian/copyright @ONLY)
set(PG_DEBIAN_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${PROJECT_NAME})
install(FILES ${CMAKE_BINARY_DIR}/debian/copyright
        DESTINATION ${PG_DEBIAN_DOCDIR}
        COMPONENT DebianDoc EXCLUDE_FROM_ALL)
pg_install_gzipped(${CMAKE_BINARY_DIR}/debian/changelog ${PG_DEBIAN_DOCDIR}
                   COMPONENT DebianDoc EXCLUDE_FROM_ALL)

# The Debian package: one package holding both components.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR ${PG_COPYRIGHT_HOLDER})
set(CPACK_PACKAGE_CONTACT ${PG_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "control panel for 5400 series pulse and delay generators")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A desktop control panel for the 5400 family of digital pulse and delay
generators (models 5402, 5404, 5402+, 5404+, 5452 and 5454). It finds the
instrument on a USB or Bluetooth serial port, shows every setting in one
window, sends each edit at once, keeps the run state and counters current,
and saves and restores settings in instrument memory bins or text files.

The package also holds pg5400-sim, a simulated instrument on a
pseudo-terminal, for trying the panel and scripts without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stripped on the staging tree by a script of ours rather than by
# CPACK_STRIP_FILES, so that the sections Debian's own tools drop go too.
set(CPACK_PG_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/debian/strip.cmake)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime DebianDoc)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its window system plugins at run time, so no library dependency
# names the package that holds them; without it no window can open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
# On a Wayland desktop the panel runs natively (sharp at fractional scales)
# where Qt's Wayland plugin is there; without it, through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
include(CPack)
