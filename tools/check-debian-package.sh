#!/usr/bin/env bash
# Makes the Debian package with the `package` workflow (or `package-arm64`, the arm64 package
# cross-built) and checks it: lintian --pedantic finds no error, no warning and no hardening tag;
# the files are where Debian wants them, the README among them; the executable has no symbol
# table; a second build of the same commit, in another folder, gives the same bytes. Also checks
# that `cmake --install` into a plain prefix installs the game, its manual page and the licence,
# and none of Debian's own files.
#   tools/check-debian-package.sh [WORKFLOW]      (default package)
# Installs the packaging tools with apt-get when they are missing (as root), and for package-arm64
# the cross compiler and the target's C and C++ libraries (multiarch), whose symbols files
# dpkg-shlibdeps reads.
set -euo pipefail
cd "$(dirname "$0")/.."
workflow=${1:-package}
build=build/${workflow/package/release}  # the workflow's release build: release, release-arm64

# dpkg-dev: the package's Depends; file: CPack's DEB generator runs it.
need=(dpkg-dev=dpkg-shlibdeps file=file lintian=lintian)
if [ "$workflow" = package-arm64 ]; then
  need+=(g++-aarch64-linux-gnu=aarch64-linux-gnu-g++ libc6:arm64 libstdc++6:arm64)
fi
tools/install-packages.sh "${need[@]}"

cmake --workflow --preset "$workflow"
deb=$(ls "$build"/qzvillage_*.deb)
echo "$deb: $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb"
contents=$(dpkg-deb -c "$deb")
echo "$contents"
for file in usr/games/qzvillage usr/share/man/man6/qzvillage.6.gz usr/share/doc/qzvillage/copyright \
  usr/share/doc/qzvillage/changelog.Debian.gz usr/share/doc/qzvillage/README.md.gz; do
  grep -q " \./$file\$" <<<"$contents" || { echo "$deb lacks /$file" >&2; exit 1; }
done

report=$(lintian --pedantic -I "$deb" 2>&1 | grep -v '^running with root privileges' || true)
echo "lintian --pedantic -I: ${report:-nothing to report}"
if grep -E '^(E|W): |hardening-' <<<"$report"; then
  echo "lintian finds fault with $deb" >&2
  exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/unpacked"
if grep -q '\.symtab' <<<"$(readelf -S "$scratch/unpacked/usr/games/qzvillage")"; then
  echo "the packaged qzvillage still has its symbol table" >&2
  exit 1
fi

# A plain install, as from source: nothing that only the Debian package wants.
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
installed=$(cd "$scratch/prefix" && find . ! -type d | sort)
echo "cmake --install into a plain prefix: $(tr "\n" " " <<<"$installed")"
if [ "$installed" != "$(printf '%s\n' ./games/qzvillage ./share/doc/qzvillage/LICENSE ./share/man/man6/qzvillage.6.gz)" ]; then
  echo "cmake --install does not install the game, its manual page and the licence alone" >&2
  exit 1
fi

# The same commit, cloned into another folder and packaged there.
tools/compare-second-build.sh "$workflow" "$deb"
