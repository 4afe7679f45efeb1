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
# The side-by-side benchmark's small check needs its peers (LIBSVM, CVXOPT).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/require.sh build octave safety benchmark-peers
jobs=$(nproc)

# The x86-64 tree must hold the Octave plug-in (kept in its cache when
# deliverables.sh configures it again).
cmake -S . -B out/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIMPLEXQP_REQUIRE_OCTAVE=ON >/dev/null
ctest_logs=(out/release/ctest.log out/linux-i386/ctest.log out/windows-i686/ctest.log out/macos-x86_64/ctest.log
            out/sanitize/ctest.log out/install-tests/ctest.log)
rm -f "${ctest_logs[@]}"
scripts/deliverables.sh --test

echo "== out/sanitize"
cmake -S . -B out/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIMPLEXQP_SANITIZE=ON
cmake --build out/sanitize -j "$jobs"
ctest --test-dir out/sanitize --output-on-failure -j "$jobs" | tee out/sanitize/ctest.log

echo "== valgrind memcheck: out/release/tests/plugin_tests"
LD_LIBRARY_PATH=out/release/host-libs valgrind --quiet --error-exitcode=1 --leak-check=full \
  --errors-for-leak-kinds=definite out/release/tests/plugin_tests --gtest_brief=1

scripts/fuzz.sh "${SIMPLEXQP_FUZZ_SECONDS:-60}"

echo "== the release and the three ways to install it"
scripts/release.sh --test

# One closing count over every tree's ctest run (each failure has already
# stopped the script, so failed is 0 when this line is reached).
passed=0 failed=0 skipped=0
for log in "${ctest_logs[@]}"; do
  [ -f "$log" ] || continue
  read -r tree_failed tree_total < <(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\)$/\1 \2/p' "$log")
  tree_skipped=$(grep -c '(Skipped)$' "$log" || true)
  failed=$((failed + tree_failed))
  skipped=$((skipped + tree_skipped))
  passed=$((passed + tree_total - tree_failed - tree_skipped))
done
echo "tests: $passed passed, $failed failed, $skipped skipped"
