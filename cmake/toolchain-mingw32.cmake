# Cross-compiling for 32-bit Windows with MinGW-w64.
# GoogleTest needs std::mutex, which only the posix thread variant has, so tests are
# built with it. The program itself has no threads: its release is built with the
# win32 variant (-DVELK_THREADS=win32), whose runtime asks nothing of Windows that
# the oldest versions the program runs on lack (the posix one needs Vista).
if(NOT VELK_THREADS)
    set(VELK_THREADS posix)
endif()
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELK_THREADS)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${VELK_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${VELK_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test executables run under Wine; the test script sets WINEPREFIX, DISPLAY and VELK_WINE.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
