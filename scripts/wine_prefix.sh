#!/usr/bin/env bash
# Makes the pristine Wine prefix for an architecture (win32 or win64) once and
# prints its path. Cases work on copies of it, so a test never sees another
# test's printers, drivers or registry values. Its stamp records what it was
# made with; a prefix made with another Wine, or before (or without) 32-bit
# Wine, whose 64-bit prefix then lacks the WOW64 half, is made anew.
set -euo pipefail
arch=${1:?usage: wine_prefix.sh win32|win64}
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine_env.sh"
prefix="$root/build/wine/pristine-$arch"
stamp="$prefix/.oriel-stamp"
export WINEDEBUG=-all
# Cheap enough for every case: the loaders' and ntdll's sizes and times name
# the Wine build, and the source names where 32-bit Wine comes from.
made_with() {
  local file
  echo "oriel prefix 5 $arch"
  echo "32-bit Wine: $(oriel_wine32_source)"
  for file in /usr/lib/wine/wine64 /usr/lib/wine/wine /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/ntdll.dll \
              /usr/lib/i386-linux-gnu/wine/i386-windows/ntdll.dll /usr/share/wine/fonts/marlett.ttf; do
    stat -L -c '%n %s %Y' "$file" 2>/dev/null || echo "$file missing"
  done
}
mkdir -p "$(dirname "$prefix")"
# Runs side by side may ask for the same prefix at once: one makes it.
exec 9>"$prefix.lock"
flock 9
# A 64-bit prefix booted where 32-bit code could not run (outside
# scripts/with_32bit.sh, or ORIEL_NO_32BIT=1) has an empty syswow64 though its
# stamp names 32-bit Wine: where 32-bit code runs now, it is made anew.
lacks_wow64() {
  [ "$arch" = win64 ] && [ -f "$stamp" ] && case ${ORIEL_RUN32:-} in native | emulated) true ;; *) false ;; esac &&
    [ ! -s "$prefix/drive_c/windows/syswow64/kernel32.dll" ]
}
if [ "$(grep -v '^#' "$stamp" 2>/dev/null)" != "$(made_with)" ] || lacks_wow64; then
  [ -f "$stamp" ] && echo "wine_prefix: $prefix was made with another Wine, or without its WOW64 half; making it anew" >&2
  rm -rf "$prefix"
  # The prefix's own programs are native to it; a 64-bit one needs no 32-bit code.
  if [ "$arch" = win32 ]; then oriel_use_target win32; else oriel_use_target win64; fi
  export WINEPREFIX="$prefix"
  echo "wine_prefix: creating $prefix" >&2
  # Bounded: an emulator that cannot carry Wine may hang here rather than fail.
  if ! timeout 600 "$WINE" wineboot -i >/dev/null 2>&1; then
    echo "wine_prefix: wineboot failed for $prefix" >&2
    exit 1
  fi
  # The templates ask for 宋体; map it to the CJK font the machine has so the
  # Chinese texts render.
  for face in '宋体' 'SimSun' 'NSimSun'; do
    LC_ALL=C.UTF-8 "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ \
      /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
  done
  # Caption buttons and combo-box arrows are glyphs of Marlett (fonts-wine);
  # this Wine does not find its own copy, so the prefix gets one.
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
  fi
  # Windows always has the key that holds the default printer; a new Wine
  # prefix does not, and Oriel leaves a missing key alone.
  "$WINE" reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows' /f >/dev/null 2>&1
  # Windows inside Wine's virtual desktop. Without a window manager, Wine's
  # X11 driver waits about 2 s for one each time a top-level window hides;
  # inside the desktop the windows are not X11 top-levels and hide at once.
  "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 /f >/dev/null 2>&1
  "$WINESERVER" -w
  { made_with; echo "# $("$WINE" --version 2>&1)"; } >"$stamp"
fi
echo "$prefix"
