#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test. Non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
BUILD=${MXR_BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD" --output-on-failure -j "$(nproc)" --timeout 600
# Short fuzzing runs of the readers when clang is there.
if command -v clang++ >/dev/null && [ -f tests/fuzz/CMakeLists.txt ]; then
  ./scripts/fuzz.sh 20
fi
# The Debian package is built and checked only on request (it is a second, Release build):
#   MXR_TEST_PACKAGE=1 ./test.sh
if [ "${MXR_TEST_PACKAGE:-0}" = 1 ]; then
  deb=$(./scripts/package.sh | tail -n 1)
  MXR_PACKAGE_TEST_DEB="$deb" ctest --test-dir "$BUILD" -L package --output-on-failure
fi
