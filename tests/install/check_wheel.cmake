# The Python package as a user gets it: from a clean copy of the source tree
# (no build directories, no library left in the package directory) a source
# distribution, from that a wheel, installed into a fresh virtual
# environment. The installed library must export the nine functions only,
# and python/test_rorezide.py, copied out of the tree, must pass against the
# installed package with ROREZIDE_LIBRARY pointing nowhere.
#
#   cmake -DPYTHON=... -DSOURCE=... -DWORK=... -DVERSION=... -DSAMPLE=...
#         -P check_wheel.cmake
cmake_minimum_required(VERSION 3.25)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out
                  WORKING_DIRECTORY ${WORK})
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}")
  endif()
  message(STATUS "${what}: done")
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/dist ${WORK}/run)

file(COPY ${SOURCE}/ DESTINATION ${WORK}/tree
     PATTERN ".git" EXCLUDE PATTERN "build*" EXCLUDE PATTERN "dist" EXCLUDE
     PATTERN "out" EXCLUDE PATTERN "__pycache__" EXCLUDE PATTERN "*.egg-info" EXCLUDE
     PATTERN "librorezide.so*" EXCLUDE PATTERN "rorezide.dll" EXCLUDE)

run("source distribution" ${CMAKE_COMMAND} -E chdir ${WORK}/tree ${PYTHON} -c
    "import sys\nfrom setuptools import build_meta\nbuild_meta.build_sdist(sys.argv[1])"
    ${WORK}/dist)
set(sdist ${WORK}/dist/rorezide-${VERSION}.tar.gz)
if(NOT EXISTS ${sdist})
  message(FATAL_ERROR "no ${sdist}")
endif()

run("wheel" ${PYTHON} -m pip wheel --no-build-isolation --no-deps --no-index
    --wheel-dir ${WORK}/dist ${sdist})
file(GLOB wheel ${WORK}/dist/rorezide-${VERSION}-*.whl)
if(NOT wheel)
  message(FATAL_ERROR "no wheel in ${WORK}/dist")
endif()

run("virtual environment" ${PYTHON} -m venv ${WORK}/venv)
set(venv_python ${WORK}/venv/bin/python)
run("installation" ${venv_python} -m pip install --no-index --no-deps ${wheel})

execute_process(
  COMMAND ${venv_python} -c "import os, rorezide\nprint(os.path.dirname(rorezide.__file__))"
  WORKING_DIRECTORY ${WORK}/run OUTPUT_VARIABLE package OUTPUT_STRIP_TRAILING_WHITESPACE)
set(library ${package}/librorezide.so)
string(FIND "${package}" "${WORK}/venv/" at)
if(NOT at EQUAL 0 OR NOT EXISTS ${library})
  message(FATAL_ERROR "the installed package holds no librorezide.so")
endif()
run("exports" ${CMAKE_COMMAND} -DLIB=${library}
    -P ${CMAKE_CURRENT_LIST_DIR}/../api/check_exports.cmake)

file(COPY ${SOURCE}/python/test_rorezide.py DESTINATION ${WORK}/run)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env ROREZIDE_TEST_INSTALLED=1
          ROREZIDE_LIBRARY=${WORK}/nowhere/librorezide.so ROREZIDE_VERSION=${VERSION}
          ROREZIDE_SAMPLE=${SAMPLE}
          ${venv_python} ${WORK}/run/test_rorezide.py -v
  WORKING_DIRECTORY ${WORK}/run RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the installed package's tests failed")
endif()
