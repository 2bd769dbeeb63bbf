#!/usr/bin/env bash
# The game in the browser, built and tested: the `web` workflow makes build/web/site and the ZIP
# of it, then headless Chromium plays whole games on the site (ctest's `web` preset).
#   tools/ci-web.sh
# Installs what it needs with apt-get when it is missing (as root): Debian's emscripten, the acorn
# its optimiser needs, Chromium, and npm for xterm.js and puppeteer-core (as package-lock.json
# pins them). No browser is downloaded: the tests drive Debian's Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v python3 >/dev/null || need+=(python3)
command -v emcc >/dev/null || need+=(emscripten)
[ -d /usr/share/nodejs/acorn ] || need+=(node-acorn)
command -v npm >/dev/null || need+=(npm)
command -v chromium >/dev/null || need+=(chromium)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${need[@]}"
fi

cmake --workflow --preset web
# The ZIP holds the site in one folder: the page, the game, xterm.js and their licences.
listing=$(python3 -m zipfile -l build/web/qzvillage-web-*.zip)
echo "$listing"
for file in index.html page.js player_input.js page.css qzvillage.js qzvillage.wasm xterm.js xterm.css \
  LICENSE.txt xterm-LICENSE.txt; do
  grep -q "^qzvillage-web-[0-9.]*/$file " <<<"$listing"
done
ctest --preset web
