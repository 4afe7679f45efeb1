#!/usr/bin/env bash
# The main job: build the Octave plug-ins and, in GNU Octave, run a demo of
# each way to call them (examples/):
# - kernel_mixture_demo.m: fit a Gaussian-kernel mixture to a 2-D data set
#   with simplexQP (SMO and multUpdate) and simplexQPopt, next to Octave's
#   own qp (weights, objective, time, simplexQPopt's certified gap), and
#   draw the fit with gnuplot into out/demo/kernel_mixture.png;
# - one_class_demo.m: a one-class SVM on Fashion-MNIST with Q described by
#   the points and a Gaussian kernel (simplexQPopt(K, b)), never formed;
# - unmixing_demo.m: 20,000 pixels unmixed in one simplexLSQ call. Installs Octave and gnuplot when they are
# missing and it can (root with apt-get); otherwise says what to install.
# The same kind of problem through the stand-in host, in C++:
#   cmake --build out/release --target solve_example && out/release/examples/solve_example
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/require.sh build octave benchmark-plot demo-data
cmake -S . -B out/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIMPLEXQP_REQUIRE_OCTAVE=ON >/dev/null
cmake --build out/release -j "$(nproc)" --target simplexQP_octave simplexQPopt_octave simplexLSQ_octave
for demo in kernel_mixture_demo one_class_demo unmixing_demo; do
  echo "== examples/$demo.m"
  octave-cli --no-gui --norc --quiet --no-history --path "$PWD/out/release/octave" "examples/$demo.m"
done
