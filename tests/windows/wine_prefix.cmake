# Makes the wine prefix PREFIX afresh: stops a wine server still running
# for it, removes it, and lets wineboot create it. EMULATOR is the command
# that runs a Windows program there, its words separated by '|'.
string(REPLACE "|" ";" EMULATOR "${EMULATOR}")
find_program(WINESERVER wineserver)
if(WINESERVER AND EXISTS "${PREFIX}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${PREFIX} ${WINESERVER} -k
                  OUTPUT_QUIET ERROR_QUIET)
endif()
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${EMULATOR} wineboot -i RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT IS_DIRECTORY "${PREFIX}/drive_c/windows")
  message(FATAL_ERROR "wineboot -i failed (${rc}) for ${PREFIX}:\n${out}\n${err}")
endif()
