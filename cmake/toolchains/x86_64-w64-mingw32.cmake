# Cross build of the same Windows program for 64-bit Windows (Debian:
# g++-mingw-w64-x86-64). Its only use is to run the Windows tests under the 64-bit Wine
# on machines that cannot run 32-bit code at all, where the 32-bit program can be built
# but not run; the code is the same, and so are the tests.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(LEXIFORM_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix flavour: GCC 12's win32 flavour has no std::thread or std::mutex.
set(CMAKE_C_COMPILER ${LEXIFORM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LEXIFORM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LEXIFORM_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LEXIFORM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Debian's "wine" picks the 32-bit loader whenever it is installed; ask for the 64-bit
# one by name.
find_program(LEXIFORM_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(LEXIFORM_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LEXIFORM_WINE})
endif()
