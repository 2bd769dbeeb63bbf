#!/usr/bin/env bash
# Draws the game's icons from web/icons/icon.svg, for the web app and the Windows exe, and
# writes them beside the sources that use them. Run it after changing the picture and commit
# what it writes: the builds take the files as they are, so no build needs these tools.
#   tools/make-icons.sh   (needs librsvg2-bin and icoutils)
set -euo pipefail
cd "$(dirname "$0")/.."

svg=web/icons/icon.svg
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

png() {  # png SIZE FILE
  rsvg-convert --width "$1" --height "$1" "$svg" --output "$2"
}

# The web app: the picture fills the square, inside the middle 80% that a mask keeps, so the
# same files serve as "any" and "maskable" icons.
png 192 web/icons/icon-192.png
png 512 web/icons/icon-512.png
png 180 web/icons/apple-touch-icon.png

for size in 16 24 32 48 64 128 256; do
  png "$size" "$work/$size.png"
done
icotool --create --output web/icons/favicon.ico "$work"/{16,32,48}.png
# Windows draws the largest size as PNG inside the .ico and the small ones as bitmaps.
icotool --create --output cmake/windows/qzvillage.ico "$work"/{16,24,32,48,64,128}.png --raw="$work/256.png"
