#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while, in memory.
#   scripts/fuzz.sh [SECONDS per target, default 60] [TARGETS...]
#   scripts/fuzz.sh --total SECONDS [TARGETS...]   the time split evenly (at least 5 s each), so
#                                                  a new target does not lengthen a CI run
# TARGETS are names such as ini or profile_file (all when none are given). A long run, e.g. ten
# million inputs of the profile-file parser: scripts/fuzz.sh 3600 profile_file
# Each target prints its runs, runs per second and peak memory at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
total=""
if [[ ${1:-} == --total ]]; then
    total=${2:?"usage: $0 --total SECONDS [TARGETS...]"}
    shift 2
else
    seconds=${1:-60}
    shift || true
fi
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DGMD_BUILD_FUZZERS=ON -DGMD_BUILD_TESTS=OFF -DGMD_BUILD_BENCHMARKS=OFF >/dev/null
targets=("$@")
if ((${#targets[@]} == 0)); then
    cmake --build build-fuzz
    for target in build-fuzz/fuzz/*_fuzz; do
        targets+=("$(basename "$target" _fuzz)")
    done
else
    cmake --build build-fuzz --target "${targets[@]/%/_fuzz}"
fi
if [[ -n $total ]]; then
    seconds=$((total / ${#targets[@]}))
    ((seconds >= 5)) || seconds=5
fi
for name in "${targets[@]}"; do
    target=build-fuzz/fuzz/${name}_fuzz
    corpus=$(mktemp -d)
    seeds=fuzz/corpus/$name
    echo "fuzz: $name for ${seconds}s"
    log=$(mktemp)
    status=0
    "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" \
        $( [[ -d $seeds ]] && echo "$seeds" ) >"$log" 2>&1 || status=$?
    if ((status != 0)); then
        tail -n 40 "$log"
        exit "$status"
    fi
    grep -E "^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)" "$log"
    rm -f "$log"
    rm -rf "$corpus"
done
