#!/usr/bin/env bash
# The whole test suite: an ordinary build and one under AddressSanitizer and
# UndefinedBehaviorSanitizer, each built and tested out of source in out/.
# The ordinary build also builds the Octave plug-in and runs its in-host
# tests (test simplexQP) in Octave, so Octave must be installed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/require.sh build octave
jobs=$(nproc)

run_suite() {  # NAME CMAKE-OPTIONS...
  local dir=out/$1; shift
  echo "== $dir"
  cmake -S . -B "$dir" "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

run_suite release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIMPLEXQP_REQUIRE_OCTAVE=ON
run_suite sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIMPLEXQP_SANITIZE=ON
