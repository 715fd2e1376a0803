# Cross build for Windows with Debian's mingw-w64 (i686, posix threads).
set(TAVOLEN_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
