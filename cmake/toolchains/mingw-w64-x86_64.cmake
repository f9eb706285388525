# 64-bit Windows with mingw-w64; the tests run under wine64 when it is there:
#   cmake -S . -B build-win64 --toolchain cmake/toolchains/mingw-w64-x86_64.cmake
set(AVSDEC_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# Debian's wine64 package puts the loader outside PATH.
find_program(AVSDEC_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(AVSDEC_WINE64 NAMES wine64)
if(AVSDEC_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${AVSDEC_WINE64})
endif()
