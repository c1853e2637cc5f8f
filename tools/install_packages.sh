#!/usr/bin/env bash
# Installs the Debian packages that are missing from the lists given (names
# of files in tools/; by default debian-packages.txt, what building, testing
# and running the programs needs). As root it runs apt-get itself; otherwise
# through sudo. Without a sudo that works it lists what is missing, prints
# the command to run as root and stops.
#
#   tools/install_packages.sh [LIST...]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
lists=("$@")
[ ${#lists[@]} -gt 0 ] || lists=(debian-packages.txt)
wanted=()
for list in "${lists[@]}"; do
  mapfile -t -O "${#wanted[@]}" wanted < <(grep -vE '^\s*(#|$)' "$here/$list")
done
missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

export DEBIAN_FRONTEND=noninteractive
install=(apt-get install -y --no-install-recommends "${missing[@]}")

if [ "$(id -u)" -eq 0 ]; then
  apt-get update
  "${install[@]}"
  exit 0
fi

cannot_install() {
  echo "$(basename "$0"): these Debian packages are missing: ${missing[*]}" >&2
  echo "$1 Run as root, then start this again:" >&2
  echo "    apt-get update && ${install[*]}" >&2
  exit 1
}

command -v sudo >/dev/null 2>&1 || cannot_install "sudo is not installed, and you are not root."
# sudo may ask for a password on a terminal; without one it must need none.
if ! [ -t 0 ] && ! sudo -n true 2>/dev/null; then
  cannot_install "sudo needs a password and there is no terminal to type it on."
fi
if ! sudo apt-get update || ! sudo DEBIAN_FRONTEND=noninteractive "${install[@]}"; then
  cannot_install "Installing through sudo failed (see above)."
fi
