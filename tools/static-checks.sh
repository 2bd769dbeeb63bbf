#!/usr/bin/env bash
# Static checks, the quickest first: the layout (.clang-format) of every tracked source file, the
# scripts by shellcheck, the Python tests against ruff's default rules, the page's JavaScript by
# eslint (eslint.config.cjs), then clang-tidy
# (.clang-tidy) and cppcheck on the game's code and the fuzzer, both reading the compile commands
# of a clang configure in build/static. Any finding fails the script. clang and its tools are found
# as cmake/clang.cmake finds clang++: the plain name, else the newest versioned one.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "== clang-format"
tools/check-format.sh
echo "clang-format: every file as laid out"

echo "== shellcheck"
git ls-files -z '*.sh' .ci/run | xargs -0 shellcheck
echo "shellcheck: no findings"

# ruff is not a Debian 12 package: pyflakes and pycodestyle check the same rules ruff checks by
# default (F, E4, E7, E9); pre-commit runs ruff itself.
echo "== python"
git ls-files -z '*.py' | xargs -0 pyflakes3
git ls-files -z '*.py' | xargs -0 pycodestyle --select=E4,E7,E9
echo "python: no findings"

# eslint as package-lock.json pins it, installed where the web build keeps the page's tools.
echo "== eslint"
npm_dir=build/web/npm
if ! cmp -s web/package-lock.json "$npm_dir/package-lock.json" || [ ! -x "$npm_dir/node_modules/.bin/eslint" ]; then
  mkdir -p "$npm_dir"
  cp web/package.json web/package-lock.json "$npm_dir"
  (cd "$npm_dir" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi
NODE_PATH="$npm_dir/node_modules" "$npm_dir/node_modules/.bin/eslint" --max-warnings 0 .
echo "eslint: no findings"

clang=$(tools/newest-tool.sh clang++) || { echo "static-checks: no clang++ on PATH" >&2; exit 1; }
cmake -S . -B build/static -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DCMAKE_CXX_COMPILER="$clang" \
  -DQZ_BUILD_TESTS=OFF -DQZ_BUILD_FUZZER=ON >/dev/null

# The tests are left out: they are checked by the compilers' warnings, and the assertion macros
# drown clang-tidy in findings about code nobody here wrote.
echo "== clang-tidy"
run_clang_tidy=$(tools/newest-tool.sh run-clang-tidy) || { echo "static-checks: no run-clang-tidy on PATH" >&2; exit 1; }
"$run_clang_tidy" -p build/static -quiet -j "$(nproc)" "^$PWD/(app|combat|console|random|fuzz)/([a-z]+/)?[^/]+\.cpp$" \
  > build/static/clang-tidy.log 2>&1 || {
  sed 's/\x1b\[[0-9;]*m//g' build/static/clang-tidy.log | grep -E -A3 "(error|warning): " ||
    cat build/static/clang-tidy.log
  exit 1
}
echo "clang-tidy: no findings"

# useStlAlgorithm is off: a raw loop states the order of the random draws, which is a rule.
echo "== cppcheck"
cppcheck --project=build/static/compile_commands.json -itests --std=c++20 --library=posix \
  --enable=warning,style,performance,portability --suppress=useStlAlgorithm --inline-suppr \
  --error-exitcode=1 --quiet -j "$(nproc)"
echo "cppcheck: no findings"
