#!/usr/bin/env bash
# Renders every page of the main window (on the built-in virtual mouse) to PNG files under
# Xvfb, with a scratch home folder so your own settings are neither used nor touched.
#   scripts/screenshots.sh [OUT_DIR] [--lang en|cn]     (default OUT_DIR: docs/screenshots)
# The build folder is build/ unless GMD_BUILD_DIR names another.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${GMD_BUILD_DIR:-build}
out=docs/screenshots
if [[ $# -gt 0 && $1 != -* ]]; then
    out=$1
    shift
fi

bash scripts/bootstrap.sh
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target gmd-screenshots gmd_skin >&2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$out"
out=$(cd "$out" && pwd)
HOME=$scratch XDG_CONFIG_HOME=$scratch/.config XDG_RUNTIME_DIR=$scratch \
    xvfb-run -a -s "-screen 0 1280x800x24" \
    "$build/app/screenshots/gmd-screenshots" --out "$out" "$@"
