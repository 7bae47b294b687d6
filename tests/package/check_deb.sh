#!/usr/bin/env bash
# Checks a built package: unpacks it into a temporary root and runs both programs from there
# (version, a store dump of a fixture, MXRView started offscreen and closed), then validates
# the desktop entry and the AppStream metadata where their tools are installed.
# Exit 77 (skipped) when no package is named or dpkg-deb is missing.
set -euo pipefail
DEB=${MXR_PACKAGE_TEST_DEB:-}
FIXTURE=$1
VERSION=$2
if [ -z "$DEB" ]; then
  echo "SKIP: set MXR_PACKAGE_TEST_DEB to a package made by scripts/package.sh"
  exit 77
fi
command -v dpkg-deb >/dev/null || { echo "SKIP: dpkg-deb is missing"; exit 77; }
[ -f "$DEB" ] || { echo "FAIL: no file $DEB"; exit 1; }

ROOT=$(mktemp -d)
trap 'rm -rf "$ROOT"' EXIT
dpkg-deb -x "$DEB" "$ROOT"
fail() { echo "FAIL: $*"; exit 1; }

[ "$(dpkg-deb -f "$DEB" Package)" = mxrview ] || fail "package name"
[ "$(dpkg-deb -f "$DEB" Version)" = "$VERSION" ] || fail "package version"
depends=$(dpkg-deb -f "$DEB" Depends)
for dep in libqt6widgets6 fonts-ipafont-gothic qt6-translations-l10n libc6; do
  [[ $depends == *"$dep"* ]] || fail "Depends lacks $dep: $depends"
done
for f in usr/bin/MXRView usr/bin/mxrtool usr/share/applications/mxrview.desktop \
         usr/share/icons/hicolor/scalable/apps/mxrview.svg \
         usr/share/icons/hicolor/48x48/apps/mxrview.png \
         usr/share/metainfo/org.mxrview.MXRView.metainfo.xml \
         usr/share/man/man1/MXRView.1.gz usr/share/man/man1/mxrtool.1.gz \
         usr/share/bash-completion/completions/mxrtool usr/share/doc/mxrview/copyright; do
  [ -f "$ROOT/$f" ] || fail "missing /$f"
done

[ "$("$ROOT/usr/bin/MXRView" --version)" = "MXRView $VERSION" ] || fail "MXRView --version"
[ "$("$ROOT/usr/bin/mxrtool" --version)" = "mxrtool $VERSION" ] || fail "mxrtool --version"
[ "$("$ROOT/usr/bin/mxrweb" --version)" = "mxrweb $VERSION" ] || fail "mxrweb --version"
for f in lib/systemd/system/mxrweb.service etc/mxrweb/mxrweb.conf; do
  [ -f "$ROOT/$f" ] || fail "missing /$f"
done
grep -q '^User=mxrweb$' "$ROOT/lib/systemd/system/mxrweb.service" || fail "mxrweb.service user"
dump=$("$ROOT/usr/bin/mxrtool" store dump "$FIXTURE")
[[ $dump == *'"customers"'* ]] || fail "store dump: $dump"

# MXRView starts, writes its settings and ends normally at SIGTERM.
HOME_DIR="$ROOT/home"
QT_QPA_PLATFORM=offscreen "$ROOT/usr/bin/MXRView" --home "$HOME_DIR" >/dev/null 2>&1 &
pid=$!
for _ in $(seq 300); do
  grep -q "RunningNum=0" "$HOME_DIR/MXRView.INI" 2>/dev/null && break
  kill -0 "$pid" 2>/dev/null || fail "MXRView ended early"
  sleep 0.1
done
grep -q "RunningNum=0" "$HOME_DIR/MXRView.INI" || fail "MXRView did not start"
kill -TERM "$pid"
wait "$pid" || fail "MXRView exit status $?"
grep -q "RunningNum=15685" "$HOME_DIR/MXRView.INI" || fail "MXRView did not exit normally"

# The desktop entry's Exec line, as the menu runs it: a program of the package, found on the
# PATH, started with the user's default application folder.
exec_line=$(sed -n '/^\[Desktop Entry\]/,/^\[/{s/^Exec=//p}' \
  "$ROOT/usr/share/applications/mxrview.desktop" | head -n 1)
read -r -a exec_words <<<"${exec_line//%[fFuU]/}"
[ -x "$ROOT/usr/bin/${exec_words[0]}" ] || fail "desktop Exec names no program of the package"
DESK_HOME="$ROOT/desktop-home"
mkdir -p "$DESK_HOME"
HOME="$DESK_HOME" PATH="$ROOT/usr/bin:$PATH" QT_QPA_PLATFORM=offscreen MXRVIEW_HOME= \
  "${exec_words[@]}" >/dev/null 2>&1 &
pid=$!
DESK_INI="$DESK_HOME/.local/share/MXRView/MXRView.INI"
for _ in $(seq 300); do
  grep -q "RunningNum=0" "$DESK_INI" 2>/dev/null && break
  kill -0 "$pid" 2>/dev/null || fail "the desktop entry's program ended early"
  sleep 0.1
done
grep -q "RunningNum=0" "$DESK_INI" || fail "the desktop entry's program did not start"
kill -TERM "$pid"
wait "$pid" || fail "the desktop entry's program: exit status $?"

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$ROOT/usr/share/applications/mxrview.desktop" || fail "desktop entry"
else
  echo "note: desktop-file-validate is not installed; desktop entry not validated"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$ROOT/usr/share/metainfo/org.mxrview.MXRView.metainfo.xml" \
    || fail "AppStream metadata"
else
  echo "note: appstreamcli is not installed; metadata not validated"
fi
echo "package $DEB checked"
