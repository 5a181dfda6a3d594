#!/usr/bin/env bash
# What an end-to-end case needs of the machine that the Wine-side driver
# cannot do itself. Run by e2e.sh after the case's prefix is fresh; prints at
# most one line, which e2e.sh passes to the driver as ORIEL_CASE_SETUP:
#   mounted DIR         a small tmpfs now lies over DIR
#   no virtual desktop  the case runs outside Wine's virtual desktop
#   held DIR            the copy of uniDRV.DLL into the driver directory waits
#                       (scripts/hold_copy.py): DIR (a Windows path) gets
#                       "copying" once it waits; the case puts the bytes the
#                       copy is to leave in DIR\content, then DIR\release
#   skipped: <reason>   the set-up could not be made; the case skips with it
# Cases whose name contains "FullDisk" get a 16 KiB tmpfs over the driver
# directory of the target's spooler environment, so a copy fails with 112.
# Cases whose name contains "HeldCopy" get that held copy.
# Cases whose name contains "CaptionIcons" run outside the virtual desktop:
# there each top-level window is an X window, and X holds its icons.
#   scripts/e2e_case_setup.sh PREFIX TARGET CASE_NAME
set -uo pipefail
prefix=${1:?usage: e2e_case_setup.sh PREFIX TARGET CASE_NAME} target=${2:?} name=${3:?}

say() {
  echo "$1"
  echo "e2e_case_setup $name: $1" >&2
}

case $name in
  *FullDisk* | *HeldCopy*) ;;
  *CaptionIcons*)
    # No Wine process runs yet: the next wineserver reads the file as left here.
    reg="$prefix/user.reg"
    section='/^\[Software\\\\Wine\\\\Explorer\] /,/^$/'
    sed -i "${section}{/^\"Desktop\"=/d}" "$reg" 2>/dev/null
    if [ -f "$reg" ] && ! sed -n "${section}p" "$reg" | grep -q '^"Desktop"='; then
      say "no virtual desktop"
    else
      say "skipped: could not remove the virtual desktop from $reg"
    fi
    exit 0 ;;
  *) exit 0 ;;
esac
# GetPrinterDriverDirectoryA: "Windows NT x86" for the 32-bit build in a
# 32-bit prefix, "Windows x64" where the x64 package is installed.
case $target in
  win32) environment=w32x86 ;;
  win64 | wow64) environment=x64 ;;
  *) say "skipped: unknown run target '$target'"; exit 0 ;;
esac
dir="$prefix/drive_c/windows/system32/spool/drivers/$environment"
if [ ! -d "$dir" ]; then
  say "skipped: the prefix has no driver directory $dir"
  exit 0
fi
case $name in
  *HeldCopy*)
    hold="$prefix/drive_c/oriel-hold"
    mkdir -p "$hold"
    # Detached, its output away from e2e.sh's capture of this script's;
    # e2e_case_teardown.sh ends it by the id it leaves here.
    setsid python3 "$(dirname "$0")/hold_copy.py" "$dir/uniDRV.DLL" "$hold" \
      </dev/null >/dev/null 2>"$hold/hold_copy.log" &
    echo $! >"$prefix/oriel-hold.pid"
    for _ in $(seq 100); do [ -p "$dir/uniDRV.DLL" ] && break; sleep 0.05; done
    if [ -p "$dir/uniDRV.DLL" ]; then say 'held C:\oriel-hold'
    else say "skipped: no FIFO at $dir/uniDRV.DLL ($(cat "$hold/hold_copy.log"))"; fi
    exit 0 ;;
esac
if [ "$(id -u)" != 0 ]; then
  say "skipped: mounting a tmpfs needs root, and this runs as $(id -un)"
  exit 0
fi
if ! error=$(mount -t tmpfs -o size=16k tmpfs "$dir" 2>&1); then
  say "skipped: mount -t tmpfs refused here (${error:-no reason given})"
  exit 0
fi
say "mounted $dir"
