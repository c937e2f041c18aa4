#!/usr/bin/env bash
# Builds everything and runs every test.
#   scripts/test.sh                 under AddressSanitizer + UndefinedBehaviorSanitizer, in build-asan/
#   scripts/test.sh --plain         without sanitizers, in build/
#   scripts/test.sh --sanitize tsan ThreadSanitizer, in build-tsan/ (tests of threaded code)
# (--sanitize asan is the default run.)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh

build=build-asan
extra=(-DGMD_SANITIZE=address,undefined -DGMD_BUILD_BENCHMARKS=OFF)
ctest_extra=()
case "${1:-}" in
    "") ;;
    --plain) build=build; extra=() ;;
    --sanitize)
        case "${2:-}" in
            asan) ;;
            tsan) build=build-tsan; extra=(-DGMD_SANITIZE=thread -DGMD_BUILD_BENCHMARKS=OFF)
                  ctest_extra=(-LE single-thread) ;;
            *) echo "usage: $0 [--plain | --sanitize asan|tsan]" >&2; exit 64 ;;
        esac ;;
    *) echo "usage: $0 [--plain | --sanitize asan|tsan]" >&2; exit 64 ;;
esac

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGMD_WERROR=ON "${extra[@]}"
cmake --build "$build"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp}
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "${ctest_extra[@]}"
