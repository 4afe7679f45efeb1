#!/usr/bin/env bash
# The benchmark, by hand (CI runs only its small checks through ctest):
# SMO and multUpdate against the literal transcription in C++, then the same
# problems in GNU Octave through its qp and, when SIMPLEXQP_MEX_DIR names a
# folder holding the Octave plug-in simplexQP.mex, through the plug-in; and
# the README's plot of time against n (doc/benchmark.png). Then the
# side-by-side benchmark: certifiedSMO and simplexQP's solvers against
# LIBSVM and CVXOPT (bench/side_by_side.sh), with its plot
# (doc/benchmark-peers.png).
# Then the bounded families side by side (one-class at ν = 0.01, 0.1 and
# 0.5 against LIBSVM, capped portfolios against CVXOPT; out/bench/bounded/)
# and the real data sets as one-class problems (out/bench/one-class-data/).
# Then simplexQPopt's warm starts and its passes over Q
# (bench/warm_start_bench.cpp, a few minutes), and the problems given by
# data against scikit-learn, CVXOPT and SciPy (bench/forms.sh, about five
# minutes; its tables in out/bench/forms/forms.md).
# Tables and CSV files go to out/bench/ (the side-by-side's to
# out/bench/side-by-side/, its tables in side_by_side.md; the warm starts'
# table to warm_start.md).
# Usage: scripts/bench.sh [--cxx-only] [--peers-only] [--warm-only] [--forms-only] [SIZES [PEER_SIZES]]
#   --cxx-only    skips Octave (several minutes) and plots its last results
#   --peers-only  runs the side-by-side benchmark alone
#   --warm-only   runs the warm-start benchmark alone
#   --forms-only  runs the benchmark of the problems given by data alone
#   SIZES         default 100,200,500,1000,2000,4000,8000,16384
#   PEER_SIZES    the side-by-side's, default 500,1000,2000,4000,8000
# The C++ benchmark runs every vector path the processor has; the literal
# solvers up to n = 2000 (SMO) and 8000 (multUpdate), and problems are
# written for Octave up to n = 4000 (Q of n = 16384 takes 2 GiB).
set -euo pipefail
cd "$(dirname "$0")/.."
run_octave=true
run_own=true
run_peers=true
run_warm=true
run_forms=true
while [ $# -gt 0 ]; do
  case $1 in
    --cxx-only) run_octave=false ;;
    --peers-only) run_own=false run_octave=false run_warm=false run_forms=false ;;
    --warm-only) run_own=false run_octave=false run_peers=false run_forms=false ;;
    --forms-only) run_own=false run_octave=false run_peers=false run_warm=false ;;
    *) break ;;
  esac
  shift
done
sizes=${1:-100,200,500,1000,2000,4000,8000,16384}
peer_sizes=${2:-500,1000,2000,4000,8000}
scripts/require.sh build benchmark-plot benchmark-peers
if $run_forms; then scripts/require.sh benchmark-data; fi
if $run_octave; then scripts/require.sh octave; fi
cmake -S . -B out/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build out/release -j 2 --target simplexqp_bench side_by_side warm_start_bench forms_bench
results=out/bench
mkdir -p "$results/problems" doc

if $run_own; then
  out/release/bench/simplexqp_bench --sizes "$sizes" --literal-mult-up-to 8000 --csv "$results/bench.csv" \
    --dump "$results/problems" --dump-up-to 4000 |
    tee "$results/table.md"
fi

if $run_octave; then
  octave_path=()
  if [ -n "${SIMPLEXQP_MEX_DIR:-}" ]; then octave_path=(--path "$SIMPLEXQP_MEX_DIR"); fi
  octave-cli --no-gui --norc --quiet "${octave_path[@]}" bench/octave_bench.m "$results/problems" \
    "$results/octave.csv" "$sizes" | tee "$results/octave.md"
fi
[ -f "$results/octave.csv" ] || echo "n,family,method,seconds,iterations,status,same_bits" >"$results/octave.csv"

if $run_own; then
  gnuplot -e "bench='$results/bench.csv'; octave='$results/octave.csv'; output='doc/benchmark.png'" bench/plot.gp 2>/dev/null
  echo "Plot: doc/benchmark.png"
fi

if $run_peers; then
  bench/side_by_side.sh out/release/bench/side_by_side "$results/side-by-side" "$peer_sizes" \
    density,mixture,one-class doc/benchmark-peers.png
  bench/side_by_side.sh out/release/bench/side_by_side "$results/bounded" "$peer_sizes" \
    one-class-nu0.01,one-class-nu0.1,one-class-nu0.5,portfolio-cap0.02,portfolio-cap0.05
  # The data sets' sizes differ (n = 1,797 and 569): one run each.
  data=$results/one-class-data
  rm -rf "$data" && /usr/bin/python3 bench/one_class_data.py "$data"
  for set in digits:1797 breast-cancer:569; do
    name=${set%%:*} n=${set##*:} families=$name-nu0.05,$name-nu0.1,$name-nu0.2,$name-nu0.5
    out/release/bench/side_by_side solve --dir "$data" --sizes "$n" --families "$families" --from-files yes
    /usr/bin/python3 bench/peers.py "$data" "$n" "$families"
    out/release/bench/side_by_side evaluate --dir "$data" "$data/runs-own.csv" "$data/runs-peers.csv" |
      tee "$data/$name.md"
  done
fi

if $run_warm; then
  LD_LIBRARY_PATH=out/release/host-libs out/release/bench/warm_start_bench out/release/simplexQPopt.mexa64 \
    --sizes 2000,4000,8000 | tee "$results/warm_start.md"
fi

if $run_forms; then
  bench/forms.sh "$PWD/out/release/bench/forms_bench" "$results/forms"
fi
