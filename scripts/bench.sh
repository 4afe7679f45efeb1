#!/usr/bin/env bash
# The benchmark, by hand (CI runs only its small check through ctest):
# SMO and multUpdate against the literal transcription in C++, then the same
# problems in GNU Octave through its qp and, when SIMPLEXQP_MEX_DIR names a
# folder holding the Octave plug-in simplexQP.mex, through the plug-in; and
# the README's plot of time against n (doc/benchmark.png).
# Tables and CSV files go to out/bench/.
# Usage: scripts/bench.sh [--cxx-only] [SIZES]   (default 100,200,500,1000,2000,4000,8000,16384)
#   --cxx-only  skips Octave (several minutes) and plots its last results
# The C++ benchmark runs every vector path the processor has; the literal
# solvers up to n = 2000 (SMO) and 8000 (multUpdate), and problems are
# written for Octave up to n = 4000 (Q of n = 16384 takes 2 GiB).
set -euo pipefail
cd "$(dirname "$0")/.."
run_octave=true
if [ "${1:-}" = "--cxx-only" ]; then run_octave=false; shift; fi
sizes=${1:-100,200,500,1000,2000,4000,8000,16384}
scripts/require.sh build benchmark-plot
if $run_octave; then scripts/require.sh octave; fi
cmake -S . -B out/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build out/release -j 2 --target simplexqp_bench
results=out/bench
mkdir -p "$results/problems" doc

out/release/bench/simplexqp_bench --sizes "$sizes" --literal-mult-up-to 8000 --csv "$results/bench.csv" \
  --dump "$results/problems" --dump-up-to 4000 |
  tee "$results/table.md"

if $run_octave; then
  octave_path=()
  if [ -n "${SIMPLEXQP_MEX_DIR:-}" ]; then octave_path=(--path "$SIMPLEXQP_MEX_DIR"); fi
  octave-cli --no-gui --norc --quiet "${octave_path[@]}" bench/octave_bench.m "$results/problems" \
    "$results/octave.csv" "$sizes" | tee "$results/octave.md"
fi
[ -f "$results/octave.csv" ] || echo "n,family,method,seconds,iterations,status,same_bits" >"$results/octave.csv"

gnuplot -e "bench='$results/bench.csv'; octave='$results/octave.csv'; output='doc/benchmark.png'" bench/plot.gp 2>/dev/null
echo "Plot: doc/benchmark.png"
