# The Windows programs of a build made on Linux run under wine, through
# CTest's cross-compiling emulator, in a wine prefix of their own inside the
# build tree. Its Windows temporary directory (%TEMP%, where the tests make
# their files) is the prefix's own too. WINEDEBUG=-all keeps wine's
# diagnostics out of the tests' output; the Mono and Gecko installers are
# turned off.
find_program(ROREZIDE_WINE wine)
if(NOT ROREZIDE_WINE)
  message(FATAL_ERROR "wine not found: the tests of a Windows build made here run under it "
          "(Debian package wine), or configure with -DROREZIDE_TESTS=OFF")
endif()
set(ROREZIDE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEPREFIX=${ROREZIDE_WINEPREFIX}
    WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= ${ROREZIDE_WINE})

# The test that makes a fresh prefix; every test of a Windows build made
# here needs it (fixture ROREZIDE_WINE_FIXTURE).
string(REPLACE ";" "|" emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
add_test(NAME wine.prefix
         COMMAND ${CMAKE_COMMAND} -DPREFIX=${ROREZIDE_WINEPREFIX} "-DEMULATOR=${emulator}"
                 -P ${CMAKE_CURRENT_LIST_DIR}/wine_prefix.cmake)
set(ROREZIDE_WINE_FIXTURE wine_prefix)
set_tests_properties(wine.prefix PROPERTIES FIXTURES_SETUP ${ROREZIDE_WINE_FIXTURE} TIMEOUT 300)
