#!/usr/bin/env bash
# The mutation check: small slips made one at a time in the C++ and JavaScript lines changed since
# a base commit, each built and tested in a scratch copy of the tree, so that a slip the tests
# covering its file let through shows up before the change is called done. Run it from the root of
# any worktree of this repository; it reads the tracked files there as they are, and writes
# nowhere but in a temporary folder of its own, removed when it ends.
set -euo pipefail

usage() {
  cat <<'EOF'
usage: tools/mutants.sh [-n N] [-t MINUTES] [-s SEED] [--only TEXT] [--games N] [--list] [BASE [PATH...]]

Mutates the lines of app/ combat/ console/ random/ web/ changed since BASE (default: where the
branch left main; on main, HEAD if there are changes not yet committed, else HEAD~1), changes not
yet committed included, one slip at a time: a comparison flipped or moved by one, a condition
negated, && for || and back, a "!" taken away, true for false, a statement dropped, an integer
changed by one. Each is built in a scratch copy (the dev preset, or the web preset for web/ and
console/web/) and tested by the tests that cover its file: its named test (tests/<name>_test.cpp)
first, then its folder's tests if that one passes; the browser tests in Chromium for the page.
Prints each as KILLED, SURVIVED, BUILD FAILED or TIMED OUT, then the tally.
PATHs after BASE narrow the files mutated (e.g. combat/ or web/screen.js).

  -n N          at most N mutants, spread over the changed lines (default 20)
  -t MINUTES    stop starting mutants after this many minutes, builds included (default 30)
  -s SEED       the sample's seed, to repeat a run (default: random, printed)
  --only TEXT   browser tests: only the cases whose names hold TEXT, no whole games
  --games N     browser tests: whole games per run (default 5)
  --list        print the sampled mutants and stop: no build, no test

Exit status: 0 when it ran, whatever the tally; 1 when the tree does not build or its tests
already fail without a mutant; 2 on a usage error.
EOF
}

count=20 minutes=30 seed=$RANDOM only="" games=5 list_only=false base="" paths=()
while [ $# -gt 0 ]; do
  case $1 in
    -n | -t | -s | --only | --games)
      [ $# -ge 2 ] || { usage >&2; exit 2; }
      case $1 in
        -n) count=$2 ;;
        -t) minutes=$2 ;;
        -s) seed=$2 ;;
        --only) only=$2 ;;
        --games) games=$2 ;;
      esac
      shift 2 ;;
    --list) list_only=true; shift ;;
    -h | --help) usage; exit 0 ;;
    -*) usage >&2; exit 2 ;;
    *) if [ -z "$base" ]; then base=$1; else paths+=("$1"); fi; shift ;;
  esac
done
for number in "$count" "$minutes" "$seed" "$games"; do
  [[ $number =~ ^[0-9]+$ ]] || { echo "mutants: not a number: $number" >&2; exit 2; }
done
[ "$count" -gt 0 ] || { echo "mutants: -n wants at least one mutant" >&2; exit 2; }

top=$(git rev-parse --show-toplevel) || exit 2
cd "$top"
# By default, where the branch left main; on main itself, its changes not yet committed if it
# has some, else its last commit.
if [ -z "$base" ]; then
  base=$(git merge-base HEAD main 2>/dev/null || git merge-base HEAD origin/main) ||
    { echo "mutants: no main branch to start from: name a BASE" >&2; exit 2; }
  if [ "$(git rev-parse HEAD)" = "$base" ]; then
    base=HEAD~1
    git diff --quiet HEAD -- app combat console random web || base=HEAD
  fi
