#!/usr/bin/env bash
# The Windows build, made and tested on Linux: cross-compiles the game and its unit tests with
# MinGW-w64 into BUILD_DIR and runs the tests under wine (the end-to-end games with their clock
# pinned by faketime); then makes the download with the `windows` workflow (build/windows), checks
# it, and makes it again from a clone in another folder, which must give the same bytes.
#   tools/ci-windows.sh [BUILD_DIR]      (default build/win)
# Installs what it needs with apt-get when it is missing (as root).
set -euo pipefail

# Debian's wine64 comes without wine's preloader, so its loader sits at 0x7d000000 and the kernel
# puts the heap at a random place in the gigabyte above it: about once in a few thousand starts
# over 0x7ffe0000, where wine must map the page it shares with Windows programs. That wine ends at
# once with status 1, saying nothing unless its err channel is on ("failed to map the shared user
# data"). Without address randomization the heap stays right above the loader; every process
# started below, wine included, inherits that. Where containers forbid it, the run goes on with it.
if (( (0x$(cat /proc/self/personality) & 0x40000) == 0 )); then
  if setarch "$(uname -m)" -R true 2>/dev/null; then
    exec setarch "$(uname -m)" -R "$0" "$@"
  fi
  echo "address randomization stays on: about one wine start in a few thousand may fail" >&2
fi

cd "$(dirname "$0")/.."
source_dir=$PWD
build_dir=${1:-build/win}
mkdir -p "$build_dir"
build_dir=$(cd "$build_dir" && pwd)

# googletest: its sources, built below.
tools/install-packages.sh cmake=cmake ninja-build=ninja python3=python3 googletest \
  g++-mingw-w64-x86-64-posix=x86_64-w64-mingw32-g++-posix wine=wine wine64=/usr/lib/wine/wine64 faketime=faketime

# A wine of our own in the build directory, made ready before any test starts. A wine process
# that finds the prefix's services not yet running starts them itself, and they inherit its pipes
# and its environment: the process's reader then waits until its timeout for output that the
# services hold open, and under faketime the services keep the frozen clock, or write it into the
# prefix. `wineboot --init` returns while its last setup steps still run (seconds, more under
# load), and a new server starts none of them until some process needs them. So: the prefix is
# made and waited for to the end, its update check is turned off, one persistent server is started,
# detached from every pipe, and the services are started by a wineboot of their own, on the real
# clock, before any test runs.
export WINEPREFIX=$build_dir/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
export HOME=${HOME:-$build_dir}
mkdir -p "$WINEPREFIX"
wineserver -k >/dev/null 2>&1 || true  # one left over from an earlier run of this prefix
wineboot --init </dev/null >/dev/null 2>&1
if ! timeout 600 wineserver -w; then
  echo "the wine prefix was not ready after ten minutes" >&2
  exit 1
fi
echo disable >"$WINEPREFIX/.update-timestamp"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineserver -p </dev/null >/dev/null 2>&1
wineboot </dev/null >/dev/null 2>&1

toolchain=$source_dir/cmake/mingw-w64-x86_64.cmake

# GoogleTest for MinGW, from the sources Debian ships, built once per build directory.
gtest=$build_dir/googletest
"$source_dir/tools/build-googletest.sh" "$toolchain" "$gtest"

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Debug \
  -DQZ_WARNINGS_AS_ERRORS=ON -DGTest_DIR="$gtest/lib/cmake/GTest"
cmake --build "$build_dir"
ctest --test-dir "$build_dir" --output-on-failure --no-tests=error

# The download, as the `windows` workflow makes it: an optimised build, packed into a ZIP whose
# exe must run on a bare Windows, needing nothing but system DLLs.
cmake --workflow --preset windows
dlls=$(x86_64-w64-mingw32-objdump -p build/windows/qzvillage.exe | sed -n 's/^\tDLL Name: //p' | sort -u)
echo "qzvillage.exe needs: $(tr '\n' ' ' <<<"$dlls")"
if grep -viE '^(kernel32|msvcrt)\.dll$' <<<"$dlls"; then
  echo "qzvillage.exe needs a DLL that Windows does not have" >&2
  exit 1
fi
zip=$(ls build/windows/qzvillage-*-win64.zip)
python3 tools/check-windows-package.py zip "$zip"
tools/compare-second-build.sh windows "$zip"
