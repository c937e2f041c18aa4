#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
seconds=${1:-60}
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DGMD_BUILD_FUZZERS=ON -DGMD_BUILD_TESTS=OFF -DGMD_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz
for target in build-fuzz/fuzz/*_fuzz; do
    name=$(basename "$target" _fuzz)
    corpus=$(mktemp -d)
    seeds=fuzz/corpus/$name
    echo "fuzz: $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -print_final_stats=0 "$corpus" \
        $( [[ -d $seeds ]] && echo "$seeds" ) 2>&1 | tail -n 3
    rm -rf "$corpus"
done
