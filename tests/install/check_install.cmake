# Steps of the installation test, chosen with -DSTEP=...:
#   install       cmake --install into PREFIX, check the installed files, run
#                 the installed command without any library path set
#   find_package  configure, build and run consumer/ with CMAKE_PREFIX_PATH
#   pkg_config    cc consumer.c $(pkg-config --cflags --libs rorezide), run it
# For a Windows build (WINDOWS true) the library is bin/rorezide.dll with the
# import library lib/librorezide.dll.a and lib/rorezide.def; the consumer is built with the
# toolchain file TOOLCHAIN, gets a copy of the DLL beside it, and programs
# run through EMULATOR (its words separated by '|'), which sees the build's
# files under the drive DRIVE.
string(REPLACE "|" ";" EMULATOR "${EMULATOR}")
if(WINDOWS)
  set(EXE .exe)
endif()

# Runs a command and stops the test with its output when it fails. The
# command's standard output is left in `run_output`.
function(run_checked)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    list(JOIN ARGN " " cmd)
    message(FATAL_ERROR "failed (${rc}): ${cmd}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

# Runs a program of the build's platform: its output, with Windows line ends
# made plain, in `run_output`.
function(run_program)
  run_checked(${EMULATOR} ${ARGN})
  string(REPLACE "\r\n" "\n" out "${run_output}")
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

# A host built in `dir` finds the library beside itself on Windows.
function(place_library dir)
  if(WINDOWS)
    file(COPY "${PREFIX}/${BINDIR}/rorezide.dll" DESTINATION "${dir}")
  endif()
endfunction()

function(expect_file path)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${PREFIX}/${path}")
  endif()
endfunction()

# The consumer writes pages 2 to 4 of the sample; its report names the page
# counts it saw.
function(expect_consumer_report exe out_pdf)
  if(WINDOWS)
    run_program(${DRIVE}${exe} ${DRIVE}${SAMPLE} ${DRIVE}${out_pdf})
  else()
    run_checked(${CMAKE_COMMAND} -E env "LD_LIBRARY_PATH=${PREFIX}/${LIBDIR}"
                ${exe} ${SAMPLE} ${out_pdf})
  endif()
  if(NOT run_output STREQUAL "consumer: 12 pages in, 3 pages out\n")
    message(FATAL_ERROR "unexpected consumer report: ${run_output}")
  endif()
endfunction()

function(step_install)
  file(REMOVE_RECURSE "${PREFIX}")
  run_checked(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} --config ${CONFIG})
  if(WINDOWS)
    set(library ${BINDIR}/rorezide.dll ${LIBDIR}/librorezide.dll.a ${LIBDIR}/rorezide.def)
  else()
    set(library ${LIBDIR}/librorezide.so ${LIBDIR}/librorezide.so.0)
  endif()
  foreach(f ${INCLUDEDIR}/rorezide.h ${library}
            ${BINDIR}/rorezide${EXE} ${LIBDIR}/pkgconfig/rorezide.pc
            ${LIBDIR}/cmake/rorezide/rorezideConfig.cmake
            ${LIBDIR}/cmake/rorezide/rorezideConfigVersion.cmake
            ${LIBDIR}/cmake/rorezide/rorezideTargets.cmake)
    expect_file(${f})
  endforeach()
  # The installed command finds its library through its own run path, on
  # Windows beside itself.
  if(WINDOWS)
    run_program(${DRIVE}${PREFIX}/${BINDIR}/rorezide.exe count ${DRIVE}${SAMPLE})
  else()
    run_checked(${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH
                ${PREFIX}/${BINDIR}/rorezide count ${SAMPLE})
  endif()
  if(NOT run_output STREQUAL "12\n")
    message(FATAL_ERROR "installed command counted: ${run_output}")
  endif()
endfunction()

function(step_find_package)
  set(build ${WORK}/find_package)
  file(REMOVE_RECURSE "${build}")
  set(toolchain "")
  if(TOOLCHAIN)
    set(toolchain -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_FIND_ROOT_PATH=${PREFIX})
  endif()
  run_checked(${CMAKE_COMMAND} -S ${CONSUMER} -B ${build} -G ${GENERATOR} ${toolchain}
              -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_PREFIX_PATH=${PREFIX}
              -DCMAKE_BUILD_TYPE=Release)
  run_checked(${CMAKE_COMMAND} --build ${build} --config Release)
  file(GLOB_RECURSE exe LIST_DIRECTORIES false "${build}/consumer${EXE}" "${build}/*/consumer${EXE}")
  list(GET exe 0 exe)
  get_filename_component(exe_dir ${exe} DIRECTORY)
  place_library(${exe_dir})
  expect_consumer_report(${exe} ${build}/out.pdf)
endfunction()

function(step_pkg_config)
  find_program(PKG_CONFIG pkg-config)
  if(NOT PKG_CONFIG)
    message("pkg-config not found: skipped")
    return()
  endif()
  set(build ${WORK}/pkg_config)
  file(REMOVE_RECURSE "${build}")
  file(MAKE_DIRECTORY "${build}")
  set(ENV{PKG_CONFIG_PATH} "${PREFIX}/${LIBDIR}/pkgconfig")
  run_checked(${PKG_CONFIG} --modversion rorezide)
  if(NOT run_output STREQUAL "${VERSION}\n")
    message(FATAL_ERROR "pkg-config --modversion rorezide: ${run_output}")
  endif()
  run_checked(sh -c "\"$1\" \"$2\" $(\"$3\" --cflags --libs rorezide) -o \"$4\""
              sh ${C_COMPILER} ${CONSUMER}/consumer.c ${PKG_CONFIG} ${build}/consumer${EXE})
  place_library(${build})
  expect_consumer_report(${build}/consumer${EXE} ${build}/out.pdf)
endfunction()

if(STEP STREQUAL "install")
  step_install()
elseif(STEP STREQUAL "find_package")
  step_find_package()
elseif(STEP STREQUAL "pkg_config")
  step_pkg_config()
else()
  message(FATAL_ERROR "unknown STEP '${STEP}'")
endif()
