#!/usr/bin/env bash
# Builds optimised and runs the benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DGMD_BUILD_TESTS=OFF >/dev/null
cmake --build build-release
for b in build-release/bench/*_bench; do
    "$b" "$@"
done
