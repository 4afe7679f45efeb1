#!/usr/bin/env bash
# Builds the four deliverables from the same sources, each platform in its
# own tree under out/ with its toolchain file from toolchains/, and gathers
# them in out/deliverables/:
#
#   simplexQP.mexa64     Linux x86-64    out/release        (this machine's compiler)
#   simplexQP.mexglx     Linux i386      out/linux-i386     toolchains/linux-i386.cmake
#   simplexQP.dll        Windows 32-bit  out/windows-i686   toolchains/windows-i686.cmake
#   simplexQP.mexmaci64  macOS x86-64    out/macos-x86_64   toolchains/macos-x86_64.cmake
#
# A platform whose Debian packages are missing (scripts/packages.txt) is
# skipped with the packages named; under CI (CI=true) that is a failure.
# With --test, each platform's tests run too: what the file exports and
# needs, the plug-in tests, and the corpus answers, which must be the x86-64
# build's to the last bit (out/deliverables/corpus-answers.txt). The Windows
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
skipped=()
mkdir -p "$gathered"

build() {  # PLATFORM TREE FILE [CMAKE-OPTIONS...]
  local platform=$1 tree=$2 file=$3
  shift 3
  echo "== $platform: $tree"
  cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$tree" -j "$jobs"
  cp "$tree/$file" "$gathered/"
  if $run_tests; then
    # The log feeds the closing count of scripts/test.sh.
    ctest --test-dir "$tree" --output-on-failure -j "$jobs" | tee "$tree/ctest.log"
  fi
}

cross() {  # PLATFORM FILE [CMAKE-OPTIONS...]
  local platform=$1 file=$2
  shift 2
  if ! scripts/require.sh --check "$platform"; then
    echo "== $platform: skipped, its toolchain is not installed (scripts/require.sh $platform installs it)"
    skipped+=("$platform")
    return
  fi
  build "$platform" "out/$platform" "$file" -DCMAKE_TOOLCHAIN_FILE="$PWD/toolchains/$platform.cmake" "$@"
}

scripts/require.sh build
build linux-x86_64 out/release simplexQP.mexa64
# The text every other platform's build must reproduce.
out/release/tests/corpus_answers --reference >"$reference"
cross windows-i686 simplexQP.dll -DSIMPLEXQP_REFERENCE_ANSWERS="$reference"
# The i386 tree also runs the Windows plug-in's code (Wine needs a kernel
# that runs 32-bit processes; the i386 tree's emulator does not).
windows_plugin=
[ -f out/windows-i686/simplexQP.dll ] && windows_plugin=$PWD/out/windows-i686/simplexQP.dll
cross linux-i386 simplexQP.mexglx -DSIMPLEXQP_REFERENCE_ANSWERS="$reference" \
  -DSIMPLEXQP_WINDOWS_PLUGIN="$windows_plugin"
cross macos-x86_64 simplexQP.mexmaci64

echo "== deliverables in $gathered:"
ls -l "$gathered"
echo "corpus answers: $(wc -l <"$reference") lines, sha256 $(sha256sum "$reference" | cut -d' ' -f1)"
if [ ${#skipped[@]} -ne 0 ]; then
  echo "skipped: ${skipped[*]}"
  if [ "${CI:-}" = true ]; then
    echo "CI installs every toolchain: nothing may be skipped" >&2
    exit 1
  fi
fi
