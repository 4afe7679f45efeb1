#!/bin/sh
# Checks the Octave plug-in file as Octave's loader meets it: mexFunction
# (which Octave looks up by name) and mexVersion are its only exports; it
# needs none of the stand-in's libraries and has no run path, since the host
# operations come from the running Octave; and every host operation it
# imports, like every one gateway/mex_host.h declares apart from the 64-bit
# MATLAB compatibility entries (..._700), is defined by Octave's liboctinterp.
# Usage: check_octave_plugin.sh PLUGIN OCTAVE-LIBRARY-DIR MEX-HOST-HEADER
set -eu
plugin=$1
octinterp=$2/liboctinterp.so
header=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

dynamic=$(readelf -d -W "$plugin")
echo "$dynamic" | grep -Eq '\((RPATH|RUNPATH)\)' && fail "has a run path"
echo "$dynamic" | grep -Eq '\(NEEDED\).*\[lib(mx|mex|mat)\.so\]' && fail "needs a stand-in host library"

exported=$(readelf --dyn-syms -W "$plugin" |
  awk '$1 ~ /^[0-9]+:$/ && $5 != "LOCAL" && $7 != "UND" { sub(/@.*/, "", $8); print $8 }' | grep -v '^MEX$' | sort | tr '\n' ' ')
[ "$exported" = "mexFunction mexVersion " ] || fail "exports '$exported'"

[ -f "$octinterp" ] || { echo "FAIL: no $octinterp"; exit 1; }
provided=$(nm -D --defined-only "$octinterp" | awk '{ print $3 }')
provides() { echo "$provided" | grep -qx "$1"; }

# Unversioned global imports are the host's; the C and C++ runtimes' carry
# their version.
imports=$(readelf --dyn-syms -W "$plugin" |
  awk '$1 ~ /^[0-9]+:$/ && $5 == "GLOBAL" && $7 == "UND" && $8 !~ /@/ { print $8 }')
for symbol in $imports; do
  provides "$symbol" || fail "imports $symbol, which liboctinterp does not define"
done
echo "$imports" | grep -qx mxCreateDoubleMatrix || fail "does not bind mxCreateDoubleMatrix"

declared=$(grep -oE '\b(mx|mex)[A-Za-z0-9_]+ *\(' "$header" | tr -d ' (' | sort -u)
for symbol in $declared; do
  case $symbol in *_700) continue ;; esac
  provides "$symbol" || fail "mex_host.h declares $symbol, which liboctinterp does not define"
done

if [ "$failures" -ne 0 ]; then
  readelf -d --dyn-syms -W "$plugin"
  exit 1
fi
echo "$(basename "$plugin") for Octave: exports and $(echo "$imports" | wc -w) host imports ok"
