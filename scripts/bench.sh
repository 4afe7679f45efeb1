#!/usr/bin/env bash
# The benchmark, by hand (CI runs only its small check through ctest):
# SMO and multUpdate against the literal transcription in C++, then the same
# problems in GNU Octave through its qp and, when SIMPLEXQP_MEX_DIR names a
# folder holding the Octave plug-in simplexQP.mex, through the plug-in; and
# a plot of time against n.
# Results in out/bench/: table.md, octave.md, bench.csv, octave.csv,
# benchmark.png.
# Usage: scripts/bench.sh [SIZES]   (default 100,200,500,1000,2000,4000)
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=${1:-100,200,500,1000,2000,4000}
scripts/require.sh build benchmark
cmake -S . -B out/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build out/release -j 2 --target simplexqp_bench
results=out/bench
mkdir -p "$results/problems"

out/release/bench/simplexqp_bench --sizes "$sizes" --csv "$results/bench.csv" --dump "$results/problems" |
  tee "$results/table.md"

octave_path=()
if [ -n "${SIMPLEXQP_MEX_DIR:-}" ]; then octave_path=(--path "$SIMPLEXQP_MEX_DIR"); fi
octave-cli --no-gui --norc --quiet "${octave_path[@]}" bench/octave_bench.m "$results/problems" \
  "$results/octave.csv" "$sizes" | tee "$results/octave.md"

gnuplot -e "bench='$results/bench.csv'; octave='$results/octave.csv'; output='$results/benchmark.png'" bench/plot.gp
echo "Plot: $results/benchmark.png"
