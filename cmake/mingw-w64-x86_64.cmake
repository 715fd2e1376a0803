# Cross build for Windows with Debian's mingw-w64 (x86_64, posix threads).
set(TAVOLEN_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
