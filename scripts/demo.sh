#!/usr/bin/env bash
# The main job: build the plug-in and solve a real problem with it, loaded
# and called as a host loads and calls it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/require.sh build
cmake -S . -B out/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build out/release -j "$(nproc)" --target solve_example simplexQP
out/release/examples/solve_example
