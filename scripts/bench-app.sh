#!/usr/bin/env bash
# Start-up time and idle CPU of the desktop application, measured side by side in one run:
#   1. no device, on an X display (Xvfb)           2. no device, no display (offscreen)
#   3. the virtual mouse attached, on Xvfb
# Start-up is the time from exec to the end of first-show initialisation (its debug trace line).
# Idle CPU is the process's user + system time (all threads) over SECONDS (default 30) once
# started, as CPU seconds per minute and as % of one core. Target: under 1% of one core.
#   scripts/bench-app.sh [SECONDS]
# Builds optimised into build-release/. Runs with a scratch home folder.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
bash scripts/bootstrap.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DGMD_BUILD_TESTS=OFF >/dev/null
cmake --build build-release --target gaming-mouse-driver gmd_skin >&2
app=$PWD/build-release/app/gaming-mouse-driver
ticks=$(getconf CLK_TCK)

cpu_ticks() {  # utime + stime of a process, all threads
    awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"
}

# measure LABEL PLATFORM ARGS...: prints "LABEL startup_ms cpu_s_per_min percent"
measure() {
    local label=$1 platform=$2
    shift 2
    local scratch
    scratch=$(mktemp -d)
    local trace=$scratch/trace.log
    local start pid
    start=$(date +%s%N)
    if [[ $platform == xvfb ]]; then
        HOME=$scratch XDG_CONFIG_HOME=$scratch/.config XDG_RUNTIME_DIR=$scratch \
            GMD_DEBUG_FILE=$trace xvfb-run -a -s "-screen 0 1280x800x24" \
            "$app" "$@" >/dev/null 2>&1 &
    else
        HOME=$scratch XDG_CONFIG_HOME=$scratch/.config XDG_RUNTIME_DIR=$scratch \
            GMD_DEBUG_FILE=$trace QT_QPA_PLATFORM=offscreen "$app" "$@" >/dev/null 2>&1 &
    fi
    local runner=$!
    local startup_ns=""
    for _ in $(seq 2000); do
        if grep -q "first-show initialisation done" "$trace" 2>/dev/null; then
            startup_ns=$(($(date +%s%N) - start))
            break
        fi
        sleep 0.005
    done
    pid=$(pgrep -n -f "^$app" || true)
    if [[ -z $startup_ns || -z $pid ]]; then
        echo "$label: the application did not start (trace: $trace)" >&2
        kill "$runner" 2>/dev/null || true
        return 1
    fi
    sleep 2  # let the first timers and the device read-out pass
    local before after
    before=$(cpu_ticks "$pid")
    sleep "$seconds"
    after=$(cpu_ticks "$pid")
    kill -TERM "$pid"
    wait "$runner" 2>/dev/null || true
    rm -rf "$scratch"
    awk -v l="$label" -v s="$startup_ns" -v d=$((after - before)) -v t="$ticks" -v w="$seconds" \
        'BEGIN { cpu = d / t; printf "%-28s %8.0f ms %10.3f CPU s/min %8.2f %% of a core\n",
                 l, s / 1e6, cpu / w * 60, cpu / w * 100 }'
}

echo "start-up to the end of first-show initialisation; idle CPU over ${seconds} s"
measure "no device, Xvfb" xvfb
measure "no device, offscreen" offscreen
measure "virtual mouse, Xvfb" xvfb --virtual
