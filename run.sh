#!/usr/bin/env bash
# Installs what is missing, builds MXRView (Release) and starts it; arguments go to the program.
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")"
root=$PWD
MXR_WITH_FUZZ=0 ./scripts/deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMXR_BUILD_TESTS=OFF -DMXR_BUILD_BENCH=OFF >/dev/null
cmake --build build-release -j "$(nproc)" --target MXRView
# Started from the caller's folder, so that a relative FILE or --home DIR means what was typed.
cd "$caller"
exec "$root/build-release/src/app/MXRView" "$@"
