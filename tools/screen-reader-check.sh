#!/usr/bin/env bash
# The page heard through a real screen reader: Orca reads the opening of a game, and then its
# replay, in Firefox and in Chromium on a virtual display, speech-dispatcher writes what it says
# to a file, and tests/web/screen_reader_test.cjs checks it and prints it. .ci/run runs it after
# tools/ci-web.sh; run it after a change to what the page announces.
#   tools/screen-reader-check.sh [--engines chromium,firefox] [--keep DIR] [--orca-debug FILE]
# Needs the site (cmake --workflow --preset web, or tools/ci-web.sh, which also installs the
# browsers). Installs what else it needs with apt-get when it is missing (as root): Orca,
# speech-dispatcher, the accessibility bus, xdotool, a virtual display and a session bus.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-packages.sh orca=orca speech-dispatcher=speech-dispatcher at-spi2-core=/usr/libexec/at-spi-bus-launcher \
  xdotool=xdotool xvfb=xvfb-run xauth=xauth dbus-daemon=dbus-run-session
[ -f build/web/site/index.html ] || { echo "no site in build/web/site: build the web preset first" >&2; exit 1; }

# One session bus for the accessibility bus, Orca and the browsers; the display has no window
# manager, so the test gives the browser's window the keyboard itself. It repeats no key (-r): on
# a busy machine a key's release can come late enough for a held key's repeat, one key more.
NODE_PATH=build/web/npm/node_modules xvfb-run -a -s "-screen 0 1280x1024x24 -r" \
  dbus-run-session -- node --test-force-exit tests/web/screen_reader_test.cjs --site build/web/site "$@"
