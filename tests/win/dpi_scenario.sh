#!/usr/bin/env bash
# The window tests' DPI cases (DpiTest.*) at 120, 144 and 192 DPI. Wine takes
# the system DPI from HKCU\Control Panel\Desktop\LogPixels when its server
# starts, so the cases run in a copy of the X11 prefix whose LogPixels is set
# before each run, on an X display of their own that holds the main window at
# 192 DPI (the headless driver's screen is 1024x768).
#   dpi_scenario.sh BIN_DIR WINEPREFIX OUT_DIR
set -euo pipefail
BIN=$(cd "$1" && pwd)
BASE=$2
mkdir -p "$3"
OUT=$(cd "$3" && pwd)
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
[ -f "$BASE/.tarvenix-ready-2" ] || { echo "no Wine prefix at $BASE (./dev.sh prefixes): skipped" >&2; exit 77; }
command -v Xvfb >/dev/null || { echo "no Xvfb: skipped" >&2; exit 77; }

PREFIX=$OUT/wine-dpi
XVFB_PID=
cleanup() {
  WINEPREFIX=$PREFIX wineserver -k 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$PREFIX"
}
trap cleanup EXIT

for n in $(seq 150 170); do
  if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then
    Xvfb :$n -screen 0 2048x1536x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    break
  fi
done
[ -n "$XVFB_PID" ] || { echo "cannot start Xvfb" >&2; exit 1; }

rm -rf "$PREFIX"
cp -a "$BASE" "$PREFIX"
export WINEPREFIX=$PREFIX WINEDEBUG=-all
failed=
for dpi in 120 144 192; do
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n' "$dpi" >"$PREFIX/dpi.reg"
  # The server reads LogPixels when it starts: let the previous one end first.
  wineserver -k 2>/dev/null || true
  wineserver -w
  wine regedit /S "$PREFIX/dpi.reg" </dev/null >/dev/null 2>&1
  wineserver -w
  echo "== $dpi DPI"
  TARVENIX_EXPECT_DPI=$dpi "$ROOT/cmake/wine-run.sh" "$BIN/win_tests.exe" --gtest_filter='DpiTest.*' || failed="$failed $dpi"
done
[ -z "$failed" ] || { echo "DPI cases failed at:$failed" >&2; exit 1; }
