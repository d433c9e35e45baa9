# Steps of the Windows builds' tests, chosen with -DSTEP=...:
#   build        configure BINARY_DIR from the preset PRESET of SOURCE_DIR
#                (with GENERATOR, and GoogleTest's sources from
#                GTEST_SOURCE_DIR when given) and build it
#   suite        run the test suite of BINARY_DIR (under wine) with ctest
#   same_output  burst the sample with the Windows command (under wine, in
#                the suite's wine prefix) and with the Linux one LINUX_CLI,
#                into WORK; the files must be byte for byte the same
cmake_minimum_required(VERSION 3.25)

# Runs a command and stops the test with its output when it fails; the
# output is shown either way, for the log of the run.
function(run_shown)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  message("${out}")
  if(NOT rc EQUAL 0)
    list(JOIN ARGN " " cmd)
    message(FATAL_ERROR "failed (${rc}): ${cmd}")
  endif()
endfunction()

function(step_build)
  set(options "")
  if(GTEST_SOURCE_DIR)
    list(APPEND options -DROREZIDE_GTEST_SOURCE_DIR=${GTEST_SOURCE_DIR})
  endif()
  run_shown(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BINARY_DIR} --preset ${PRESET}
            -G ${GENERATOR} ${options})
  run_shown(${CMAKE_COMMAND} --build ${BINARY_DIR} -j 2)
endfunction()

# Runs the suite, then adds up what its GoogleTest shards report. A test
# that fails is run once more: wine itself now and then loses a client
# (its own messages say so), and a fault of the library fails both times.
function(step_suite)
  run_shown(${CMAKE_CTEST_COMMAND} --test-dir ${BINARY_DIR} -j 2 --output-on-failure
            --repeat until-pass:2 --no-tests=error)
  file(STRINGS ${BINARY_DIR}/Testing/Temporary/LastTest.log lines
       REGEX "^\\[  (PASSED  |SKIPPED )\\] [0-9]+ tests?[,.]")
  set(passed 0)
  set(skipped 0)
  foreach(line IN LISTS lines)
    if(line MATCHES "^\\[  PASSED  \\] ([0-9]+)")
      math(EXPR passed "${passed} + ${CMAKE_MATCH_1}")
    elseif(line MATCHES "^\\[  SKIPPED \\] ([0-9]+)")
      math(EXPR skipped "${skipped} + ${CMAKE_MATCH_1}")
    endif()
  endforeach()
  message("GoogleTest cases under wine: ${passed} passed, ${skipped} skipped")
  if(passed EQUAL 0)
    message(FATAL_ERROR "no GoogleTest case passed under wine")
  endif()
endfunction()

function(step_same_output)
  set(sample ${SOURCE_DIR}/examples/sample.pdf)
  file(REMOVE_RECURSE ${WORK})
  run_shown(${LINUX_CLI} burst ${sample} ${WORK}/linux)
  run_shown(${CMAKE_COMMAND} -E env WINEPREFIX=${BINARY_DIR}/wineprefix WINEDEBUG=-all
            WINEDLLOVERRIDES=mscoree,mshtml= ${WINE} ${BINARY_DIR}/rorezide.exe
            burst Z:${sample} Z:${WORK}/windows)
  file(GLOB names RELATIVE ${WORK}/linux ${WORK}/linux/*.pdf)
  file(GLOB windows_names RELATIVE ${WORK}/windows ${WORK}/windows/*.pdf)
  list(LENGTH names count)
  if(count EQUAL 0 OR NOT names STREQUAL windows_names)
    message(FATAL_ERROR "files written: ${names} (Linux), ${windows_names} (Windows)")
  endif()
  foreach(name IN LISTS names)
    file(SHA256 ${WORK}/linux/${name} linux_hash)
    file(SHA256 ${WORK}/windows/${name} windows_hash)
    if(NOT linux_hash STREQUAL windows_hash)
      message(FATAL_ERROR "${name} differs between the Linux and the Windows command")
    endif()
  endforeach()
  message("${count} files, the same from both commands")
endfunction()

if(STEP STREQUAL "build")
  step_build()
elseif(STEP STREQUAL "suite")
  step_suite()
elseif(STEP STREQUAL "same_output")
  step_same_output()
else()
  message(FATAL_ERROR "unknown STEP '${STEP}'")
endif()
