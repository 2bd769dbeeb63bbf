#!/usr/bin/env bash
# The game in the browser, built and tested: the `web` workflow makes build/web/site and the ZIP
# of it, then Chromium, Firefox and WebKit each play whole games on the site and run the page's
# cases (ctest's `web` preset, one test per engine).
#   tools/ci-web.sh
# Installs what it needs with apt-get when it is missing (as root): Debian's emscripten, the acorn
# its optimiser needs, Chromium, Firefox ESR, WebKitGTK's WebDriver (with its MiniBrowser), the
# virtual display WebKit runs on, and npm for puppeteer-core (as package-lock.json pins it). No
# browser is downloaded: the tests drive Debian's.
set -euo pipefail
cd "$(dirname "$0")/.."

need=(cmake=cmake ninja-build=ninja python3=python3 emscripten=emcc node-acorn=/usr/share/nodejs/acorn npm=npm
  chromium=chromium webkit2gtk-driver=WebKitWebDriver xvfb=xvfb-run xauth=xauth)
command -v firefox >/dev/null || need+=(firefox-esr=firefox-esr)
tools/install-packages.sh "${need[@]}"

cmake --workflow --preset web
# The ZIP holds the site in one folder: the service worker and every file it keeps, which are the
# page, the game, the icons and the licence.
listing=$(python3 -m zipfile -l build/web/qzvillage-web-*.zip)
echo "$listing"
kept=$(sed -n 's/^  "\([^"]*\)": "[0-9a-f]\{64\}",$/\1/p' build/web/site/service_worker.js)
grep -qx qzvillage.wasm <<<"$kept"
for file in service_worker.js $kept; do
  grep -q "^qzvillage-web-[0-9.]*/$file " <<<"$listing"
done
ctest --preset web
