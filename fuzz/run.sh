#!/usr/bin/env bash
# Builds the whole-game fuzzer and runs it for a bounded time, starting from the committed seed
# corpus. Inputs it finds go to build/fuzz/corpus, crashes to build/fuzz/artifacts; fuzz/corpus
# itself is only read.
# Usage: fuzz/run.sh [seconds, default 60] [more libFuzzer flags, e.g. -jobs=2 -workers=2]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift $(($# > 0 ? 1 : 0))

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

mkdir -p build/fuzz/corpus build/fuzz/artifacts
exec build/fuzz/fuzz/qz_fuzz_game build/fuzz/corpus fuzz/corpus \
  -dict=fuzz/game.dict \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -artifact_prefix=build/fuzz/artifacts/ -print_final_stats=1 "$@"
