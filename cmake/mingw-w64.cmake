# Cross build for Windows with Debian's mingw-w64 (posix threads), for the architecture the
# including toolchain file sets in TAVOLEN_MINGW_ARCH (i686 or x86_64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TAVOLEN_MINGW_ARCH})
set(CMAKE_C_COMPILER ${TAVOLEN_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVOLEN_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${TAVOLEN_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TAVOLEN_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The cross build holds the Qt-free core only.
set(TAVOLEN_CORE_ONLY ON CACHE BOOL "Build only the Qt-free core and its tests")
# A Qt for Windows built outside the compiler's folders (scripts/build-qt-windows.sh) is one more
# root to find packages in.
if(TAVOLEN_WINDOWS_QT)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TAVOLEN_WINDOWS_QT})
endif()
