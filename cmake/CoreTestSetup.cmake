# The test set-up of a core-only build: GoogleTest from its sources when no package is found,
# and, when cross-built for Windows, every test program run under Wine in one throwaway prefix
# per ctest run (made by the fixture test "wine_prefix", removed by "wine_prefix_done").
find_package(GTest QUIET)
if(NOT TARGET GTest::gtest)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${TAVOLEN_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endif()

set(TAVOLEN_TEST_TMP ${CMAKE_BINARY_DIR}/test-tmp)
set(TAVOLEN_TEST_ENVIRONMENT "")
set(TAVOLEN_TEST_FIXTURES "")
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(TAVOLEN_WINE "/usr/lib/wine/wine64" CACHE FILEPATH "The 64-bit Wine loader the tests run with")
  set(TAVOLEN_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
  # Wine shows the root folder as drive Z:; the tests see their scratch folder by its Windows
  # name, so every path they build is a Windows path.
  string(REPLACE "/" "\\" TAVOLEN_TEST_TMP "Z:${CMAKE_BINARY_DIR}/test-tmp")
  set(TAVOLEN_TEST_ENVIRONMENT "WINEPREFIX=${TAVOLEN_WINEPREFIX}" "TAVOLEN_WINE=${TAVOLEN_WINE}")
  if(NOT TAVOLEN_CORE_ONLY)
    # The window tests load Qt's DLLs and the compiler's run-time DLLs from where they lie
    # (scripts/wine-run.sh puts these folders on WINEPATH); a qt.conf beside each program names
    # Qt's plug-ins in the Qt build and Qt's Japanese texts copied into the build folder; the
    # offscreen platform on Windows takes its fonts from one folder (QT_QPA_FONTDIR).
    cmake_path(GET Qt6_DIR PARENT_PATH qtLib)
    cmake_path(GET qtLib PARENT_PATH qtLib)
    cmake_path(GET qtLib PARENT_PATH qtPrefix)
    set(dllDirs "${qtPrefix}/bin")
    foreach(dll libstdc++-6.dll libwinpthread-1.dll)
      execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                      OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
      cmake_path(GET found PARENT_PATH foundDir)
      list(APPEND dllDirs "${foundDir}")
    endforeach()
    list(JOIN dllDirs ":" dllPath)
    set(TAVOLEN_QT_PREFIX "${qtPrefix}" CACHE INTERNAL "")
    set(TAVOLEN_WINDOWS_DLL_DIRS "${dllDirs}" CACHE INTERNAL "")
    string(REPLACE "/" "\\" testFonts "Z:${CMAKE_BINARY_DIR}/test-fonts")
    list(APPEND TAVOLEN_TEST_ENVIRONMENT "TAVOLEN_WINE_DLLPATH=${dllPath}"
         "QT_QPA_FONTDIR=${testFonts}")
    file(COPY /usr/share/qt6/translations/qtbase_ja.qm
         DESTINATION ${CMAKE_BINARY_DIR}/translations)
    set(TAVOLEN_QT_CONF "[Paths]\r\nPrefix = Z:${qtPrefix}\r\nTranslations = Z:${CMAKE_BINARY_DIR}/translations\r\n")
    file(WRITE ${CMAKE_BINARY_DIR}/app-folder/qt.conf "${TAVOLEN_QT_CONF}")
    # A Japanese font and a Latin one for the offscreen platform.
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-fonts)
    foreach(font /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
                 /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf)
      if(EXISTS ${font})
        file(COPY ${font} DESTINATION ${CMAKE_BINARY_DIR}/test-fonts)
      endif()
    endforeach()
  endif()
  set(TAVOLEN_TEST_FIXTURES wine)
  add_test(NAME wine_prefix COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh --init)
  add_test(NAME wine_prefix_done COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh --done)
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 300
                       ENVIRONMENT "${TAVOLEN_TEST_ENVIRONMENT}")
  set_tests_properties(wine_prefix_done PROPERTIES FIXTURES_CLEANUP wine
                       ENVIRONMENT "${TAVOLEN_TEST_ENVIRONMENT}")
endif()
