#!/usr/bin/env bash
# Start-up time and idle CPU of the desktop application, measured side by side in one run:
#   1. no device, window hidden in the tray (Xvfb with a tray host)
#   2. no device, no tray: the window stays shown (Xvfb)
#   3. no device, no display (offscreen)
#   4. the virtual mouse attached, window in front (Xvfb with the tray host)
# Start-up is the time from exec to the end of first-show initialisation (its debug trace line);
# the X server and the tray host are started beforehand, so their start is not counted.
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

# One X server for the whole run.
exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
read -r -t 10 -u "$displayfd" display_number
display=:$display_number
tray=""
cleanup() {
    [[ -n $tray ]] && kill "$tray" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait 2>/dev/null || true
}
trap cleanup EXIT

tray_on() {
    DISPLAY=$display trayer --edge top --align right --widthtype pixel --width 120 \
        --height 24 >/dev/null 2>&1 &
    tray=$!
    sleep 1
}
tray_off() {
    kill "$tray" 2>/dev/null || true
    wait "$tray" 2>/dev/null || true
    tray=""
    sleep 0.5
}

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
    local env=(HOME="$scratch" XDG_CONFIG_HOME="$scratch/.config" XDG_RUNTIME_DIR="$scratch"
               GMD_DEBUG_FILE="$trace")
    if [[ $platform == xvfb ]]; then
        env+=(DISPLAY="$display" QT_QPA_PLATFORM=xcb)
    else
        env+=(QT_QPA_PLATFORM=offscreen)
    fi
    start=$(date +%s%N)
    env "${env[@]}" "$app" "$@" >/dev/null 2>&1 &
    pid=$!
    local startup_ns=""
    for _ in $(seq 2000); do
        if grep -q "first-show initialisation done" "$trace" 2>/dev/null; then
            startup_ns=$(($(date +%s%N) - start))
            break
        fi
        sleep 0.005
    done
    if [[ -z $startup_ns ]]; then
        echo "$label: the application did not start (trace: $trace)" >&2
        kill "$pid" 2>/dev/null || true
        return 1
    fi
    sleep 2  # let the first timers and the device read-out pass
    local shown
    shown=$(grep -o -m1 "window: [a-z ,]*" "$trace" || echo "window: ?")
    local before after
    before=$(cpu_ticks "$pid")
    sleep "$seconds"
    after=$(cpu_ticks "$pid")
    kill -TERM "$pid"
    wait "$pid" 2>/dev/null || true
    rm -rf "$scratch"
    awk -v l="$label" -v s="$startup_ns" -v d=$((after - before)) -v t="$ticks" -v w="$seconds" \
        -v shown="$shown" \
        'BEGIN { cpu = d / t; printf "%-34s %6.0f ms %8.3f CPU s/min %6.2f %% of a core  (%s)\n",
                 l, s / 1e6, cpu / w * 60, cpu / w * 100, shown }'
}

echo "start-up to the end of first-show initialisation; idle CPU over ${seconds} s"
tray_on
measure "no device, hidden in the tray" xvfb
tray_off
measure "no device, no tray (window shown)" xvfb
measure "no device, offscreen" offscreen
tray_on
measure "virtual mouse, tray" xvfb --virtual
