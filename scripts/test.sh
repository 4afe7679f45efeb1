#!/usr/bin/env bash
# The whole test suite: an ordinary build and one under AddressSanitizer and
# UndefinedBehaviorSanitizer, each built and tested out of source in out/;
# the loader tests once more under valgrind memcheck; and the gateway fuzzed
# for a bounded time (SIMPLEXQP_FUZZ_SECONDS, default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/require.sh build safety
jobs=$(nproc)

run_suite() {  # NAME CMAKE-OPTIONS...
  local dir=out/$1; shift
  echo "== $dir"
  cmake -S . -B "$dir" "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

run_suite release -DCMAKE_BUILD_TYPE=RelWithDebInfo

echo "== valgrind memcheck: out/release/tests/plugin_tests"
LD_LIBRARY_PATH=out/release/host-libs valgrind --quiet --error-exitcode=1 --leak-check=full \
  --errors-for-leak-kinds=definite out/release/tests/plugin_tests --gtest_brief=1

run_suite sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIMPLEXQP_SANITIZE=ON

scripts/fuzz.sh "${SIMPLEXQP_FUZZ_SECONDS:-60}"
