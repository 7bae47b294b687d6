#!/usr/bin/env bash
# Takes docs/screenshot.png: builds MXRView, starts it in demo mode as a new user would (a fresh
# demo folder with sample data) under a virtual X server with no desktop, grabs the screen and
# ends the program normally. Needs xvfb-run (package xvfb) and import (package imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${MXR_BUILD_DIR:-build-release}
OUT=${1:-docs/screenshot.png}
WIDTH=1024
HEIGHT=720

for tool in xvfb-run import xwininfo; do
  command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is missing (apt-get install xvfb imagemagick x11-utils)" >&2; exit 1; }
done

if [ ! -x "$BUILD/src/app/MXRView" ] || [ "${MXR_SKIP_BUILD:-0}" != 1 ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMXR_BUILD_TESTS=OFF -DMXR_BUILD_BENCH=OFF >/dev/null
  cmake --build "$BUILD" -j "$(nproc)" --target MXRView >/dev/null
fi

HOME_DIR=$(mktemp -d)
# A bare X server has no window manager to place the window: the stored placement puts it in
# the top-left corner at the size of the picture.
printf '[Window]\r\nPlacement=0 , 1 , -1 , -1 , -1 , -1 , 0 , 0 , %d , %d\r\n' "$WIDTH" "$HEIGHT" \
  > "$HOME_DIR/MXRView.INI"

SHOT=$(mktemp --suffix=.png)
trap 'rm -rf "$HOME_DIR" "$SHOT"' EXIT
export MXR_EXE="$ROOT/$BUILD/src/app/MXRView" MXR_HOME="$HOME_DIR" MXR_OUT="$SHOT"
export MXR_SIZE="${WIDTH}x${HEIGHT}"
mkdir -p "$(dirname "$OUT")"
# No desktop session: the program must look right with Qt's own style and the IPA fonts.
# xvfb-run -a can pick a display another job grabs at the same moment: try up to three times.
shoot() {
  env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u QT_QPA_PLATFORMTHEME -u QT_QPA_PLATFORM \
    xvfb-run -a -s "-screen 0 ${WIDTH}x${HEIGHT}x24" bash -c '
  set -euo pipefail
  "$MXR_EXE" --demo="$MXR_HOME" & pid=$!
  # Wait (at most 30 s) until the main window is mapped, then let it paint.
  for _ in $(seq 300); do
    if xwininfo -root -tree 2>/dev/null | grep -q "マクセラテスタ"; then break; fi
    kill -0 "$pid" 2>/dev/null || { echo "MXRView ended early" >&2; exit 1; }
    sleep 0.1
  done
  sleep 1
  import -window root -crop "${MXR_SIZE}+0+0" +repage "$MXR_OUT"
  kill -TERM "$pid"
  wait "$pid" || true
'
}
for attempt in 1 2 3; do
  rm -f "$MXR_OUT"
  if shoot && [ -s "$MXR_OUT" ]; then
    cp "$MXR_OUT" "$OUT"
    echo "wrote $OUT"
    exit 0
  fi
  echo "screenshot.sh: attempt $attempt failed" >&2
  rm -rf "${HOME_DIR:?}"/* && printf '[Window]\r\nPlacement=0 , 1 , -1 , -1 , -1 , -1 , 0 , 0 , %d , %d\r\n' "$WIDTH" "$HEIGHT" > "$HOME_DIR/MXRView.INI"
done
exit 1
