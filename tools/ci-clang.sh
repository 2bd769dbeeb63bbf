#!/usr/bin/env bash
# The game built by clang with LLVM's C++ library, libc++, as on macOS: the `libcxx` workflow builds
# it with every test, warnings as errors, and runs them all, the terminal tests and all the
# end-to-end games too, with a GoogleTest it builds with libc++ from Debian's sources (Debian's own
# is built against libstdc++).
#   tools/ci-clang.sh
# Installs what it needs with apt-get when it is missing (as root). The compiler is clang++-14,
# whose libc++ this installs; CXX names another, with its libc++ installed.
set -euo pipefail
cd "$(dirname "$0")/.."
export CXX=${CXX:-clang++-14}

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v python3 >/dev/null || need+=(python3)
command -v clang++-14 >/dev/null || need+=(clang-14)
dpkg -s libc++-14-dev >/dev/null 2>&1 || need+=(libc++-14-dev)
dpkg -s libc++abi-14-dev >/dev/null 2>&1 || need+=(libc++abi-14-dev)
dpkg -s googletest >/dev/null 2>&1 || need+=(googletest)  # GoogleTest's sources, built by the preset
if [ ${#need[@]} -gt 0 ]; then
  apt-get -o DPkg::Lock::Timeout=600 update
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${need[@]}"
fi

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
