#!/usr/bin/env bash
# Start-up time to the main window's first paint, with an empty store and with a 100 MB store
# (2,000 records of 2,500 points), each started REPS times in turn offscreen; prints every run,
# the medians and their ratio. Uses the MXRView and bench_store of an existing build folder.
#   scripts/startup_bench.sh [BUILD_DIR] [REPS]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
REPS=${2:-9}
EXE=$BUILD/src/app/MXRView
GEN=$BUILD/bench/bench_store
for f in "$EXE" "$GEN"; do
  [ -x "$f" ] || { echo "startup_bench.sh: $f is missing (build MXRView and bench_store)" >&2; exit 1; }
done

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/empty" "$WORK/large/DATA"
MXR_BENCH_STORE_OUT="$WORK/large/DATA/MXR.DAT" "$GEN"
echo "store: $(stat -c %s "$WORK/large/DATA/MXR.DAT") bytes"

# One start: the program prints the milliseconds from main() to the first paint and ends
# without saving, so the folder stays as prepared.
start() {
  QT_QPA_PLATFORM=offscreen MXRVIEW_FIRST_PAINT_EXIT=1 "$EXE" --home "$1" 2>/dev/null |
    awk '/^first-paint-ms/ { print $2 }'
}

start "$WORK/empty" >/dev/null # warm the file cache and the fonts once
start "$WORK/large" >/dev/null
empty=() large=()
for ((i = 0; i < REPS; i++)); do
  empty+=("$(start "$WORK/empty")")
  large+=("$(start "$WORK/large")")
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
me=$(median "${empty[@]}")
ml=$(median "${large[@]}")
echo "empty store runs (ms): ${empty[*]}"
echo "100 MB store runs (ms): ${large[*]}"
awk -v e="$me" -v l="$ml" 'BEGIN { printf "first paint median: empty %.1f ms, 100 MB store %.1f ms, ratio %.2f\n", e, l, l / e }'
