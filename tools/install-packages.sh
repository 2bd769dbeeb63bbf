#!/usr/bin/env bash
# Installs the Debian packages a script needs and the system lacks. Each argument is a package as
# apt-get names it, alone (lacking when dpkg has not installed it) or with what shows it is there:
# PACKAGE=COMMAND (lacking when COMMAND is not on PATH) or PACKAGE=/PATH (when PATH does not
# exist). A package of another architecture (libc6:arm64) first adds that architecture to dpkg's
# (multiarch). Each apt-get waits up to ten minutes for another one's lock, asks nothing, and
# leaves out what is only recommended. Not as root, it installs nothing and names what is lacking.
#   tools/install-packages.sh cmake=cmake ninja-build=ninja googletest locales=/usr/share/i18n/locales
set -euo pipefail

lacking=()
for wanted in "$@"; do
  package=${wanted%%=*} shown_by=${wanted#*=}
  case $wanted in
    *=/*) [ -e "$shown_by" ] || lacking+=("$package") ;;
    *=*) command -v "$shown_by" >/dev/null || lacking+=("$package") ;;
    *) dpkg -s "$package" >/dev/null 2>&1 || lacking+=("$package") ;;
  esac
done
if [ ${#lacking[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "missing Debian packages: ${lacking[*]}. Install them (apt-get install ${lacking[*]}), or run" \
    "the script that needs them as root, which installs them." >&2
  exit 1
fi

for package in "${lacking[@]}"; do
  architecture=${package#*:}
  if [ "$architecture" != "$package" ] && [ "$architecture" != "$(dpkg --print-architecture)" ] &&
    ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
    dpkg --add-architecture "$architecture"
  fi
done

apt=(apt-get -o DPkg::Lock::Timeout=600)
"${apt[@]}" update
DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y --no-install-recommends "${lacking[@]}"
