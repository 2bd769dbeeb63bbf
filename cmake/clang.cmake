# Building with clang, found on PATH: `clang++`, else the newest versioned `clang++-N`. To choose
# another, name it once: -DCMAKE_CXX_COMPILER=... or the CXX environment variable.
#   cmake -S . -B build/x -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/clang.cmake
if(NOT CMAKE_CXX_COMPILER AND NOT DEFINED ENV{CXX})
  set(names clang++)
  foreach(version RANGE 30 14 -1)
    list(APPEND names clang++-${version})
  endforeach()
  find_program(CMAKE_CXX_COMPILER NAMES ${names} REQUIRED)
endif()
