#!/usr/bin/env bash
# Starts the wizard under Wine on the demo package. With a display it is yours
# to click through; without one a virtual display is started, the wizard is
# walked once and each page is saved as a PNG.
set -euo pipefail
demo=${1:?} driver=${2:?}
root=$(cd "$(dirname "$0")/.." && pwd)
demo=$(cd "$demo" && pwd)
pristine=$("$root/scripts/wine_prefix.sh" win32)
export WINEDEBUG=-all WINEARCH=win32 WINEPREFIX="$root/build/wine/run-win32"
[ -d "$WINEPREFIX" ] || cp -a "$pristine" "$WINEPREFIX"
if [ -n "${DISPLAY:-}" ]; then
  cd "$demo"
  wine Oriel.exe || true
  exit 0
fi
shots="$root/build/screenshots/run"
rm -rf "$shots"; mkdir -p "$shots"
export ORIEL_EXE=$(winepath -w "$demo/Oriel.exe" | tr -d '\r')
export ORIEL_PACKAGE=$(winepath -w "$demo" | tr -d '\r')
export ORIEL_SCREENSHOTS=$(winepath -w "$shots" | tr -d '\r')
export ORIEL_ARCH=win32
wineserver -k 2>/dev/null || true
xvfb-run -a -s "-screen 0 1024x768x24" wine "$driver" --gtest_filter='Walk.*' --gtest_color=no | tr -d '\r'
wineserver -k 2>/dev/null || true
echo "run: screenshots of each page in $shots:"
ls -1 "$shots"
