#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them for a total time split evenly among
# them, so a new target does not lengthen the run (each gets at least 5 s).
#   scripts/fuzz.sh [total seconds, default 600]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
total=${1:-600}
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DGMD_BUILD_FUZZERS=ON -DGMD_BUILD_TESTS=OFF -DGMD_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz
targets=(build-fuzz/fuzz/*_fuzz)
seconds=$(( total / ${#targets[@]} ))
(( seconds >= 5 )) || seconds=5
for target in "${targets[@]}"; do
    name=$(basename "$target" _fuzz)
    corpus=$(mktemp -d)
    seeds=fuzz/corpus/$name
    echo "fuzz: $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -print_final_stats=0 "$corpus" \
        $( [[ -d $seeds ]] && echo "$seeds" ) 2>&1 | tail -n 3
    rm -rf "$corpus"
done