fi
git rev-parse --verify --quiet "$base^{commit}" >/dev/null || { echo "mutants: no commit $base" >&2; exit 2; }
[ ${#paths[@]} -gt 0 ] || paths=(app combat console random web)
echo "mutants: lines changed since $(git log -1 --format='%h %s' "$base"), seed $seed"

# ---- The candidates: every slip of every changed line, one per row:
# file, line, column, the text replaced, its replacement (tab-separated).

# Prints "file<TAB>line" for each line added or changed since the base, in the working tree.
changed_lines() {
  git diff -U0 --no-color --no-ext-diff --no-renames --diff-filter=AM --src-prefix=a/ --dst-prefix=b/ \
    "$base" -- "${paths[@]}" |
    awk '/^\+\+\+ b\// { file = substr($0, 7); next }
         /^@@/ { split($3, range, ","); first = substr(range[1], 2); n = (2 in range) ? range[2] : 1
                 for (i = 0; i < n; i++) print file "\t" first + i }'
}

# Reads one file whole, to know which text is comment or string, and prints the slips of the
# lines listed in ENVIRON["LINES"] (",3,7,"). Operators are taken only with a space either side,
# as the formatters lay binary operators out, which leaves templates, arrows and shifts alone.
# shellcheck disable=SC2016  # an awk program, whose $ are its own
mutants_awk='
function code(s,   out, i, c, n) {  # s with comments and literals blanked, columns kept
  out = ""; n = length(s)
  for (i = 1; i <= n; i++) {
    c = substr(s, i, 1)
    if (block) { if (c == "*" && substr(s, i + 1, 1) == "/") { block = 0; out = out " "; i++ } out = out " "; continue }
    if (quote != "") {
      if (c == "\\") { out = out " "; i++; c = " " } else if (c == quote) quote = ""
      out = out " "; continue
    }
    if (c == "/" && substr(s, i + 1, 1) == "/") break
    if (c == "/" && substr(s, i + 1, 1) == "*") { block = 1; out = out "  "; i++; continue }
    if (c == "\"" || c == "`" || (c == "\x27" && substr(s, i - 1, 1) !~ /[0-9]/)) { quote = c; c = " " }
    out = out c
  }
  if (quote != "`") quote = ""
  return substr(out, 1, n)
}
function emit(col, old, new) {
  if (old !~ /\t/) print FILENAME "\t" FNR "\t" col "\t" old "\t" new
}
function operators(s, m,   ops, swap, k, at, from) {
  split("< <= > >= == != === !== && ||", ops, " ")
  split("<= < >= > != == !== === || &&", swap, " ")
  for (k = 1; k in ops; k++)
    for (from = 1; (at = index(substr(m, from), " " ops[k] " ")) > 0; from += at + 1)
      emit(from + at, ops[k], swap[k])
}
function negations(s, m,   rest, at, open, depth, i, c) {
  rest = m; at = 0
  while (match(rest, /(^|[^A-Za-z0-9_])(if|while) \(/)) {
    open = at + RSTART + RLENGTH - 1; at += RSTART + RLENGTH - 1; rest = substr(m, at + 1)
    depth = 0
    for (i = open; i <= length(m); i++) {
      c = substr(m, i, 1)
      if (c == "(") depth++
      else if (c == ")" && --depth == 0) { emit(open + 1, substr(s, open + 1, i - open - 1), "!(" substr(s, open + 1, i - open - 1) ")"); break }
    }
  }
}
function words(s, m,   i, w) {  # true for false and back; a "!" taken away
  for (i = 1; i <= length(m); i++) {
    if (substr(m, i, 1) == "!" && substr(m, i + 1, 1) ~ /[A-Za-z_(]/) emit(i, "!", "")
    if (substr(m, i - 1, 1) ~ /[A-Za-z0-9_]/) continue
    w = substr(m, i, 5)
    if (w ~ /^true([^A-Za-z0-9_]|$)/) emit(i, "true", "false")
    if (w ~ /^false$/ && substr(m, i + 5, 1) !~ /[A-Za-z0-9_]/) emit(i, "false", "true")
  }
}
function integers(s, m,   rest, at, n) {
  rest = m; at = 0
  while (match(rest, /[0-9]+/)) {
    n = substr(rest, RSTART, RLENGTH)
    if (RLENGTH < 10 && substr(m, at + RSTART - 1, 1) !~ /[A-Za-z0-9_.\x27]/ &&
        substr(m, at + RSTART + RLENGTH, 1) !~ /[A-Za-z0-9_.\x27]/) {  # awk prints no longer number whole
      emit(at + RSTART, n, n + 1)
      if (n > 0) emit(at + RSTART, n, n - 1)
    }
    at += RSTART + RLENGTH - 1; rest = substr(m, at + 1)
  }
}
function statement(s, m,   t, col) {  # a call, assignment, step or jump on a line of its own
  t = m; sub(/^ +/, "", t); sub(/ +$/, "", t)
  if (t !~ /;$/ || prev !~ /[;{}:]$/) return
  if (t ~ /^(await )?[A-Za-z_][A-Za-z0-9_.:>\[\]-]*(\(| [-+*\/%|&^]?= |\+\+|--)/ || t ~ /^(\+\+|--)[A-Za-z_]/ ||
      t ~ /^(break|continue|return);$/) {
    match(m, /[^ ]/); col = RSTART
    emit(col, substr(s, col, length(t)), "")
  }
}
FNR == 1 { block = 0; quote = ""; prev = ";" }
{
  m = code($0)
  if (index(ENVIRON["LINES"], "," FNR ",") && m ~ /[^ ]/ && m !~ /^ *#/) {
    operators($0, m); negations($0, m); words($0, m); integers($0, m); statement($0, m)
  }
  if (m ~ /[^ ]/) { prev = m; sub(/ +$/, "", prev) }
}'

# Every slip of the changed lines of the files the tool can test, the rest named as left out.
candidates() {
  local file lines
  changed_lines | sort -t$'\t' -k1,1 -k2,2n | awk -F'\t' '{ lines[$1] = lines[$1] "," $2 } END { for (f in lines) print f "\t" lines[f] "," }' |
    sort | while IFS=$'\t' read -r file lines; do
      case $file in
        console/windows/* | console/none/*) echo "mutants: left out $file (not built by the dev or web preset)" >&2 ;;
        app/*.cpp | app/*.h | combat/*.cpp | combat/*.h | console/*.cpp | console/*.h | random/*.h | web/*.js | console/web/*.js)
          LINES=$lines awk "$mutants_awk" "$file" ;;
      esac
    done
}

# At most $count candidates, spread over the lines: each line's first slip (in a random order)
# before any line's second one.
sample() {
  awk -F'\t' -v seed="$seed" 'BEGIN { srand(seed) } { print rand() "\t" $0 }' |
    sort -t$'\t' -k2,2 -k3,3n -k1,1g |
    awk -F'\t' -v seed="$seed" 'BEGIN { srand(seed + 1) }
      { rank = (($2 "\t" $3) == line) ? rank + 1 : 0; line = $2 "\t" $3
        sub(/^[^\t]*\t/, ""); print rank "\t" rand() "\t" $0 }' |
    sort -t$'\t' -k1,1n -k2,2g | cut -f3- | head -n "$count"
}

# How a mutant reads in the output: file:line:column and the change.
describe() {
  local where=$1:$2:$3 old=$4 new=$5
  if [ "$new" = "!($old)" ]; then
    echo "$where negated: ($old)"
  elif [ -z "$new" ] && [ "$old" != "!" ]; then
    echo "$where dropped: $old"
  else
    echo "$where '$old' -> '$new'"
  fi
}

mapfile -t mutants < <(candidates | sample)
if [ ${#mutants[@]} -eq 0 ]; then
  echo "mutants: nothing to mutate in the changes since $base"
  exit 0
fi
if $list_only; then
  for row in "${mutants[@]}"; do
    IFS=$'\t' read -r file line col old new <<<"$row"
    describe "$file" "$line" "$col" "$old" "$new"
  done
  exit 0
fi

# ---- The tests that cover a file, as stages run in order until one fails: a ctest regex (with
# the presets' test left out, which reads no source), or "browser" for Chromium on the site.

# The GoogleTest suites of the given test files, as a ctest regex.
suites_of() {
  local names
  names=$(cat "$@" | grep -oE '^(TEST|TEST_F|TEST_P|TYPED_TEST)\( *[A-Za-z0-9_]+' | sed 's/.*( *//' | sort -u | paste -sd'|')
  echo "(^|/)($names)\\."
}

# Prints the stages for one source file, one a line, each a name and its selection (a tab
# between): its named test, then its folder's tests, the quickest first. GoogleTest's names alone
# hold a dot.
stages_for() {
  local file=$1 stem named
  stem=$(basename "${file%.*}")
  case $file in
    web/* | console/web/*) printf 'Chromium\tbrowser\n'; return ;;
    console/posix/*) named=tests/posix/${stem}_test.cpp ;;
    *) named=tests/${stem}_test.cpp ;;
  esac
  [ ! -f "$named" ] || printf '%s\t%s\n' "$named" "$(suites_of "$named")"
  case $file in
    console/posix/*) printf 'tests/posix\t%s\ne2e_test_hostile_input\t^e2e_test_hostile_input$\n' "$(suites_of tests/posix/*.cpp)" ;;
    *) printf 'the unit and terminal tests\t\\.\nthe end-to-end tests\t^e2e_\n' ;;
  esac
}

# ---- The scratch copy: a detached worktree of HEAD with the uncommitted changes applied, built
# in its own build/ folders. Removed on every way out, with the command running in it.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/qz-mutants.XXXXXX")
tree=$scratch/tree log=$scratch/log child="" watcher=""
cleanup() {
  [ -z "$watcher" ] || kill "$watcher" 2>/dev/null || true
  if [ -n "$child" ]; then
    kill -TERM "$child" 2>/dev/null || true
    wait "$child" 2>/dev/null || true
  fi
  end_strays
  git -C "$top" worktree remove --force "$tree" 2>/dev/null || true
  rm -rf "$scratch"
  git -C "$top" worktree prune
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
git worktree add --quiet --detach "$tree" HEAD
git diff --binary HEAD >"$scratch/uncommitted.patch"
[ ! -s "$scratch/uncommitted.patch" ] || git -C "$tree" apply --whitespace=nowarn "$scratch/uncommitted.patch"
cd "$tree"

# Runs a command for at most $1 seconds, its output to the log; its status, 124 when timed out.
# It runs in the background so that a signal reaches the trap at once. With $stop_at set, the
# command is ended as soon as a line of its output matches it: the first failure is enough.
limited() {
  local limit=$1 status=0
  shift
  timeout -k 10 "$limit" "$@" </dev/null >"$log" 2>&1 &
  child=$!
  if [ -n "${stop_at:-}" ]; then
    (while sleep 1; do grep -q "$stop_at" "$log" && { kill -TERM "$child"; exit; }; done) &
    watcher=$!
  fi
  wait "$child" || status=$?
  [ -z "$watcher" ] || kill "$watcher" 2>/dev/null || true
  child="" watcher=""
  end_strays
  return "$status"
}

# Ends every process still running a program of the scratch build: a mutant can leave a game
# waiting forever in a session of its own, out of reach of the command's process group.
end_strays() {
  local exe
  for exe in /proc/[0-9]*/exe; do
    if [[ $(readlink "$exe" 2>/dev/null) == "$tree"/* ]]; then
      exe=${exe#/proc/}
      kill -KILL "${exe%/exe}" 2>/dev/null || true
    fi
  done
}

# Builds what the preset's tests need.
build() {
  if [ "$1" = web ]; then
    limited "$2" cmake --build build/web --target qz_site
  else
    limited "$2" cmake --build build/dev
  fi
}

# Runs one stage for at most $2 seconds.
run_stage() {
  if [ "$1" = browser ]; then
    local options=(--engines chromium --master-seed "$seed" --games "$games")
    [ -z "$only" ] || options+=(--only "$only")
    stop_at="^ *not ok " limited "$2" env NODE_PATH="$node_modules" node --test-force-exit \
      tests/web/browser_test.cjs --site build/web/site --python python3 "${options[@]}"
  else
    limited "$2" ctest --test-dir build/dev -j 2 --stop-on-failure --output-on-failure -R "$1" -E '^presets$'
  fi
}

fail() {
  echo "mutants: $1 (its output follows)" >&2
  tail -n 40 "$log" >&2
  exit 1
}

# Configures and builds each preset the sample needs, then runs each stage once unmutated.
declare -A baseline=()
presets=$(for row in "${mutants[@]}"; do case $row in web/* | console/web/*) echo web ;; *) echo dev ;; esac; done | sort -u)
for preset in $presets; do
  echo "mutants: building the $preset preset in a scratch copy"
  limited 3600 cmake --preset "$preset" || fail "the $preset preset does not configure"
  build "$preset" 3600 || fail "the $preset preset does not build"
done
node_modules=$top/build/web/npm/node_modules
if [[ $presets == *web* && ! -d $node_modules/puppeteer-core ]]; then
  node_modules=build/web/npm/node_modules
  limited 3600 cmake --build build/web --target qz_npm || fail "puppeteer-core does not install"
fi
for row in "${mutants[@]}"; do stages_for "${row%%$'\t'*}"; done | sort -u >"$scratch/stages"
while IFS=$'\t' read -r name stage; do
  started=$SECONDS
  run_stage "$stage" 3600 || fail "the tests fail without a mutant: $name"
  [ "$stage" != browser ] || grep -q '^# pass [1-9]' "$log" || fail "no browser test case's name holds: $only"
  baseline[$stage]=$((SECONDS - started))
  echo "mutants: $name pass unmutated in ${baseline[$stage]} s"
done <"$scratch/stages"

# ---- The mutants, one at a time, each undone before the next.

# Writes the mutant over the file if the text to replace is where it was found.
mutate() {
  OLD=$4 NEW=$5 awk -v line="$2" -v col="$3" '
    FNR == line { old = ENVIRON["OLD"]; if (substr($0, col, length(old)) != old) exit 1
                  $0 = substr($0, 1, col - 1) ENVIRON["NEW"] substr($0, col + length(old)) }
    { print }' "$1" >"$scratch/mutant" && cat "$scratch/mutant" >"$1"
}

declare -A tally=([KILLED]=0 [SURVIVED]=0 ["BUILD FAILED"]=0 ["TIMED OUT"]=0)
survivors=() index=0 deadline=$((minutes * 60))
for row in "${mutants[@]}"; do
  if [ "$SECONDS" -ge "$deadline" ]; then
    echo "mutants: the time budget is spent; $((${#mutants[@]} - index)) mutants not run"
    break
  fi
  index=$((index + 1)) started=$SECONDS
  IFS=$'\t' read -r file line col old new <<<"$row"
  preset=dev
  case $file in web/* | console/web/*) preset=web ;; esac
  cp "$file" "$scratch/original"
  mutate "$file" "$line" "$col" "$old" "$new" || fail "cannot apply the mutant at $file:$line"
  status=0
  build "$preset" 1800 || status=$?
  if [ "$status" -eq 124 ]; then
    verdict="TIMED OUT" how="in its build"
  elif [ "$status" -ne 0 ]; then
    verdict="BUILD FAILED" how=$(grep -m1 'error:' "$log" || grep -m1 FAILED "$log" || true)
    how=${how//"$tree/"/}
  else
    verdict=SURVIVED how=""
    while IFS=$'\t' read -r name stage; do
      status=0
      run_stage "$stage" $((baseline[$stage] * 3 + 60)) || status=$?
      if [ "$status" -ne 0 ]; then
        verdict=KILLED how="by $name"
        [ "$status" -ne 124 ] || verdict="TIMED OUT"
        break
      fi
    done < <(stages_for "$file")
  fi
  cat "$scratch/original" >"$file"
  tally[$verdict]=$((tally[$verdict] + 1))
  mutant=$(describe "$file" "$line" "$col" "$old" "$new")
  [ "$verdict" != SURVIVED ] || survivors+=("$mutant")
  printf '[%d/%d] %-12s %s  (%d s)\n' "$index" "${#mutants[@]}" "$verdict" "$mutant" $((SECONDS - started))
  [ -z "$how" ] || printf '        %s\n' "$how"
done

echo "mutants: ${tally[KILLED]} killed, ${tally[BUILD FAILED]} build failed, ${tally[TIMED OUT]} timed out," \
  "${tally[SURVIVED]} survived, in $SECONDS s (seed $seed)"
for mutant in "${survivors[@]}"; do echo "  survived: $mutant"; done
