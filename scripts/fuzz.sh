#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# over its seed corpus. The Qt parts are configured so that the report target can link the
# report library; only the fuzz targets and what they need are built.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-20}
BUILD=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
  -DMXR_FUZZ=ON -DMXR_BUILD_GUI=ON -DMXR_BUILD_TESTS=ON -DMXR_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target mxr_fuzz_all
for target in "$BUILD"/tests/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue # not the autogen folders
  name=$(basename "$target")
  corpus="tests/fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  echo "fuzzing $name for ${SECONDS_EACH}s"
  QT_QPA_PLATFORM=offscreen "$target" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 -print_final_stats=0 "$work" 2>&1 | tail -n 3
  rm -rf "$work"
done
