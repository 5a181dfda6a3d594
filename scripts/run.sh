#!/usr/bin/env bash
# Starts the wizard under Wine on the demo package. With a display it is yours
# to click through; without one a virtual display is started, the wizard is
# walked once inside Wine's virtual desktop (which draws window frames) and
# each page is saved as a PNG cropped to its window.
# Runs the shipped 32-bit exe where 32-bit code runs here, natively or under
# qemu-i386 (make runs this through scripts/with_32bit.sh), else the 64-bit
# build of the same sources (scripts/wine_env.sh).
# ORIEL_DPI (96, 144, 192; default 96) sets the display's DPI (LogPixels),
# with a desktop and screen large enough for the pages at that scale.
#   scripts/run.sh DEMO_DIR
set -euo pipefail
demo=${1:?usage: run.sh DEMO_DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine_env.sh"
oriel_can_run_32bit || true
target=$(oriel_default_target)
build="$root/$(oriel_target_build "$target")"
if [ "$target" = win64 ]; then
  echo "run: 32-bit code does not run here (${ORIEL_RUN32_WHY:-}); running the 64-bit test build ($build/Oriel.exe)"
else
  echo "run: running the shipped 32-bit build ($build/Oriel.exe); $(oriel_32bit_mode_line)"
fi
"$root/scripts/demo_package.sh" "$demo" "$build/Oriel.exe"
demo=$(cd "$demo" && pwd)
oriel_use_target "$target"
pristine=$("$root/scripts/wine_prefix.sh" "$ORIEL_PREFIX_ARCH")
export WINEDEBUG=-all WINEPREFIX="$root/build/wine/run-$target"
# Kept between runs, for the clicks' traces; made anew with the pristine one.
if ! cmp -s "$pristine/.oriel-stamp" "$WINEPREFIX/.oriel-stamp"; then
  rm -rf "$WINEPREFIX"
  cp -a "$pristine" "$WINEPREFIX"
  # On your own display the windows are ordinary X windows, not inside the
  # virtual desktop the test prefixes use.
  "$WINE" reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1
  "$WINESERVER" -w
fi
if [ -n "${DISPLAY:-}" ]; then
  cd "$demo"
  "$WINE_APP" Oriel.exe || true
  exit 0
fi
# The walk's own prefix, inside a virtual desktop: without a window manager
# the windows would have no frames.
export WINEPREFIX="$root/build/wine/walk-$target"
rm -rf "$WINEPREFIX"
cp -a "$pristine" "$WINEPREFIX"
"$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Walk /f >/dev/null 2>&1
dpi=${ORIEL_DPI:-96}
desktop="$((800 * dpi / 96))x$((600 * dpi / 96))"
"$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Walk /t REG_SZ /d "$desktop" /f >/dev/null 2>&1
"$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
screen="$((1024 * dpi / 96))x$((768 * dpi / 96))x24"
shots="$root/build/screenshots/run"
[ "$dpi" = 96 ] || shots="$shots-$dpi"
rm -rf "$shots"; mkdir -p "$shots"
export ORIEL_EXE=$(oriel_winepath "$demo/Oriel.exe")
export ORIEL_PACKAGE=$(oriel_winepath "$demo")
export ORIEL_SCREENSHOTS=$(oriel_winepath "$shots")
export ORIEL_ARCH=$target ORIEL_SCREENSHOT_CROP=1
oriel_wineserver_stop
status=0
xvfb-run -a -s "-screen 0 $screen" "$WINE_APP" "$build/oriel_e2e.exe" --gtest_filter='Walk.*' --gtest_color=no |
  tr -d '\r' || status=$?
oriel_wineserver_stop
echo "run: screenshots of each page in $shots:"
ls -1 "$shots"
exit $status
