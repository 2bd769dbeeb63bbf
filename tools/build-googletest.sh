#!/usr/bin/env bash
# Builds GoogleTest from the sources Debian ships (package googletest) with a CMake toolchain file
# and installs it into PREFIX, once, for a build configured by hand whose compiler cannot link
# Debian's own libgtest: tools/ci-windows.sh's, for MinGW-w64. -DGTest_DIR then names
# PREFIX/lib/cmake/GTest. (The presets need none: cmake/googletest.cmake builds GoogleTest itself.)
#   tools/build-googletest.sh TOOLCHAIN_FILE PREFIX
set -euo pipefail
toolchain=$1
prefix=$2

if [ -f "$prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
  exit 0
fi
source_dir=$(dirname "$(dpkg -L googletest | grep -m1 '/CMakeLists.txt$')")
cmake -S "$source_dir" -B "$prefix-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib >/dev/null
cmake --build "$prefix-build"
cmake --install "$prefix-build" >/dev/null
