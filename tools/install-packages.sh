#!/usr/bin/env bash
# Installs the Debian packages a CI script found missing, named as apt-get names them: nothing when
# none is named. A package of another architecture (libc6:arm64) first adds that architecture to
# dpkg's (multiarch). Each apt-get waits up to ten minutes for another one's lock, asks nothing, and
# leaves out what is only recommended. Not as root, it installs nothing and says what is missing.
#   tools/install-packages.sh PACKAGE...
set -euo pipefail

if [ $# -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "missing Debian packages: $*. Install them (apt-get install $*), or run the script that needs them" \
    "as root, which installs them." >&2
  exit 1
fi

for package in "$@"; do
  architecture=${package#*:}
  if [ "$architecture" != "$package" ] && [ "$architecture" != "$(dpkg --print-architecture)" ] &&
    ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
    dpkg --add-architecture "$architecture"
  fi
done

apt=(apt-get -o DPkg::Lock::Timeout=600)
"${apt[@]}" update
DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y --no-install-recommends "$@"
