#!/usr/bin/env bash
# Builds gmd-gallery and renders the control gallery (tests/ui/skin/gallery.xml, every control
# class in one window) to a PNG, under Xvfb when xvfb-run exists, else offscreen. Prints the
# PNG's path.
#   scripts/gallery.sh [FILE.png] [further gmd-gallery options, e.g. --size 1200x800]
# The build folder is build/ unless GMD_BUILD_DIR names another.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${GMD_BUILD_DIR:-build}
out=$build/gallery.png
if [[ $# -gt 0 && $1 != -* ]]; then
    out=$1
    shift
fi

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    bash scripts/bootstrap.sh
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target gmd-gallery >&2

gallery=("$build/app/gallery/gmd-gallery" --out "$out" "$@")
if command -v xvfb-run >/dev/null 2>&1; then
    xvfb-run -a -s "-screen 0 1920x1200x24" "${gallery[@]}"
else
    QT_QPA_PLATFORM=offscreen "${gallery[@]}"
fi
