#!/bin/sh
# Checks that the host libraries' export lists in build/ (the Windows .def
# files and the macOS .tbd stubs the plug-in links against) name every host
# operation that the plug-in's host header declares: mex... from libmex,
# mx... from libmx. A function declared there but missing from a list would
# link on Linux and fail on the other platforms.
# Usage: check_host_lists.sh MEX_HOST_H BUILD_DIR
set -eu
header=$1
settings=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Declared functions: an identifier starting mx or mex, then "(".
operations=$(sed 's://.*::' "$header" | grep -oE '\b(mx|mex)[A-Z][A-Za-z0-9_]*[[:space:]]*\(' | tr -d '( \t' | sort -u)
[ -n "$operations" ] || fail "no host operation found in $header"
for operation in $operations; do
  case $operation in
    mex*) library=libmex ;;
    *) library=libmx ;;
  esac
  grep -Eq "^[[:space:]]*$operation[[:space:]]*\$" "$settings/windows/$library.def" ||
    fail "$operation missing from windows/$library.def"
  grep -Eq "[[ ,]_$operation[], ]" "$settings/macos/$library.tbd" ||
    fail "_$operation missing from macos/$library.tbd"
done
[ "$failures" -eq 0 ] || exit 1
echo "host library lists cover: $(echo $operations)"
