#!/usr/bin/env bash
# Builds the fuzzers and runs them side by side for a bounded time, starting from the committed
# seed corpora: whole games (fuzz/corpus) for two thirds of it, the key decoder (fuzz/keys-corpus),
# which is small and fast, for one third. Inputs they find go to build/fuzz/corpus and
# build/fuzz/keys-corpus, crashes to build/fuzz/artifacts; the committed corpora are only read.
# Usage: fuzz/run.sh [seconds in all, default 60] [more libFuzzer flags, e.g. -jobs=2 -workers=2]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift $(($# > 0 ? 1 : 0))
key_seconds=$((seconds / 3))

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

mkdir -p build/fuzz/corpus build/fuzz/keys-corpus build/fuzz/artifacts
common=(-timeout=10 -rss_limit_mb=2048 -artifact_prefix=build/fuzz/artifacts/ -print_final_stats=1)
# One core each. The key decoder's log is shown once both have ended; a fuzzer still running when
# this script ends, for any reason, is ended with it.
build/fuzz/fuzz/qz_fuzz_keys build/fuzz/keys-corpus fuzz/keys-corpus -dict=fuzz/keys.dict \
  -max_total_time="$key_seconds" -max_len=1024 "${common[@]}" "$@" >build/fuzz/keys.log 2>&1 &
keys_pid=$!
trap 'kill "$keys_pid" 2>/dev/null || true' EXIT
game_status=0
build/fuzz/fuzz/qz_fuzz_game build/fuzz/corpus fuzz/corpus -dict=fuzz/game.dict \
  -max_total_time="$((seconds - key_seconds))" -max_len=4096 "${common[@]}" "$@" || game_status=$?
keys_status=0
wait "$keys_pid" || keys_status=$?
cat build/fuzz/keys.log
echo "fuzz/run.sh: the key decoder's fuzzer ended with status $keys_status, the whole games' with $game_status"
[ "$keys_status" -eq 0 ] && [ "$game_status" -eq 0 ]
