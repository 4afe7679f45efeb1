#!/usr/bin/env bash
# Builds the gateway's libFuzzer target with clang (ASan and UBSan) in
# out/fuzz and runs it for the given number of seconds (default 60) from the
# seeds in tests/fuzz/seeds. Fails on any finding: a crash, a sanitiser
# report, a leak, or one input running longer than 60 s (some finite inputs
# legitimately take several seconds under the fuzzer's instrumentation: SMO
# on an indefinite Q with entries near 1e6 runs thousands of passes). The
# input that did it is left in out/fuzz/ for reproducing
# (out/fuzz/tests/fuzz/gateway_fuzzer FILE).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/require.sh build safety
seconds=${1:-60}
dir=out/fuzz

echo "== $dir (${seconds} s)"
cmake -S . -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSIMPLEXQP_FUZZ=ON -DSIMPLEXQP_TESTS=OFF
cmake --build "$dir" -j "$(nproc)" --target gateway_fuzzer
mkdir -p "$dir/corpus"
# New inputs go to the first folder, never into the committed seeds.
if ! "$dir/tests/fuzz/gateway_fuzzer" -max_total_time="$seconds" -timeout=60 -max_len=2048 \
  -rss_limit_mb=2048 -artifact_prefix="$dir/" -print_final_stats=1 \
  "$dir/corpus" tests/fuzz/seeds >"$dir/fuzz.log" 2>&1; then
  tail -n 80 "$dir/fuzz.log"
  echo "fuzzing found a fault; the input is in $dir/ (full log: $dir/fuzz.log)" >&2
  exit 1
fi
grep -E '^(Done|stat::)' "$dir/fuzz.log"
