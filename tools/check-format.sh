#!/usr/bin/env bash
# Fails, listing the differences, when a tracked .cpp or .h file is not laid out as .clang-format says.
# clang-format is found as cmake/clang.cmake finds clang++ (tools/newest-tool.sh).
# To lay them all out: git ls-files '*.cpp' '*.h' | xargs "$(tools/newest-tool.sh clang-format)" -i
set -euo pipefail
cd "$(dirname "$0")/.."

clang_format=$(tools/newest-tool.sh clang-format) || { echo "check-format: no clang-format on PATH" >&2; exit 1; }
git ls-files -z '*.cpp' '*.h' | xargs -0 "$clang_format" --dry-run --Werror
