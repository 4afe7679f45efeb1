#!/usr/bin/env bash
# Builds the deliverables of every plug-in (simplexQP, simplexQPopt, simplexLSQ) from the
# same sources, each platform in its own
# tree under out/ with its toolchain file from toolchains/, and gathers them
# in out/deliverables/:
#
#   <plug-in>.mexa64     Linux x86-64           out/release         (this machine's compiler)
#   <plug-in>.mexglx     Linux i386             out/linux-i386      toolchains/linux-i386.cmake
#   <plug-in>.dll        Windows 32-bit         out/windows-i686    toolchains/windows-i686.cmake
#   <plug-in>.mexw64     Windows x86-64         out/windows-x86_64  toolchains/windows-x86_64.cmake
#   <plug-in>.mexmaci64  macOS Intel            out/macos-x86_64    toolchains/macos-x86_64.cmake
#   <plug-in>.mexmaca64  macOS Apple silicon    out/macos-arm64     toolchains/macos-arm64.cmake
#
# and one tree that is not a deliverable, out/linux-aarch64 (Linux on ARM
# under qemu: the same bits where compilers would fuse multiply-adds).
# Every plug-in named in `plugins` is built and gathered for each platform.
#
# A platform whose Debian packages are missing (scripts/packages.txt) is
# skipped with the packages named, and listed in out/deliverables/skipped.txt
# for scripts/test.sh to count; under CI (CI=true) that is a failure.
# With --test, each platform's tests run too: what the file exports and
# needs, the plug-in tests, and the corpus answers, which must be the x86-64
# build's to the last bit (out/deliverables/corpus-answers.txt for
# simplexQP, corpus-answers-simplexQPopt.txt beside it). The Windows
# plug-ins run under Wine (32-bit where the kernel runs 32-bit programs, and
# in any case inside the i386 tree's stand-in host; 64-bit under wine64).
# Usage: scripts/deliverables.sh [--test]
set -euo pipefail
cd "$(dirname "$0")/.."
run_tests=false
[ "${1:-}" = "--test" ] && run_tests=true
plugins=(simplexQP simplexQPopt simplexLSQ)
jobs=$(nproc)
gathered=out/deliverables
reference=$PWD/$gathered/corpus-answers.txt
skipped_list=$gathered/skipped.txt
reference_opt=$PWD/$gathered/corpus-answers-simplexQPopt.txt
skipped=()
mkdir -p "$gathered"
: >"$skipped_list"

build() {  # PLATFORM TREE EXTENSION [CMAKE-OPTIONS...]  (EXTENSION "": nothing to gather)
  local platform=$1 tree=$2 extension=$3 plugin
  shift 3
  echo "== $platform: $tree"
  cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$tree" -j "$jobs"
  if [ -n "$extension" ]; then
    for plugin in "${plugins[@]}"; do
      cp "$tree/$plugin.$extension" "$gathered/"
    done
  fi
  if $run_tests; then
    # The log feeds the closing count of scripts/test.sh.
    ctest --test-dir "$tree" --output-on-failure -j "$jobs" | tee "$tree/ctest.log"
  fi
}

cross() {  # PLATFORM EXTENSION [CMAKE-OPTIONS...]
  local platform=$1 extension=$2 missing
  shift 2
  if ! missing=$(scripts/require.sh --check "$platform" 2>&1); then
    echo "== $platform: skipped, its toolchain is not installed (scripts/require.sh $platform installs it)"
    echo "$platform: not built or tested; $missing" >>"$skipped_list"
    skipped+=("$platform")
    return
  fi
  build "$platform" "out/$platform" "$extension" -DCMAKE_TOOLCHAIN_FILE="$PWD/toolchains/$platform.cmake" "$@"
}

if_built() {  # FILE: the file's absolute path, or nothing if its platform was skipped
  [ -f "$1" ] && echo "$PWD/$1" || true
}

scripts/require.sh build
build linux-x86_64 out/release mexa64
# The text every other platform's build must reproduce.
out/release/tests/corpus_answers --reference >"$reference"
# simplexQPopt's, found beside it by every tree.
out/release/tests/corpus_answers --certified-reference >"$reference_opt"
answers=-DSIMPLEXQP_REFERENCE_ANSWERS="$reference"
cross windows-i686 dll "$answers"
# The i386 tree also runs the 32-bit Windows plug-in's code, which needs no
# Wine there.
cross linux-i386 mexglx "$answers" -DSIMPLEXQP_WINDOWS_PLUGIN="$(if_built out/windows-i686/simplexQP.dll)"
# Each newer plug-in binds exactly the host operations of its older sibling.
cross windows-x86_64 mexw64 "$answers" -DSIMPLEXQP_BINDINGS_REFERENCE="$PWD/out/release/simplexQP.mexa64"
cross macos-x86_64 mexmaci64
cross macos-arm64 mexmaca64 -DSIMPLEXQP_BINDINGS_REFERENCE="$(if_built out/macos-x86_64/simplexQP.mexmaci64)"
cross linux-aarch64 "" "$answers"

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
