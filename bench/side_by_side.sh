#!/usr/bin/env bash
# The side-by-side benchmark in one run: the project's solvers (certifiedSMO
# at its default tolerance and at 1e-6, simplexQP's SMO and multUpdate) and
# the peers (LIBSVM's one-class SVM on the one-class family, CVXOPT's qp on
# every family) on the same problems, every answer measured by one evaluator.
# Usage: bench/side_by_side.sh [--check] SIDE_BY_SIDE_PROGRAM OUT_DIR SIZES [FAMILIES] [PLOT.png]
#   --check  tiny sizes for the tests: one run each; fail when a solver
#            fails, an answer is off the simplex, or an answer asked for a
#            gap of 1e-6 or less ends more than 1e-6 above the best (never
#            on times); without the peers' Python modules, say so and exit
#            with 77 (skipped).
# Writes OUT_DIR/side_by_side.md (the tables), OUT_DIR/side_by_side.csv and,
# given PLOT.png, the plot of time against n.
set -euo pipefail
check=false
if [ "${1:-}" = "--check" ]; then check=true; shift; fi
if [ $# -lt 3 ]; then
  sed -n '2,13p' "$0" >&2
  exit 2
fi
program=$1 dir=$2 sizes=$3 families=${4:-density,mixture,one-class} plot=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
# Debian's Python modules are installed for the system's Python, whatever
# python3 comes first on PATH.
python=/usr/bin/python3

if ! "$python" -c 'import svm, cvxopt' 2>/dev/null; then
  echo "side_by_side.sh: the peers are not installed ($python cannot import svm and cvxopt:" \
       "Debian packages python3-libsvm python3-cvxopt, scripts/require.sh benchmark-peers)" >&2
  if $check; then exit 77; fi
  exit 1
fi
repeats=3
if $check; then repeats=1; fi

rm -rf "$dir"
mkdir -p "$dir"
"$program" solve --dir "$dir" --sizes "$sizes" --families "$families" --repeats "$repeats"
"$python" "$here/peers.py" "$dir" "$sizes" "$families" "$repeats"
check_flag=()
if $check; then check_flag=(--check); fi
"$program" evaluate --dir "$dir" "${check_flag[@]}" "$dir/runs-own.csv" "$dir/runs-peers.csv"

if [ -n "$plot" ]; then
  gnuplot -e "results='$dir/side_by_side.csv'; output='$plot'" "$here/side_by_side.gp"
  echo "Plot: $plot"
fi
