# Sourced by the scripts that run Wine. A run target names an exe build and a
# prefix:
#   win32  the shipped 32-bit exe in a 32-bit prefix
#   wow64  the shipped 32-bit exe in a 64-bit prefix (WOW64)
#   win64  the 64-bit test build in a 64-bit prefix
# Some machines refuse 32-bit x86 code ("Exec format error"), Wine's 32-bit
# loader included; there only win64 can run. The wrappers in /usr/bin try the
# 32-bit loader first, so the loaders are called directly.

# Whether this machine runs 32-bit x86 code; probed once and passed on through
# ORIEL_RUN32. ORIEL_NO_32BIT=1 answers no, to exercise the fallback.
oriel_can_run_32bit() {
  if [ "${ORIEL_NO_32BIT:-}" = 1 ]; then
    ORIEL_RUN32=no
  elif [ -z "${ORIEL_RUN32:-}" ]; then
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then ORIEL_RUN32=yes; else ORIEL_RUN32=no; fi
  fi
  export ORIEL_RUN32
  [ "$ORIEL_RUN32" = yes ]
}

# The target to run where the choice is ours: the shipped exe where it can run.
oriel_default_target() {
  if oriel_can_run_32bit; then echo win32; else echo win64; fi
}

# Sets WINEARCH, ORIEL_PREFIX_ARCH (win32/win64), WINE (the loader for the
# prefix's own programs), WINE_APP (the loader for the target's exe) and
# WINESERVER for a run target.
oriel_use_target() {
  case "$1" in
    win32) ORIEL_PREFIX_ARCH=win32 WINE=/usr/lib/wine/wine WINE_APP=/usr/lib/wine/wine ;;
    wow64) ORIEL_PREFIX_ARCH=win64 WINE=/usr/lib/wine/wine64 WINE_APP=/usr/lib/wine/wine ;;
    win64) ORIEL_PREFIX_ARCH=win64 WINE=/usr/lib/wine/wine64 WINE_APP=/usr/lib/wine/wine64 ;;
    *) echo "unknown run target '$1' (win32, wow64 or win64)" >&2; return 1 ;;
  esac
  WINEARCH=$ORIEL_PREFIX_ARCH WINESERVER=/usr/lib/wine/wineserver
  export WINEARCH ORIEL_PREFIX_ARCH WINE WINE_APP WINESERVER
}

# Whether a run target needs 32-bit code.
oriel_target_needs_32bit() { [ "$1" != win64 ]; }

# The cross build folder holding a target's exes.
oriel_target_build() {
  if [ "$1" = win64 ]; then echo build/mingw64; else echo build/mingw; fi
}

oriel_winepath() { "$WINE" winepath.exe -w "$1" 2>/dev/null | tr -d '\r'; }

# The same without starting Wine: a prefix's Z: drive is the Unix root.
oriel_dos_path() {
  local path
  path=$(realpath -m "$1")
  printf 'Z:%s\n' "${path//\//\\}"
}

oriel_wineserver_stop() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
}

# Kills every Wine process of WINEPREFIX, its wineserver included, and
# returns once they are gone. For prefixes about to be thrown away: nothing is
# saved, and it takes milliseconds where `wineserver -k` takes most of a
# second.
oriel_wine_kill() {
  local pid pids=""
  for pid in $(grep -lsxz "WINEPREFIX=$WINEPREFIX" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3); do
    case $(readlink "/proc/$pid/exe" 2>/dev/null) in /usr/lib/wine/*) pids="$pids $pid" ;; esac
  done
  [ -n "$pids" ] || return 0
  kill -9 $pids 2>/dev/null
  for pid in $pids; do
    while [ -e "/proc/$pid" ] && ! grep -qs '^State:[[:space:]]*Z' "/proc/$pid/status"; do sleep 0.005; done
  done
}

# The line printed where the 32-bit runs are skipped.
oriel_skip_32bit_line() {
  echo "skipped: this machine cannot run 32-bit x86 code, so the shipped 32-bit Oriel.exe runs nowhere here; $1"
}
