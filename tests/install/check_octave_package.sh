#!/usr/bin/env bash
# The Octave package: the files pkg requires; then, in a throw-away package
# prefix, pkg install, pkg load, help, test simplexQP with the corpus
# answers, pkg test, and pkg uninstall leaving nothing behind.
# Usage: check_octave_package.sh DIST VERSION DIGEST CORPUS-DIR OCTAVE
source "$(dirname "$0")/common.sh"
name=simplexqp-$version
tarball=$work/unpacked/$name.tar.gz
mkdir "$work/unpacked"
cp "$dist/$name.tar.gz" "$tarball"

listing=$(tar -tzf "$tarball")
for file in DESCRIPTION COPYING INDEX inst/simplexQP.m src/Makefile src/gateway/simplexQP.cpp \
  inst/simplexLSQ.m src/gateway/simplexLSQ.cpp src/exports/simplexLSQ.map; do
  grep -qxF "$name/$file" <<<"$listing" || fail "the package lacks $file"
done
description=$(tar -xzOf "$tarball" "$name/DESCRIPTION")
for field in Name Version Date Title Author Maintainer Description Depends License; do
  grep -q "^$field: ." <<<"$description" || fail "DESCRIPTION has no $field"
done
grep -qx "Name: simplexqp" <<<"$description" || fail "DESCRIPTION does not name simplexqp"
grep -qx "Version: $version" <<<"$description" || fail "DESCRIPTION does not give version $version"
tar -xzOf "$tarball" "$name/COPYING" | cmp -s - "$root/LICENSE" || fail "COPYING is not LICENSE"
index=$(tar -xzOf "$tarball" "$name/INDEX")
for plugin in simplexQP simplexQPopt simplexLSQ; do
  grep -qx " $plugin" <<<"$index" || fail "INDEX does not list $plugin"
done

prefix=$work/prefix
archprefix=$work/archprefix
mkdir "$prefix" "$archprefix"
# Run as root, pkg installs globally: both lists are redirected.
use="pkg prefix '$prefix' '$archprefix'; pkg local_list '$work/local_packages'; pkg global_list '$work/global_packages';"
octave_run "$use pkg install '$tarball'" || fail "pkg install failed"
installed=$prefix/$name
# Octave reads a plug-in's help from beside it; pkg would move a .mex left in
# src/ into an architecture folder.
for plugin in simplexQP simplexLSQ; do
  [ -f "$installed/$plugin.mex" ] && [ -f "$installed/$plugin.m" ] ||
    fail "$plugin and its help are not together in $installed: $(find "$prefix" "$archprefix" -type f)"
done
check_help "$use pkg load simplexqp;" "$installed"
check_in_host_tests "$use pkg load simplexqp;" simplexLSQ

summary=$(SIMPLEXQP_CORPUS_DIR=$corpus_dir octave_run "$use pkg test simplexqp" 2>&1) || fail "pkg test failed: $summary"
passed=$(awk '/^Summary:/ { summary = 1 } summary && $1 == "PASS" { print $2 }' <<<"$summary")
failed=$(awk '/^Summary:/ { summary = 1 } summary && $1 == "FAIL" { print $2 }' <<<"$summary")
[ "${passed:-0}" -gt 0 ] && [ "$failed" = 0 ] && ! grep -q "SKIP" <<<"$summary" ||
  fail "pkg test simplexqp: $summary"
echo "pkg test simplexqp: $passed passed, $failed failed"

octave_run "$use pkg uninstall simplexqp; exit (numel (pkg ('list')) != 0)" || fail "pkg uninstall failed or left the package listed"
left=$(find "$prefix" "$archprefix" -mindepth 1)
[ -z "$left" ] || fail "pkg uninstall left $left"
finish "package $name installs, loads, passes its tests and uninstalls"
