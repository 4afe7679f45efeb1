#!/usr/bin/env bash
# Builds the gateways' libFuzzer targets with clang (ASan and UBSan) in
# out/fuzz, gateway_fuzzer (simplexQP), opt_gateway_fuzzer (simplexQPopt)
# and lsq_gateway_fuzzer (simplexLSQ), and runs each for a third of the given number of seconds
# (default 60 in all) from the seeds in tests/fuzz/seeds. Fails on any
# finding: a crash, a sanitiser report, a leak, a floating-point mode not
# given back, or one input running longer than 60 s (the fuzzer scales each
# problem so that SMO runs at most a few thousand passes, which still take
# seconds at n = 24 under the fuzzer's instrumentation). The
# input that did it is left in out/fuzz/ for reproducing
# (out/fuzz/tests/fuzz/<fuzzer> FILE).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/require.sh build safety
seconds=${1:-60}
dir=out/fuzz

cmake -S . -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSIMPLEXQP_FUZZ=ON -DSIMPLEXQP_TESTS=OFF
cmake --build "$dir" -j "$(nproc)" --target gateway_fuzzer opt_gateway_fuzzer lsq_gateway_fuzzer
for fuzzer in gateway_fuzzer opt_gateway_fuzzer lsq_gateway_fuzzer; do
  share=$(((seconds + 2) / 3))
  echo "== $dir: $fuzzer (${share} s)"
  mkdir -p "$dir/corpus-$fuzzer"
  # New inputs go to the first folder, never into the committed seeds.
  if ! "$dir/tests/fuzz/$fuzzer" -max_total_time="$share" -timeout=60 -max_len=2048 \
    -rss_limit_mb=2048 -artifact_prefix="$dir/$fuzzer-" -print_final_stats=1 \
    "$dir/corpus-$fuzzer" tests/fuzz/seeds >"$dir/$fuzzer.log" 2>&1; then
    tail -n 80 "$dir/$fuzzer.log"
    echo "fuzzing $fuzzer found a fault; the input is in $dir/ (full log: $dir/$fuzzer.log)" >&2
    exit 1
  fi
  grep -E '^(Done|stat::)' "$dir/$fuzzer.log"
done
