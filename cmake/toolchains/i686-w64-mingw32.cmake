# Cross build of the 32-bit Windows program with mingw-w64 (Debian: g++-mingw-w64-i686).
# The runtime is linked statically, so lexiform.exe runs alone on a Windows machine;
# Wine runs the programs that the build and the tests start.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(LEXIFORM_MINGW_TRIPLE i686-w64-mingw32)
# The posix flavour: GCC 12's win32 flavour has no std::thread or std::mutex.
set(CMAKE_C_COMPILER ${LEXIFORM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LEXIFORM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LEXIFORM_MINGW_TRIPLE}-windres)

# Libraries, headers and packages of the target only; tools from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${LEXIFORM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SSE2 (every processor Windows has asked for since Windows 8) lets the line search
# look at sixteen bytes at a time.
set(CMAKE_C_FLAGS_INIT "-msse2")
set(CMAKE_CXX_FLAGS_INIT "-msse2")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(LEXIFORM_WINE NAMES wine)
if(LEXIFORM_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LEXIFORM_WINE})
endif()
