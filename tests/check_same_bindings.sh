#!/bin/sh
# Checks that two plug-in files bind the same host operations (the mx... and
# mex... functions they import), whatever their formats: ELF (readelf),
# Windows PE (objdump) or Mach-O (llvm-nm). A plug-in for another platform
# that calls one host operation more, or a different creation entry, would
# meet a host that differs from the one its sibling was checked against.
# Usage: check_same_bindings.sh PLUGIN REFERENCE-PLUGIN
set -eu

bindings() {  # FILE: one host operation a line, sorted
  case $(od -An -tx1 -N4 "$1" | tr -d ' \n') in
    7f454c46)  # ELF: undefined dynamic symbols, without their version
      readelf --dyn-syms -W "$1" | awk '$1 ~ /^[0-9]+:$/ && $7 == "UND" { sub(/@.*/, "", $8); print $8 }' ;;
    4d5a*)  # PE: the rows "vma hint name" of the import tables
      objdump -p "$1" | awk '/^\tDLL Name: / { listing = 1; next } /^$/ { listing = 0 }
                             listing && NF == 3 && $2 ~ /^[0-9]+$/ { print $3 }' ;;
    cffaedfe)  # 64-bit Mach-O: undefined symbols, without the leading _
      for nm in llvm-nm llvm-nm-16 llvm-nm-15 llvm-nm-14; do
        command -v "$nm" >/dev/null 2>&1 && break
      done
      "$nm" --undefined-only "$1" | awk '{ print $NF }' | sed 's/^_//' ;;
    *) echo "$1: not an ELF, PE or Mach-O file" >&2; exit 1 ;;
  esac | grep -E '^(mx|mex)[A-Z]' | sort -u
}

plugin=$(bindings "$1")
reference=$(bindings "$2")
[ -n "$plugin" ] || { echo "FAIL: $1 binds no host operation"; exit 1; }
if [ "$plugin" != "$reference" ]; then
  echo "FAIL: $(basename "$1") and $(basename "$2") bind different host operations:"
  echo "only $(basename "$1"): $(echo "$plugin" | grep -vxF "$reference" | tr '\n' ' ')"
  echo "only $(basename "$2"): $(echo "$reference" | grep -vxF "$plugin" | tr '\n' ' ')"
  exit 1
fi
echo "$(basename "$1") binds the host operations $(basename "$2") binds: $(echo $plugin)"
