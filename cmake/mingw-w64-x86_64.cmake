# Cross-building for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# (scripts/build-windows does this). Libraries come from the MinGW tree only (zlib from
# libz-mingw-w64-dev); the header-only ones are copied from the build machine into a
# folder of the build that holds only them (cmake/Dependencies.cmake). The programs are
# linked statically, so that they run from their folder without extra DLLs, and run
# under Wine here: tests and tools named in add_test run through it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and the threads library inside each program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)

find_program(ORVANDEL_WINE NAMES wine wine64)
if(ORVANDEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVANDEL_WINE})
endif()
