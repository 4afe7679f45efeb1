#!/usr/bin/env bash
# make_simplexQP.m in the unpacked source archive, run in Octave from another
# folder: builds the plug-in beside its help file and prints the addpath
# line; the plug-in passes its in-host tests and gives the corpus answers;
# the flags for each host and platform are right (test make_simplexQP); a
# compiler failure is an error that leaves no plug-in; clean removes all.
# Usage: check_build_script.sh DIST VERSION DIGEST CORPUS-DIR OCTAVE
source "$(dirname "$0")/common.sh"
src=$work/simplexQP-$version
tar -xzf "$dist/simplexQP-$version-source.tar.gz" -C "$work"
[ -f "$src/make_simplexQP.m" ] || { echo "FAIL: no make_simplexQP.m in the source archive"; exit 1; }
built=$src/out/mex
use="addpath ('$src');"

octave_run "$use make_simplexQP" >"$work/build.log" 2>&1 || fail "make_simplexQP failed"
cat "$work/build.log"
grep -qxF "  addpath('$built')" "$work/build.log" || fail "make_simplexQP does not print the addpath line"
[ -z "$(ls -A "$work/cwd")" ] || fail "make_simplexQP wrote into the current folder: $(ls -A "$work/cwd")"
check_help "addpath ('$built');" "$built"
check_in_host_tests "addpath ('$built');" simplexLSQ
octave_run "$use [passed, total] = test ('make_simplexQP', 'quiet', stdout); exit (passed != total || total == 0)" ||
  fail "test make_simplexQP"

# A source that does not compile: an error, and the earlier plug-in gone.
echo "this is not C++;" >>"$src/solvers/common/problem.cpp"
if octave_run "$use make_simplexQP" >"$work/broken.log" 2>&1; then
  fail "make_simplexQP reported success for a source that does not compile"
fi
grep -q "compiling simplexQP failed" "$work/broken.log" || fail "no compiler failure named: $(tail -3 "$work/broken.log")"
[ ! -e "$built/simplexQP.mex" ] || fail "a failed build left $built/simplexQP.mex"

octave_run "$use make_simplexQP clean" || fail "make_simplexQP clean failed"
[ ! -e "$built" ] || fail "make_simplexQP clean left $(ls -A "$built")"
finish "make_simplexQP.m builds, tests and cleans in a copy of the sources"
