#!/usr/bin/env bash
# Prints the name of one of LLVM's tools as cmake/clang.cmake finds clang++: NAME when it is on
# PATH, else the newest NAME-N there (clang-format-16 before clang-format-14). Fails, printing
# nothing, when there is neither.
#   tools/newest-tool.sh NAME      e.g. clang++, clang-format, run-clang-tidy
set -euo pipefail
name=$1

if command -v "$name" >/dev/null; then
  echo "$name"
  exit 0
fi
newest=0
while read -r command; do
  version=${command#"$name-"}
  if [[ $version =~ ^[0-9]+$ ]] && ((version > newest)); then
    newest=$version
  fi
done < <(compgen -c "$name-")
if ((newest == 0)); then
  exit 1
fi
echo "$name-$newest"
