# Cross build for 64-bit Windows with Debian's MinGW-w64 (package mingw-w64). The -posix
# compilers use winpthreads, so std::thread and std::mutex work. The runtime is linked
# statically: each .exe stands alone, under Wine and on a Windows machine alike. Programs
# built here run through Wine (CTest's emulator), inside scripts/wine-run only.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QV_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QV_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows has the native front end (app/win32); the Qt one is built for Linux only.
set(QV_BUILD_QT_FRONT_END OFF CACHE BOOL "Build the Qt front end (app/qt) and what drives it")

# Wine only through the guard, which refuses (exit status 2) outside scripts/wine-run's
# private namespace: a `ctest --test-dir build-win` typed by hand fails instead.
get_filename_component(QV_WINE_GUARD "${CMAKE_CURRENT_LIST_DIR}/../scripts/lib/wine-guard" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${QV_WINE_GUARD};wine")
