#!/usr/bin/env bash
# Times the real game against the cost of its own output. The game plays one whole scripted
# campaign (the seed pinned, so it is the same victory every run) with its output going to a file;
# the floor program (bench/floor.cpp) then writes the very same bytes, flushing at each line feed.
# Their ratio says how much the game costs beyond writing what it writes. Also measures the
# game's start-up (title, then 2) and its peak memory.
#
# Builds the bench preset first. Uses hyperfine when it is installed, a plain timed loop when not.
# Runs with no controlling terminal, so the game's pauses never wait.
set -euo pipefail

# Without a controlling terminal the pauses do not wait: start again in a session of our own.
if [ -z "${QZ_DETACHED:-}" ]; then
  QZ_DETACHED=1 exec setsid -w bash "$0" "$@" </dev/null
fi
cd "$(dirname "$0")/.."

build=build/bench
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
game=$PWD/$build/qzvillage
floor=$PWD/$build/bench/qz_floor
preload=$(find "$PWD/$build" -name libpinned_clock.so | head -n 1)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The campaign game_bench.cpp plays: seed 54, "1 Hero y y", then actions 5 1 2 1 over and over.
seed=54
{
  printf '1 Hero y y'
  for _ in $(seq 400); do printf ' 5 1 2 1'; done
  printf '\n'
} >"$work/campaign.in"
printf '2' >"$work/quit.in"

run_game="LD_PRELOAD=$preload QZ_PINNED_TIME=$seed $game <$work/campaign.in >$work/game.out"
run_start="$game <$work/quit.in >/dev/null"

sh -c "$run_game" && status=0 || status=$?
cp "$work/game.out" "$work/transcript"
if [ "$status" -ne 0 ] || ! grep -q 'E N D' "$work/transcript"; then
  echo "the scripted campaign did not end in victory (status $status)" >&2
  exit 1
fi
echo "campaign transcript: $(wc -c <"$work/transcript") bytes, $(wc -l <"$work/transcript") lines"

# The floor flushes where the game does: the sizes of the game's writes, recorded with strace.
# Without strace it flushes at every line feed, which is more often than the game.
if command -v strace >/dev/null; then
  strace -f -o "$work/strace" -e trace=write -e signal=none sh -c "$run_game"
  sed -n 's/^[0-9]* *write(1, .*)[[:space:]]*= \([0-9]*\)$/\1/p' "$work/strace" >"$work/flushes"
  echo "game's writes: $(wc -l <"$work/flushes") (recorded with strace)"
  flushes=$work/flushes
else
  echo "game's writes: unknown (no strace): the floor flushes at every line feed"
  flushes=
fi
run_floor="LD_PRELOAD=$preload QZ_PINNED_TIME=$seed $floor $flushes <$work/transcript >$work/floor.out"
sh -c "$run_floor" || { echo "the floor could not replay the transcript" >&2; exit 1; }
cmp "$work/game.out" "$work/floor.out"

# One run of a shell command, in milliseconds: the median wall time and the mean CPU time (user
# and system). Each timed sample runs the command 20 times over, so the shell that starts a
# sample weighs nothing. On a busy machine the CPU time is the steadier of the two.
repeat=20
timed() {
  local loop="i=0; while [ \$i -lt $repeat ]; do $1; i=\$((i + 1)); done"
  if command -v hyperfine >/dev/null; then
    hyperfine --style none --warmup 3 --min-runs 30 --export-json "$work/h.json" "$loop" >/dev/null
    python3 - "$work/h.json" "$repeat" <<'PY'
import json, sys
result = json.load(open(sys.argv[1]))["results"][0]
runs = int(sys.argv[2])
print("%.3f %.3f" % (result["median"] * 1000 / runs, (result["user"] + result["system"]) * 1000 / runs))
PY
  else
    local samples=30 start end cpu
    start=$(date +%s%N)
    cpu=$( { TIMEFORMAT='%U %S'; time (for _ in $(seq "$samples"); do sh -c "$loop"; done); } 2>&1)
    end=$(date +%s%N)
    awk -v ns=$((end - start)) -v cpu="$cpu" -v runs=$((samples * repeat)) \
      'BEGIN { split(cpu, t, " "); printf "%.3f %.3f\n", ns / runs / 1e6, (t[1] + t[2]) * 1000 / runs }'
  fi
}

if command -v hyperfine >/dev/null; then echo "timing with $(hyperfine --version)"; else echo "timing with a plain loop"; fi
read -r game_wall game_cpu < <(timed "$run_game")
read -r floor_wall floor_cpu < <(timed "$run_floor")
read -r start_wall start_cpu < <(timed "$run_start")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "                 wall          CPU"
printf 'whole campaign:  %8s ms  %8s ms\n' "$game_wall" "$game_cpu"
printf 'floor:           %8s ms  %8s ms\n' "$floor_wall" "$floor_cpu"
printf 'ratio:           %8s     %8s\n' "$(ratio "$game_wall" "$floor_wall")" "$(ratio "$game_cpu" "$floor_cpu")"
printf 'start-up (2):    %8s ms  %8s ms\n' "$start_wall" "$start_cpu"

# The largest resident set of the program (the shell that starts it is smaller).
peak_kib() {
  /usr/bin/time -v sh -c "$1" 2>&1 >/dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p'
}
echo "peak memory:     campaign $(peak_kib "$run_game") KiB, start-up $(peak_kib "$run_start") KiB, floor $(peak_kib "$run_floor") KiB"
