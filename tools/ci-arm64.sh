#!/usr/bin/env bash
# The game for 64-bit ARM Linux, made and tested on this machine: cross-compiles the game and its
# tests with the `arm64` preset (GoogleTest too, from Debian's sources) and runs every unit test and
# the end-to-end games under qemu's user-mode emulator, with QZ_E2E_GAMES random games per script
# (default 100: the emulator is several times slower); then makes the arm64 Debian package with the
# `package-arm64` workflow and checks it as the amd64 one is checked: lintian, its files, the same
# bytes from a second build.
#   tools/ci-arm64.sh
# Installs what it needs with apt-get when it is missing (as root), the target's C and C++ libraries
# from Debian's arm64 architecture (multiarch) among them: dpkg-shlibdeps reads their symbols files
# for the package's Depends, and the game under a GBK locale needs their character set converters.
set -euo pipefail
cd "$(dirname "$0")/.."

# googletest: its sources, built by the preset; locales: localedef, for the GBK test's locales.
tools/install-packages.sh cmake=cmake ninja-build=ninja python3=python3 g++-aarch64-linux-gnu=aarch64-linux-gnu-g++ \
  qemu-user-static=qemu-aarch64-static googletest locales=/usr/share/i18n/locales libc6:arm64 libstdc++6:arm64

cmake --preset arm64 -DQZ_E2E_GAMES="${QZ_E2E_GAMES:-100}"
cmake --build --preset arm64
# A toolchain file lost on the way would give amd64 programs that pass every test.
for program in build/arm64/qzvillage build/arm64/tests/qz_tests build/arm64/tests/libpinned_clock.so; do
  readelf -h "$program" | grep -q 'Machine: *AArch64' || { echo "$program is not built for aarch64" >&2; exit 1; }
done
ctest --preset arm64

tools/check-debian-package.sh package-arm64
