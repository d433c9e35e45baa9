# Shared part of the MinGW-w64 toolchain files: cross-compiling for Windows
# with the triplet named in ROREZIDE_MINGW_TRIPLET. The posix-thread flavour
# of the compilers is used because GoogleTest needs std::thread and
# std::mutex; the library and the command link the runtime statically (see
# CMakeLists.txt), so they import only Windows system DLLs either way.
set(CMAKE_SYSTEM_NAME Windows)

set(triplet ${ROREZIDE_MINGW_TRIPLET})
find_program(CMAKE_C_COMPILER NAMES ${triplet}-gcc-posix ${triplet}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${triplet}-g++-posix ${triplet}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${triplet}-windres REQUIRED)

# Libraries, headers and packages come from the target's sysroot only (and
# from further roots given with -DCMAKE_FIND_ROOT_PATH=..., such as an
# installed rorezide); programs (python3, objdump) from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${triplet})
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
