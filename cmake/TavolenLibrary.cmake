# tavolen_library(NAME SOURCES file... [WINDOWS file...] [POSIX file...] [LIBS target...]): the
# static library of a subsystem folder. WINDOWS and POSIX are the files of the one platform the
# build is for. Its headers are reached from the source root (#include "folder/File.h"), and
# LIBS are linked publicly, so a target linking it sees what it builds on.
function(tavolen_library name)
  cmake_parse_arguments(L "" "" "SOURCES;WINDOWS;POSIX;LIBS" ${ARGN})
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
