#!/usr/bin/env bash
# What each of the web build's size options buys (web/game_module.cmake): the game's .js and .wasm
# gzipped (gzip -9), built with all of the options, then without each one in turn, then with none.
# Each build without an option is only measured, never played. The builds go to build/web-levers/;
# those that differ only in how they link share one folder.
#   bench/web_levers.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=build/web-levers
compile_options=" -Oz -flto -fno-exceptions -fno-rtti "  # those that change every object file

# Builds the game into folder $1 leaving out the options in the list $2; prints .js, .wasm, sum.
measure() {
  cmake --preset web -B "$1" "-DQZ_WEB_SIZE_OMIT=$2" >/dev/null
  cmake --build "$1" --target qzvillage -j2 >"$1/build.log" 2>&1 || { tail -20 "$1/build.log"; exit 1; }
  local js wasm
  js=$(gzip -9c "$1/site/qzvillage.js" | wc -c)
  wasm=$(gzip -9c "$1/site/qzvillage.wasm" | wc -c)
  echo "$js $wasm $((js + wasm))"
}

read -r js wasm all < <(measure "$root/all" "")
mapfile -t options <"$root/all/web-size-options.txt"
printf '%-26s %8s %8s %8s %9s\n' "left out" ".js" ".wasm" "both" "it buys"
printf '%-26s %8d %8d %8d\n' "(nothing)" "$js" "$wasm" "$all"
for option in "${options[@]}"; do
  if [[ $compile_options == *" $option "* ]]; then
    folder="$root/without$option"
  else
    folder="$root/all"
  fi
  read -r js wasm both < <(measure "$folder" "$option")
  printf '%-26s %8d %8d %8d %9d\n' "$option" "$js" "$wasm" "$both" $((both - all))
done
none=$(IFS=';'; echo "${options[*]}")
read -r js wasm both < <(measure "$root/none" "$none")
printf '%-26s %8d %8d %8d %9d\n' "(all of them)" "$js" "$wasm" "$both" $((both - all))
# Leave the shared folder built as the web preset builds.
measure "$root/all" "" >/dev/null
