#!/usr/bin/env bash
# Fails, listing the differences, when a tracked .cpp or .h file is not laid out as .clang-format says.
# To lay them all out: git ls-files '*.cpp' '*.h' | xargs clang-format-14 -i
set -euo pipefail
cd "$(dirname "$0")/.."

git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run --Werror
