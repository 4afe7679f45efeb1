#!/bin/sh
# Checks what a Linux plug-in file exports and needs, as the host's loader
# sees it: no soname and no run path; the base version definition named after
# the file and the node MEX; mexFunction and mexVersion as the only defined
# global symbols, both at MEX; the host libraries needed by name; every host
# operation bound at the host libraries' symbol version (none: unversioned),
# result creation through CREATE-SYMBOL, and each further SYMBOL bound too.
# Usage: check_exports.sh PLUGIN CREATE-SYMBOL HOST-VERSION [SYMBOL...]
set -eu
plugin=$1
create=$2
host_version=$3
shift 3
name=$(basename "$plugin")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

dynamic=$(readelf -d -W "$plugin")
echo "$dynamic" | grep -q '(SONAME)' && fail "has a SONAME entry"
echo "$dynamic" | grep -Eq '\((RPATH|RUNPATH)\)' && fail "has a run path"
for lib in libmx.so libmex.so libmat.so; do
  echo "$dynamic" | grep -q "(NEEDED).*\[$lib\]" || fail "does not need $lib"
done

# Version definitions: index 1 is the base (the file's name), then MEX.
definitions=$(readelf -V -W "$plugin" | sed -n '/Version definition section/,/Version needs section/p')
echo "$definitions" | grep -Eq 'Flags: BASE.*Name: '"$name"'$' || fail "base version definition is not $name"
echo "$definitions" | grep -Eq 'Index: 2.*Name: MEX$' || fail "no version node MEX"

# Defined global or weak symbols of the dynamic table, with their versions.
exported=$(readelf --dyn-syms -W "$plugin" |
  awk '$1 ~ /^[0-9]+:$/ && $5 != "LOCAL" && $7 != "UND" { print $8 }' | grep -v '^MEX$' | sort | tr '\n' ' ')
[ "$exported" = "mexFunction@@MEX mexVersion@@MEX " ] || fail "exports '$exported'"

# Host operations imported (mx... and mex...), as name@version.
imports=$(readelf --dyn-syms -W "$plugin" | awk '$1 ~ /^[0-9]+:$/ && $7 == "UND" { print $8 }' | grep -E '^(mx|mex)[A-Z]')
for symbol in "$create" "$@"; do
  echo "$imports" | grep -Eq "^$symbol(@|\$)" || fail "does not bind $symbol"
done
for symbol in $imports; do
  case $symbol in
    *@*) version=${symbol#*@} ;;
    *) version= ;;
  esac
  [ "$version" = "$host_version" ] || fail "binds $symbol, not at version '$host_version'"
done

if [ "$failures" -ne 0 ]; then
  readelf -d -V --dyn-syms -W "$plugin"
  exit 1
fi
echo "exports of $name: ok"
