#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running need (trayer: a tray host
# for the desktop-session test and the benchmark under Xvfb; openbox, xdotool and x11-utils: a
# window manager, clicks and xprop for the desktop-session test of maximise and restore;
# qt6-translations-l10n: Qt's own texts in Chinese; desktop-file-utils and appstream validate
# the installed menu entry and metainfo). Idempotent: when all are present
# it only checks; it runs apt-get update only when something is missing.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    qt6-base-dev qt6-svg-dev libgl-dev fonts-dejavu-core fonts-wqy-microhei
    libxcb1-dev libxcb-res0-dev xvfb xauth trayer openbox xdotool x11-utils
    qt6-translations-l10n
    desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "bootstrap: installing ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
