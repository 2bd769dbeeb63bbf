#!/usr/bin/env bash
# Builds a workflow preset a second time, from a clone of the last commit in another folder, and
# checks that the package it makes is byte for byte the one the first build made:
#   tools/compare-second-build.sh PRESET PACKAGE      e.g. windows build/windows/qzvillage-1.0.0-win64.zip
# The clone holds only what is committed, so a first build of an uncommitted tree may differ.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1
package=$2

second=build/second-folder-$preset
rm -rf "$second"
git clone -q . "$second"
(cd "$second" && cmake --workflow --preset "$preset" >/dev/null)
if ! cmp "$package" "$second/$package"; then
  echo "two builds of one commit in two folders differ: $package" \
    "(was the first built from the last commit, with nothing uncommitted?)" >&2
  exit 1
fi
echo "$package ($(stat -c %s "$package") bytes): a second build in another folder is byte for byte the same"
