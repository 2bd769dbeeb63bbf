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

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v python3 >/dev/null || need+=(python3)
command -v emcc >/dev/null || need+=(emscripten)
[ -d /usr/share/nodejs/acorn ] || need+=(node-acorn)
command -v npm >/dev/null || need+=(npm)
command -v chromium >/dev/null || need+=(chromium)
command -v firefox-esr >/dev/null || command -v firefox >/dev/null || need+=(firefox-esr)
command -v WebKitWebDriver >/dev/null || need+=(webkit2gtk-driver)
command -v xvfb-run >/dev/null || need+=(xvfb)
command -v xauth >/dev/null || need+=(xauth)
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
