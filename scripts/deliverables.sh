#!/usr/bin/env bash
# Builds the deliverables of every plug-in (simplexQP, simplexQPopt) from
# the same sources, each platform in its own tree under out/ with its
# toolchain file from toolchains/, and gathers them in out/deliverables/:
#
#   <plug-in>.mexa64     Linux x86-64    out/release        (this machine's compiler)
#   <plug-in>.mexglx     Linux i386      out/linux-i386     toolchains/linux-i386.cmake
#   <plug-in>.dll        Windows 32-bit  out/windows-i686   toolchains/windows-i686.cmake
#   <plug-in>.mexmaci64  macOS x86-64    out/macos-x86_64   toolchains/macos-x86_64.cmake
#
# A platform whose Debian packages are missing (scripts/packages.txt) is
# skipped with the packages named; under CI (CI=true) that is a failure.
# With --test, each platform's tests run too: what the file exports and
# needs, the plug-in tests, and the corpus answers, which must be the x86-64
# build's to the last bit (out/deliverables/corpus-answers.txt for
# simplexQP, corpus-answers-simplexQPopt.txt beside it). The Windows
# plug-in runs under Wine where Wine can run, and in any case inside the
# i386 tree's stand-in host.
# Usage: scripts/deliverables.sh [--test]
set -euo pipefail
cd "$(dirname "$0")/.."
run_tests=false
[ "${1:-}" = "--test" ] && run_tests=true
jobs=$(nproc)
gathered=out/deliverables
reference=$PWD/$gathered/corpus-answers.txt
reference_opt=$PWD/$gathered/corpus-answers-simplexQPopt.txt
plugins=(simplexQP simplexQPopt)
skipped=()
mkdir -p "$gathered"

build() {  # PLATFORM TREE EXTENSION [CMAKE-OPTIONS...]
  local platform=$1 tree=$2 extension=$3 plugin
  shift 3
  echo "== $platform: $tree"
  cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$tree" -j "$jobs"
  for plugin in "${plugins[@]}"; do
    cp "$tree/$plugin$extension" "$gathered/"
  done
  if $run_tests; then
    # The log feeds the closing count of scripts/test.sh.
    ctest --test-dir "$tree" --output-on-failure -j "$jobs" | tee "$tree/ctest.log"
  fi
}

cross() {  # PLATFORM EXTENSION [CMAKE-OPTIONS...]
  local platform=$1 extension=$2
  shift 2
  if ! scripts/require.sh --check "$platform"; then
    echo "== $platform: skipped, its toolchain is not installed (scripts/require.sh $platform installs it)"
    skipped+=("$platform")
    return
  fi
  build "$platform" "out/$platform" "$extension" -DCMAKE_TOOLCHAIN_FILE="$PWD/toolchains/$platform.cmake" "$@"
}

scripts/require.sh build
build linux-x86_64 out/release .mexa64
# The texts every other platform's build must reproduce (the second is
# found beside the first).
out/release/tests/corpus_answers --reference >"$reference"
out/release/tests/corpus_answers --certified-reference >"$reference_opt"
cross windows-i686 .dll -DSIMPLEXQP_REFERENCE_ANSWERS="$reference"
# The i386 tree also runs the Windows plug-ins' code (Wine needs a kernel
# that runs 32-bit processes; the i386 tree's emulator does not); it finds
# simplexQPopt.dll beside simplexQP.dll.
windows_plugin=
[ -f out/windows-i686/simplexQP.dll ] && windows_plugin=$PWD/out/windows-i686/simplexQP.dll
cross linux-i386 .mexglx -DSIMPLEXQP_REFERENCE_ANSWERS="$reference" \
  -DSIMPLEXQP_WINDOWS_PLUGIN="$windows_plugin"
cross macos-x86_64 .mexmaci64

echo "== deliverables in $gathered:"
ls -l "$gathered"
echo "corpus answers: $(wc -l <"$reference") lines, sha256 $(sha256sum "$reference" | cut -d' ' -f1)"
echo "simplexQPopt corpus answers: $(wc -l <"$reference_opt") lines, sha256 $(sha256sum "$reference_opt" | cut -d' ' -f1)"
if [ ${#skipped[@]} -ne 0 ]; then
  echo "skipped: ${skipped[*]}"
  if [ "${CI:-}" = true ]; then
    echo "CI installs every toolchain: nothing may be skipped" >&2
    exit 1
  fi
fi
