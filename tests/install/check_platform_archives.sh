#!/usr/bin/env bash
# Every platform's archive holds its plug-ins, the help files with this
# version, README.md and LICENSE. The Linux x86-64 ones are unpacked into
# empty folders and run there: the MATLAB one by the stand-in host (the
# plug-in tests pass, its corpus answers are the shared digest's), the
# Octave one in Octave (help, and every in-host test with the corpus).
# Usage: check_platform_archives.sh DIST VERSION DIGEST CORPUS-DIR OCTAVE RELEASE-TREE
source "$(dirname "$0")/common.sh"
tree=$1
count=0
for archive in "$dist"/simplexQP-"$version"-*.tar.gz; do
  case $archive in *-source.tar.gz) continue ;; esac
  count=$((count + 1))
  name=$(basename "$archive" .tar.gz)
  listing=$(tar -tzf "$archive")
  for file in LICENSE README.md simplexQP.m simplexLSQ.m; do
    grep -qxF "$name/$file" <<<"$listing" || fail "$name lacks $file"
  done
  grep -qE "^$name/simplexQP\.(mex[a-z0-9]*|dll)$" <<<"$listing" || fail "$name holds no plug-in"
  grep -qE "^$name/simplexLSQ\.(mex[a-z0-9]*|dll)$" <<<"$listing" || fail "$name holds no simplexLSQ"
  # Read whole, not piped into grep -q, whose early exit would fail the pipe.
  readme=$(tar -xzOf "$archive" "$name/README.md")
  grep -q "^## Install" <<<"$readme" || fail "$name: README.md has no Install section"
  help=$(tar -xzOf "$archive" "$name/simplexQP.m")
  grep -q "simplexQP $version, " <<<"$help" || fail "$name: help without the version"
done
[ "$count" -gt 0 ] || fail "no platform archives in $dist"

linux=$dist/simplexQP-$version-linux-x86_64.tar.gz
mkdir "$work/linux"
tar -xzf "$linux" -C "$work/linux"
plugin=$work/linux/simplexQP-$version-linux-x86_64/simplexQP.mexa64
export LD_LIBRARY_PATH=$tree/host-libs
SIMPLEXQP_PLUGIN=$plugin "$tree/tests/plugin_tests" --gtest_brief=1 || fail "the plug-in tests fail on $plugin"
answers=$("$tree/tests/corpus_answers" "$plugin" | sha256sum | cut -d' ' -f1)
[ "$answers" = "$digest" ] || fail "the corpus answers of $plugin have sha256 $answers, not $digest"
lsq=$work/linux/simplexQP-$version-linux-x86_64/simplexLSQ.mexa64
SIMPLEXLSQ_PLUGIN=$lsq "$tree/tests/lsq_plugin_tests" --gtest_brief=1 || fail "the plug-in tests fail on $lsq"

octave_archive=$dist/simplexQP-$version-octave-linux-x86_64.tar.gz
mkdir "$work/octave"
tar -xzf "$octave_archive" -C "$work/octave"
unpacked=$work/octave/simplexQP-$version-octave-linux-x86_64
check_help "addpath ('$unpacked');" "$unpacked"
check_in_host_tests "addpath ('$unpacked');" simplexLSQ
finish "$count platform archives; the Linux x86-64 ones run and give the corpus answers"

