#!/usr/bin/env bash
# The game built by clang with LLVM's C++ library, libc++, as on macOS: the `libcxx` workflow builds
# it with every test, warnings as errors, and runs them all, the terminal tests and all the
# end-to-end games too, with a GoogleTest it builds with libc++ from Debian's sources (Debian's own
# is built against libstdc++).
#   tools/ci-clang.sh
# Installs what it needs with apt-get when it is missing (as root). The compiler is the one
# cmake/clang.cmake finds, `clang++` else the newest `clang++-N`, with the libc++ of its version (or
# Debian's clang and libc++ when there is none); CXX names another, whose libc++ must be installed.
set -euo pipefail
cd "$(dirname "$0")/.."

need=(cmake=cmake ninja-build=ninja python3=python3 googletest)  # GoogleTest's sources, built by the preset
if [ -z "${CXX:-}" ] && clang=$(tools/newest-tool.sh clang++); then
  version=$("$clang" -dumpversion | cut -d. -f1)
  need+=("libc++-$version-dev" "libc++abi-$version-dev")
elif [ -z "${CXX:-}" ]; then
  need+=(clang libc++-dev libc++abi-dev)
fi
tools/install-packages.sh "${need[@]}"

cmake --preset libcxx
cmake --build --preset libcxx
# A toolchain flag lost on the way would give a libstdc++ build that passes all the same.
for program in build/libcxx/qzvillage build/libcxx/tests/qz_tests; do
  if ! readelf -d "$program" | grep -q 'libc++\.so' || readelf -d "$program" | grep -q 'libstdc++'; then
    echo "$program is not linked with libc++ alone" >&2
    exit 1
  fi
done
ctest --preset libcxx
