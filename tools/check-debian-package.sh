#!/usr/bin/env bash
# Makes the Debian package with the `package` workflow and checks it: lintian --pedantic finds no
# error, no warning and no hardening tag; the files are where Debian wants them; the executable has
# no symbol table; and a second build of the same commit, in another folder, gives the same bytes.
#   tools/check-debian-package.sh
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --workflow --preset package
deb=$(ls build/release/qzvillage_*.deb)
echo "$deb: $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb"
contents=$(dpkg-deb -c "$deb")
echo "$contents"
for file in usr/games/qzvillage usr/share/man/man6/qzvillage.6.gz usr/share/doc/qzvillage/copyright \
  usr/share/doc/qzvillage/changelog.Debian.gz; do
  grep -q " \./$file\$" <<<"$contents" || { echo "$deb lacks /$file" >&2; exit 1; }
done

report=$(lintian --pedantic -I "$deb" 2>&1 | grep -v '^running with root privileges' || true)
echo "lintian --pedantic -I: ${report:-nothing to report}"
if grep -E '^(E|W): |hardening-' <<<"$report"; then
  echo "lintian finds fault with $deb" >&2
  exit 1
fi

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
if grep -q '\.symtab' <<<"$(readelf -S "$unpacked/usr/games/qzvillage")"; then
  echo "the packaged qzvillage still has its symbol table" >&2
  exit 1
fi

# The same commit, cloned into another folder and packaged there.
rm -rf build/second-folder
git clone -q . build/second-folder
(cd build/second-folder && cmake --workflow --preset package >/dev/null)
if ! cmp "$deb" build/second-folder/"$deb"; then
  echo "two builds of one commit in two folders differ (is the tree committed?)" >&2
  exit 1
fi
echo "a second build in another folder is byte for byte the same"
