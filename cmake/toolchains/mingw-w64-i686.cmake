# 32-bit Windows with mingw-w64, where the stream record is fourteen 32-bit
# words. This machine cannot run the programs; they are built and inspected:
#   cmake -S . -B build-win32 --toolchain cmake/toolchains/mingw-w64-i686.cmake
set(AVSDEC_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
