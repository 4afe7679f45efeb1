#!/usr/bin/env bash
# The whole test suite: every platform's deliverable built and tested (the
# x86-64 one in out/release, the others in their own trees under out/; see
# scripts/deliverables.sh), then the x86-64 build again under
# AddressSanitizer and UndefinedBehaviorSanitizer in out/sanitize.
# The x86-64 build also builds the Octave plug-in and runs its in-host
# tests (test simplexQP) in Octave, so Octave must be installed. Then the
# loader tests once more under valgrind memcheck, and the gateway fuzzed for
# a bounded time (SIMPLEXQP_FUZZ_SECONDS, default 60). Last, the release
# (scripts/release.sh) and the three ways to install it (tests/install).
#
# Run as root, it first installs every package any platform needs, so that
# on a fresh Debian machine this one command runs them all. Whatever does
# not run (a platform whose packages are missing, a test that cannot run on
# this machine) is named above the closing line and counted in its skipped
# figure. Under CI (CI=true) every skip fails the run except those nothing
# here can avoid: Wine's 32-bit loader on a kernel that runs no 32-bit
# programs, or where Debian's archive cannot install it (apt's error named).
set -euo pipefail
cd "$(dirname "$0")/.."
platform_groups=(linux-i386 windows-i686 windows-x86_64 macos-x86_64 macos-arm64 linux-aarch64)
mkdir -p out
unavailable=out/unavailable-packages.txt
rm -f "$unavailable"
if [ "$(id -u)" -eq 0 ]; then
  scripts/require.sh build octave safety benchmark-peers "${platform_groups[@]}"
  # Packages of the i386 architecture install only where Debian's archive
  # has consistent lists of both architectures (a mirror caught mid-sync
  # may not): when apt-get cannot install them, the runs that need them
  # (32-bit Wine) are skipped, naming apt's error, as nothing here can
  # avoid it.
  if ! scripts/require.sh windows-i686-wine >out/require-i386.log 2>&1; then
    reason=$(grep -E '^E: ' out/require-i386.log | head -n 1)
    echo "wine32:i386 could not be installed from Debian's archive (${reason:-apt-get failed})" | tee "$unavailable"
  fi
else
  scripts/require.sh build octave safety benchmark-peers  # a platform's missing packages skip that platform
fi
jobs=$(nproc)

# The x86-64 tree must hold the Octave plug-in (kept in its cache when
# deliverables.sh configures it again).
cmake -S . -B out/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIMPLEXQP_REQUIRE_OCTAVE=ON >/dev/null
rm -f out/*/ctest.log
scripts/deliverables.sh --test

echo "== out/sanitize"
cmake -S . -B out/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIMPLEXQP_SANITIZE=ON
cmake --build out/sanitize -j "$jobs"
ctest --test-dir out/sanitize --output-on-failure -j "$jobs" | tee out/sanitize/ctest.log

# valgrind runs SSE code in the standard floating-point mode whatever MXCSR
# says (it does not emulate flush-to-zero, denormals-are-zero or other
# rounding), so the tests of the caller's mode run natively and under the
# sanitizers only.
echo "== valgrind memcheck: out/release/tests/plugin_tests, certified_plugin_tests"
for loader_tests in plugin_tests certified_plugin_tests; do
  LD_LIBRARY_PATH=out/release/host-libs valgrind --quiet --error-exitcode=1 --leak-check=full \
    --errors-for-leak-kinds=definite "out/release/tests/$loader_tests" --gtest_brief=1 \
    --gtest_filter='-*FloatingPointMode*'
done

scripts/fuzz.sh "${SIMPLEXQP_FUZZ_SECONDS:-60}"

echo "== the release and the three ways to install it"
scripts/release.sh --test

# Why a test of TREE was skipped: the first line of its output that says
# what cannot run here.
skip_reason() {  # TREE TEST
  local reason
  reason=$(awk -v test="$2" '
    /^[0-9]+\/[0-9]+ Test: / { current = substr($0, index($0, "Test: ") + 6) }
    /^Output:$/ { output = 1 } /^<end of output>$/ { output = 0 }
    output && current == test && /cannot run here/ { print; exit }' "$1/Testing/Temporary/LastTest.log" 2>/dev/null || true)
  echo "${reason:-no reason given}"
}

# One closing count over every tree's ctest run (each failure has already
# stopped the script, so failed is 0 when this line is reached), and what did
# not run: each skipped test, and each skipped platform as one.
passed=0 failed=0 skipped=0 avoidable=0
not_run=()
for log in out/*/ctest.log; do
  [ -f "$log" ] || continue
  tree=$(dirname "$log")
  read -r tree_failed tree_total < <(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\)$/\1 \2/p' "$log")
  failed=$((failed + tree_failed))
  tree_skipped=0
  while read -r test; do
    reason=$(skip_reason "$tree" "$test")
    not_run+=("$tree: $test: $reason")
    case $reason in
      *"runs no 32-bit programs"* | *"could not be installed from Debian's archive"*) ;;
      *) avoidable=$((avoidable + 1)) ;;
    esac
    tree_skipped=$((tree_skipped + 1))
  done < <(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' "$log")
  skipped=$((skipped + tree_skipped))
  passed=$((passed + tree_total - tree_failed - tree_skipped))
done
while read -r platform; do
  not_run+=("$platform")
  skipped=$((skipped + 1))
  avoidable=$((avoidable + 1))
done < <(cat out/deliverables/skipped.txt 2>/dev/null)

if [ ${#not_run[@]} -ne 0 ]; then
  echo "not run:"
  printf '  %s\n' "${not_run[@]}"
fi
echo "tests: $passed passed, $failed failed, $skipped skipped"
if [ "${CI:-}" = true ] && [ "$avoidable" -ne 0 ]; then
  echo "CI installs every package: only 32-bit Wine on a kernel without 32-bit programs, or where Debian's" \
    "archive cannot install it, may be skipped" >&2
  exit 1
fi
