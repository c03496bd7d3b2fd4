# Cross-compiles 32-bit Windows programs with MinGW-w64 (posix thread model).
set(MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
