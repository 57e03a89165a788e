# Installation and the Debian package: the program, the logger without a display and its
# systemd user unit, the program's desktop entry, icon 128 in the
# sizes the desktop asks for, the copyright and the changelog. Included last, once every
# target exists.
include(GNUInstallDirs)

if(TARGET QV-5300)
  install(TARGETS QV-5300 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
endif()
# The logger without a display and its systemd user unit, where systemd looks for the
# units packages ship (/usr/lib/systemd/user). The unit starts /usr/bin/qv5300-logd, the
# package's: an install under another prefix needs its ExecStart changed.
if(TARGET qv5300-logd)
  install(TARGETS qv5300-logd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
  install(FILES ${PROJECT_SOURCE_DIR}/app/headless/qv5300-logd.service
    DESTINATION lib/systemd/user COMPONENT program)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/app/res/qv5300.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT program)
foreach(size 16 32 48 256)
  install(FILES ${PROJECT_SOURCE_DIR}/app/res/icon/qv5300-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME qv5300.png COMPONENT program)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/app/res/icon/qv5300.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT program)

# /usr/share/doc/qv5300: the copyright statement and the Debian changelog, compressed as
# Debian wants it (gzip -9n: best compression, no name or time stamp, so the same bytes
# on every build). The changelog's newest entry is the project's version.
set(qv_deb_dir ${PROJECT_SOURCE_DIR}/cmake/deb)
file(STRINGS ${qv_deb_dir}/changelog qv_changelog_top LIMIT_COUNT 1)
if(NOT qv_changelog_top MATCHES "^qv5300 \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/deb/changelog: the newest entry is not version ${PROJECT_VERSION}: "
    "${qv_changelog_top}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${qv_deb_dir}/changelog)
execute_process(COMMAND gzip -9n -c ${qv_deb_dir}/changelog
  OUTPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${qv_deb_dir}/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qv5300 COMPONENT program)

# One package holding only the program component; development tools stay out.
set(CPACK_COMPONENTS_ALL program)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qv5300)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tavrin")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Logger for the QV-5300 humidity and temperature sensor")
set(CPACK_PACKAGE_DESCRIPTION
  "Reads a QV-5300 relative-humidity and temperature sensor over a serial line at a fixed interval, shows its values and logs them to a tab-separated text file; qv5300-logd does the same without a display, as a systemd user service.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_NAME qv5300)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tavrin <qv5300@tavrin.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The Qt 6 runtime libraries (the X11 platform plugin comes with libqt6gui6) and the C++
# runtime, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
