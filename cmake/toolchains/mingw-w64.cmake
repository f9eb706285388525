# Shared part of the mingw-w64 toolchain files: set AVSDEC_MINGW_ARCH
# (x86_64 or i686) and include this. The posix-thread compilers, because the
# conversion workers use std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${AVSDEC_MINGW_ARCH})
set(triplet ${AVSDEC_MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)
set(CMAKE_OBJDUMP ${triplet}-objdump CACHE FILEPATH "objdump for Windows binaries")

set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
