#!/usr/bin/env bash
# The POSIX console built as on a system with POSIX.1-2008's names alone: its sources compiled
# without _GNU_SOURCE (QZ_STRICT_POSIX), the game and the tests built around them as usual, and the
# tests of the terminal, the pause, the standard streams and the key tables run. The build folder
# is build/strict, or the first argument.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/strict}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQZ_WARNINGS_AS_ERRORS=ON -DQZ_STRICT_POSIX=ON \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build "$build" -j 2 --target qz_tests

# The option must reach the console's sources: a build that lost it would check nothing.
if ! grep -q -- '-D_POSIX_C_SOURCE=200809L.*console/posix/key_press\.cpp' "$build/compile_commands.json"; then
  echo "check-posix-strict: console/posix/key_press.cpp was not compiled strictly" >&2
  exit 1
fi

"$build/tests/qz_tests" --gtest_brief=1 \
  --gtest_filter='TerminalPause*:TerminalSettings*:JobControl.*:InputErrors.*:TerminalOutput.*:TerminalGone.*:StandardOutput.*:ConsoleSession*:TerminalKeys.*'
echo "check-posix-strict: the POSIX console builds and passes its tests against POSIX.1-2008 alone"
