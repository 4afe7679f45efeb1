#!/usr/bin/env bash
# The problems given by data against their peers, every case in its own
# process (forms_bench.cpp for ours, forms_peers.py for scikit-learn's
# OneClassSVM, CVXOPT's qp and SciPy's nnls), then the tables of both.
# Usage: bench/forms.sh FORMS_BENCH DIR [--quick]
#   --quick  small sizes (a check of the harness in a minute, no figures)
# Writes DIR/*.csv, one record a case, and the tables to DIR/forms.md.
# BLAS runs on one thread, as our solvers do, and times are CPU seconds.
set -euo pipefail
bench=$1 dir=$2 quick=${3:-}
cd "$(dirname "$0")/.."
export OPENBLAS_NUM_THREADS=1 OMP_NUM_THREADS=1
python=/usr/bin/python3
rows=60000
one_class="10000:1/n 20000:1/n 60000:1/n 10000:0.1 20000:0.1"
hull="2000:16:3 60000:3:0"
unmix="200000:5000"
if [ "$quick" = --quick ]; then
  rows=3000 one_class="1000:1/n 2000:0.1" hull="500:4:1 3000:2:0" unmix="5000:500"
fi
mkdir -p "$dir/answers"
rm -f "$dir"/*.csv
points=$dir/problems/fashion-mnist-$rows.P
[ -f "$points" ] || $python bench/fashion_mnist_points.py "$dir" "$rows"
$python bench/forms_peers.py test-images "$dir" 16
images=$dir/problems/fashion-mnist-test.P

for case in $one_class; do
  n=${case%%:*} nu=${case##*:}
  if [ "$nu" = 1/n ]; then nu=$($python -c "print(repr(1.0 / $n))"); fi
  echo "== one-class n $n nu $nu"
  "$bench" one-class "$points" $rows 784 "$n" "$nu" "$dir/answers/one-class-$n-$nu.ours.x" "$dir/one-class-ours.csv"
  $python bench/forms_peers.py one-class "$dir" $rows "$n" "$nu" "$dir/one-class-sklearn.csv"
  "$bench" evaluate "$points" $rows 784 "$n" "$nu" "$dir/answers/one-class-$n-$nu.sklearn.x" \
    "$dir/one-class-evaluated.csv"
done

for case in $hull; do
  IFS=: read -r n k cvxopt_k <<<"$case"
  echo "== hull n $n, $k images"
  "$bench" hull "$points" $rows 784 "$n" "$images" "$k" "$dir/answers/hull-$n.ours.x" "$dir/hull-ours.csv"
  $python bench/forms_peers.py hull "$dir" $rows "$n" "$dir/answers/hull-$n.ours.x" "$k" "$cvxopt_k" \
    "$dir/hull-peers.csv"
done

for case in $unmix; do
  IFS=: read -r p peer_p <<<"$case"
  echo "== unmixing p $p (FCLS on $peer_p)"
  "$bench" unmix "$p" "$peer_p" "$dir" "$dir/unmix-ours.csv"
  $python bench/forms_peers.py unmix "$dir" "$dir/unmix-fcls.csv"
done

$python bench/forms_peers.py table "$dir" | tee "$dir/forms.md"
