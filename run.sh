#!/usr/bin/env bash
# Installs what is missing, builds MXRView (Release) and starts it; arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")"
MXR_WITH_FUZZ=0 ./scripts/deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMXR_BUILD_TESTS=OFF -DMXR_BUILD_BENCH=OFF >/dev/null
cmake --build build-release -j "$(nproc)" --target MXRView
exec ./build-release/src/app/MXRView "$@"
