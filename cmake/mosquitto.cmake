# libmosquitto as the target qv_mosquitto: Debian's package through pkg-config
# (libmosquitto-dev); for Windows the static library that scripts/lib/mosquitto-win.sh
# builds from Debian's sources into <build folder>/libmosquitto (QV_MOSQUITTO_WIN_PREFIX).
if(WIN32)
  set(QV_MOSQUITTO_WIN_PREFIX "${CMAKE_BINARY_DIR}/libmosquitto/prefix" CACHE PATH
      "Where scripts/lib/mosquitto-win.sh put libmosquitto for Windows")
  set(qv_mosquitto_archive "${QV_MOSQUITTO_WIN_PREFIX}/lib/libmosquitto_static.a")
  if(NOT EXISTS "${qv_mosquitto_archive}")
    message(FATAL_ERROR "No libmosquitto for Windows at ${QV_MOSQUITTO_WIN_PREFIX}: "
                        "run scripts/lib/mosquitto-win.sh ${CMAKE_BINARY_DIR}/libmosquitto first")
  endif()
  add_library(qv_mosquitto STATIC IMPORTED)
  set_target_properties(qv_mosquitto PROPERTIES
    IMPORTED_LOCATION "${qv_mosquitto_archive}"
    INTERFACE_INCLUDE_DIRECTORIES "${QV_MOSQUITTO_WIN_PREFIX}/include"
    INTERFACE_COMPILE_DEFINITIONS LIBMOSQUITTO_STATIC
    INTERFACE_LINK_LIBRARIES "ws2_32;winpthread")
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(MOSQUITTO REQUIRED IMPORTED_TARGET libmosquitto)
  add_library(qv_mosquitto INTERFACE)
  target_link_libraries(qv_mosquitto INTERFACE PkgConfig::MOSQUITTO)
endif()
