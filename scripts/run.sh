#!/usr/bin/env bash
# Builds the project and runs it on the built-in virtual mouse.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGMD_BUILD_TESTS=OFF \
      -DGMD_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build --target gmdctl
build/cli/gmdctl --virtual --trace info
build/cli/gmdctl --virtual dump
