#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop expects to find there:
# nothing outside the prefix, the menu entry, the icon, the AppStream file and the udev rule,
# each valid where a validator is installed.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail=0

cmake --install "$build" --prefix "$prefix" >/dev/null
manifest=$build/install_manifest.txt
[[ -s $manifest ]] || { echo "no install manifest"; exit 1; }
while IFS= read -r file; do
    if [[ $file != "$prefix"/* ]]; then
        echo "installed outside the prefix: $file"
        fail=1
    fi
done <"$manifest"

expected=(
    bin/gaming-mouse-driver
    bin/gmdctl
    share/applications/gaming-mouse-driver.desktop
    share/icons/hicolor/scalable/apps/gaming-mouse-driver.svg
    share/metainfo/gaming-mouse-driver.metainfo.xml
    lib/udev/rules.d/70-gaming-mouse-driver.rules
)
for f in "${expected[@]}"; do
    if [[ ! -s $prefix/$f ]]; then
        echo "not installed: $f"
        fail=1
    fi
done

# The icon name must resolve to the installed icon, the command to the installed program.
desktop=$prefix/share/applications/gaming-mouse-driver.desktop
if [[ -f $desktop ]]; then
    grep -qx 'Icon=gaming-mouse-driver' "$desktop" || { echo "icon name differs"; fail=1; }
    grep -qx 'Exec=gaming-mouse-driver' "$desktop" || { echo "Exec differs"; fail=1; }
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$desktop" || fail=1
    fi
fi
metainfo=$prefix/share/metainfo/gaming-mouse-driver.metainfo.xml
if [[ -f $metainfo ]] && command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$metainfo" >/dev/null || {
        appstreamcli validate --no-net "$metainfo"
        fail=1
    }
fi
exit $fail
