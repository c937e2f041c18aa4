#!/usr/bin/env bash
# Builds the project and starts the desktop application on the built-in virtual mouse.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target gaming-mouse-driver gmdctl
exec build/app/gaming-mouse-driver --virtual
