#!/usr/bin/env bash
# Makes sure the Debian packages of the named groups (scripts/packages.txt)
# are installed: installs the missing ones when run as root with apt-get,
# otherwise says exactly what to install and fails.
# Usage: scripts/require.sh GROUP...
#        scripts/require.sh --list GROUP...    print the groups' packages
#        scripts/require.sh --check GROUP...   only say what is missing (fails if anything is)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

list_only=false
check_only=false
if [ "${1:-}" = "--list" ]; then list_only=true; shift; fi
if [ "${1:-}" = "--check" ]; then check_only=true; shift; fi

packages=()
for group in "$@"; do
  line=$(grep -E "^$group( |$)" "$here/packages.txt" || true)
  if [ -z "$line" ]; then echo "require.sh: no package group '$group'" >&2; exit 2; fi
  read -r -a words <<<"$line"
  packages+=("${words[@]:1}")
done
if $list_only; then echo "${packages[*]}"; exit 0; fi

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if $check_only; then
  echo "Missing Debian packages: ${missing[*]}" >&2
  exit 1
elif [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  echo "Installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # Packages of another architecture (wine32:i386) need it enabled first.
  for package in "${missing[@]}"; do
    architecture=${package##*:}
    [ "$architecture" != "$package" ] || continue
    if [ "$architecture" != "$(dpkg --print-architecture)" ] &&
       ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
      echo "Enabling the $architecture architecture"
      dpkg --add-architecture "$architecture"
    fi
  done
  # A mirror caught mid-sync fails one list or another (the security
  # archive's, say); the install below then says whether the lists that did
  # come hold every package named.
  apt-get update -q || echo "require.sh: apt-get update failed in part; installing from the lists it fetched" >&2
  apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
