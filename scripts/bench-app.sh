#!/usr/bin/env bash
# Start-up, flicker, memory and idle CPU of the desktop application, side by side in one run
# with a bare Qt Widgets window (bench/bare_window) started the same way:
#   1. no device, a tray host (Xvfb): the window opens on the no-device page
#   2. the same started with --hidden: the window waits in the tray
#   3. no device, no tray: the window stays shown (Xvfb)
#   4. no device, no display (offscreen)
#   5. the virtual mouse attached, window in front (Xvfb with the tray host)
# For each: the time from exec to the first frame of the window on screen (its debug trace line;
# "-" where the window rightly stays in the tray) and to the end of first-show initialisation,
# the first frame against the bare window's in the same setting, how often the window was shown
# (1 is right; more is a flicker), the file-status calls during start-up (strace, a separate
# start), the resident memory once idle (VmRSS) and the idle CPU of all threads over SECONDS
# (default 30) as % of one core. Then the skin chooser: the click on its button to its first
# frame (skin_chooser_bench, offscreen).
# Targets: first frame within 300 ms and within 5x the bare window; one show; idle resident
# memory under 60 MB; idle CPU under 0.5 % of one core; skin chooser under 200 ms.
#   scripts/bench-app.sh [SECONDS]
# Builds optimised into build-release/. Runs with a scratch home folder. The X server and the
# tray host are started beforehand, so their start is not counted.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
bash scripts/bootstrap.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DGMD_BUILD_TESTS=OFF >/dev/null
cmake --build build-release --target gaming-mouse-driver gmd_skin bare_window \
    skin_chooser_bench >&2
app=$PWD/build-release/app/gaming-mouse-driver
bare=$PWD/build-release/bench/bare_window
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

now_ns() { date +%s%N; }

# start_env SCRATCH PLATFORM: the environment of one start
start_env() {
    local scratch=$1 platform=$2
    run_env=(HOME="$scratch" XDG_CONFIG_HOME="$scratch/.config" XDG_RUNTIME_DIR="$scratch"
             GMD_DEBUG_FILE="$scratch/trace.log")
    if [[ $platform == xvfb ]]; then
        run_env+=(DISPLAY="$display" QT_QPA_PLATFORM=xcb)
    else
        run_env+=(QT_QPA_PLATFORM=offscreen)
    fi
}

# wait_for FILE TEXT START_NS: prints the ms from START_NS until TEXT shows in FILE, or "" after
# the time limit (10 s)
wait_for() {
    local file=$1 text=$2 start=$3
    for _ in $(seq 5000); do
        if grep -qF "$text" "$file" 2>/dev/null; then
            echo $((($(now_ns) - start) / 1000000))
            return
        fi
        sleep 0.002
    done
    echo ""
}

# bare_first_frame PLATFORM: ms from exec to the bare window's first frame
bare_first_frame() {
    local scratch start pid ms
    scratch=$(mktemp -d)
    start_env "$scratch" "$1"
    start=$(now_ns)
    env "${run_env[@]}" "$bare" >/dev/null 2>&1 &
    pid=$!
    ms=$(wait_for "$scratch/trace.log" "first frame shown" "$start")
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    rm -rf "$scratch"
    echo "${ms:-?}"
}

# stat_calls PLATFORM SHOWN ARGS...: file-status calls of one start, up to the end of first-show
# initialisation and, where the window comes on screen, its first frame
stat_calls() {
    local platform=$1 shown=$2
    shift 2
    local scratch pid
    scratch=$(mktemp -d)
    start_env "$scratch" "$platform"
    env "${run_env[@]}" strace -f -qq -o "$scratch/strace.log" \
        -e trace=stat,lstat,fstat,newfstatat,statx,access,faccessat,faccessat2 \
        "$app" "$@" >/dev/null 2>&1 &
    pid=$!
    wait_for "$scratch/trace.log" "first-show initialisation done" "$(now_ns)" >/dev/null
    if [[ $shown == yes ]]; then
        wait_for "$scratch/trace.log" "window: first frame shown" "$(now_ns)" >/dev/null
    fi
    pkill -TERM -P "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    grep -vc -e '+++ exited' -e '--- SIG' "$scratch/strace.log" || true
    rm -rf "$scratch"
}

# measure LABEL PLATFORM SHOWN ARGS...: one line of the table; SHOWN is "yes" where the window
# should come on screen
measure() {
    local label=$1 platform=$2 shown=$3
    shift 3
    local bare_ms calls
    bare_ms=$(bare_first_frame "$platform")
    calls=$(stat_calls "$platform" "$shown" "$@")

    local scratch start pid
    scratch=$(mktemp -d)
    start_env "$scratch" "$platform"
    local trace=$scratch/trace.log
    start=$(now_ns)
    env "${run_env[@]}" "$app" "$@" >/dev/null 2>&1 &
    pid=$!
    local init_ms frame_ms="-"
    init_ms=$(wait_for "$trace" "first-show initialisation done" "$start")
    if [[ -z $init_ms ]]; then
        echo "$label: the application did not start (trace: $trace)" >&2
        kill "$pid" 2>/dev/null || true
        return 1
    fi
    if [[ $shown == yes ]]; then
        frame_ms=$(wait_for "$trace" "window: first frame shown" "$start")
        frame_ms=${frame_ms:-?}
    fi
    sleep 2  # let the first timers and the device read-out pass
    local shows before after rss
    shows=$(grep -c "^window: shown (" "$trace" || true)
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status")
    before=$(cpu_ticks "$pid")
    sleep "$seconds"
    after=$(cpu_ticks "$pid")
    kill -TERM "$pid"
    wait "$pid" 2>/dev/null || true
    rm -rf "$scratch"
    awk -v l="$label" -v f="$frame_ms" -v i="$init_ms" -v b="$bare_ms" -v n="$shows" \
        -v c="$calls" -v r="$rss" -v d=$((after - before)) -v t="$ticks" -v w="$seconds" \
        'BEGIN {
             ratio = (f ~ /^[0-9]+$/ && b ~ /^[0-9]+$/ && b > 0) ? sprintf("%.1fx", f / b) : "-"
             printf "%-34s %6s %6s %6s %6s %5s %8s %6.1f %7.2f\n", l, f, i, b, ratio, n, c,
                    r / 1024, d / t / w * 100
         }'
}

echo "start-up in ms from exec; stat calls up to the first frame; memory once idle; idle CPU over ${seconds} s"
printf "%-34s %6s %6s %6s %6s %5s %8s %6s %7s\n" "" "frame" "init" "bare" "ratio" "shows" \
    "stats" "RSS MB" "CPU %"
tray_on
measure "no device, tray (window shown)" xvfb yes
measure "no device, --hidden, in the tray" xvfb no --hidden
tray_off
measure "no device, no tray (window shown)" xvfb yes
measure "no device, offscreen" offscreen yes
tray_on
measure "virtual mouse, tray" xvfb yes --virtual
tray_off

echo
echo "skin chooser, click to first frame (offscreen):"
"$PWD/build-release/bench/skin_chooser_bench" --benchmark_format=console 2>/dev/null |
    grep -o "first_open_ms=[^ ]*\|later_median_ms=[^ ]*\|worst_ms=[^ ]*" | tr '\n' ' '
echo
