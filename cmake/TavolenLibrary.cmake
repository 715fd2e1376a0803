# tavolen_library(NAME [QT] SOURCES file... [WINDOWS file...] [POSIX file...] [LIBS target...]):
# the static library of a subsystem folder. WINDOWS and POSIX are the files of the one platform
# the build is for. QT marks a library of windows, which the core-only build leaves out. Its
# headers are reached from the source root (#include "folder/File.h"), and LIBS are linked
# publicly, so a target linking it sees what it builds on.
function(tavolen_library name)
  cmake_parse_arguments(L "QT" "" "SOURCES;WINDOWS;POSIX;LIBS" ${ARGN})
  if(L_QT AND TAVOLEN_CORE_ONLY)
    return()
  endif()
  if(WIN32)
    add_library(${name} STATIC ${L_SOURCES} ${L_WINDOWS})
  else()
    add_library(${name} STATIC ${L_SOURCES} ${L_POSIX})
  endif()
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  if(L_LIBS)
    target_link_libraries(${name} PUBLIC ${L_LIBS})
  endif()
endfunction()
