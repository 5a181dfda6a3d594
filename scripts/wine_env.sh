# Sourced by the scripts that run Wine. A run target names an exe build and a
# prefix:
#   win32  the shipped 32-bit exe in a 32-bit prefix
#   wow64  the shipped 32-bit exe in a 64-bit prefix (WOW64)
#   win64  the 64-bit test build in a 64-bit prefix
# Some machines refuse 32-bit x86 code ("Exec format error"), Wine's 32-bit
# loader included; there only win64 can run. The wrappers in /usr/bin try the
# 32-bit loader first, so the loaders are called directly.

# Wine spells Windows names as Unix ones in the locale's character set, and
# a C locale has nothing beyond ASCII (CreateDirectoryW of "Łask" then fails
# with 2); the prefix's language follows the locale too. Every run, whatever
# the caller's locale, takes the same one.
export LC_ALL=C.UTF-8

# Whether 32-bit x86 code runs here, and how (ORIEL_RUN32):
#   native    the kernel runs it
#   emulated  qemu-i386 runs it, through a binfmt_misc registration private to
#             the namespace scripts/with_32bit.sh made for the command
#   no        it does not run; ORIEL_RUN32_WHY says why
# scripts/with_32bit.sh decides and passes it on. Called outside it, this
# probes the native way alone. ORIEL_NO_32BIT=1 answers no, to exercise the
# fallback.
oriel_can_run_32bit() {
  if [ "${ORIEL_NO_32BIT:-}" = 1 ]; then
    ORIEL_RUN32=no ORIEL_RUN32_WHY="ORIEL_NO_32BIT=1 asks for the 64-bit-only path"
  elif [ -z "${ORIEL_RUN32:-}" ]; then
    if oriel_probe_32bit; then ORIEL_RUN32=native; else ORIEL_RUN32=no; fi
  fi
  export ORIEL_RUN32 ORIEL_RUN32_WHY
  [ "$ORIEL_RUN32" != no ]
}

# Whether a real 32-bit Windows program runs under Wine's 32-bit loader and
# shows a dialog: the 32-bit prefix is made (wineboot, the first 32-bit
# programs) and a tiny 32-bit exe must show a dialog with text, on a display of
# its own, in a throwaway copy of the prefix, and answer. A loader that only
# answers --version proves nothing (an emulator registered machine-wide does
# that and then fails at wineboot), and a console program passes where no
# dialog can be made (no FreeType for Wine's 32-bit side). Sets
# ORIEL_RUN32_WHY when it fails.
oriel_probe_32bit() {
  local root exe pristine run status out display xvfb
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  ORIEL_RUN32_WHY=
  if [ ! -e /usr/lib/wine/wine ]; then
    ORIEL_RUN32_WHY="Wine's 32-bit loader /usr/lib/wine/wine is missing (wine32:i386 is not installed)"
    return 1
  fi
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    ORIEL_RUN32_WHY="Wine's 32-bit loader does not start ($(/usr/lib/wine/wine --version 2>&1 | head -n 1))"
    return 1
  fi
  exe=$("$root/scripts/build_32bit_helpers.sh" probe) || {
    ORIEL_RUN32_WHY="the 32-bit probe program could not be built"
    return 1
  }
  mkdir -p "$root/build/wine"
  if ! pristine=$("$root/scripts/wine_prefix.sh" win32 2>"$root/build/wine/probe-prefix.log"); then
    ORIEL_RUN32_WHY="the 32-bit prefix could not be made: $(tail -n 1 "$root/build/wine/probe-prefix.log")"
    return 1
  fi
  run=$(mktemp -d "$root/build/wine/probe-XXXXXX")
  mkdir -p "$run/upper" "$run/ovl" "$run/prefix"
  if ! mount -t overlay overlay -o "lowerdir=$pristine,upperdir=$run/upper,workdir=$run/ovl" "$run/prefix" \
       2>/dev/null; then
    rm -rf "$run/prefix"
    cp -a "$pristine" "$run/prefix"
  fi
  Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$run/display" >/dev/null 2>"$run/xvfb.log" &
  xvfb=$!
  for _ in $(seq 500); do [ -s "$run/display" ] && break; sleep 0.02; done
  display=$(head -n 1 "$run/display" 2>/dev/null)
  (cd "$run" && DISPLAY=":$display" WINEDEBUG=-all WINEPREFIX="$run/prefix" WINESERVER=/usr/lib/wine/wineserver \
     timeout 120 /usr/lib/wine/wine "$exe" >"$run/out" 2>"$run/err" </dev/null)
  status=$?
  out=$(tr -d '\r' <"$run/out")
  WINEPREFIX="$run/prefix" oriel_wine_kill
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  umount "$run/prefix" 2>/dev/null
  if [ -z "$display" ]; then
    ORIEL_RUN32_WHY="Xvfb did not start for the 32-bit probe ($(tr '\n' ' ' <"$run/xvfb.log" | cut -c1-200))"
  elif [ "$status" != 32 ] || [ "$out" != "32-bit code runs and shows a dialog" ]; then
    ORIEL_RUN32_WHY="a 32-bit dialog could not be shown under Wine's 32-bit loader $(oriel_wine32_source) (status $status: $(tr '\r\n' '  ' <"$run/err" | cut -c1-300)); make deps installs wine32:i386 with its libraries, or where apt cannot, unpacks Debian's i386 Wine with them into ${ORIEL_I386_ROOT:-/var/cache/oriel/i386-root} (delete that folder for make deps to make it anew)"
  fi
  rm -rf "$run"
  [ -z "$ORIEL_RUN32_WHY" ]
}

# Where 32-bit Wine comes from here, for the reports and the prefixes' stamps.
oriel_wine32_source() {
  if [ -n "${ORIEL_I386_ROOT_LAID:-}" ]; then
    echo "from the i386 root $ORIEL_I386_ROOT_LAID"
  elif [ -e /usr/lib/wine/wine ]; then
    echo "from wine32:i386"
  else
    echo "(none)"
  fi
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
    # Emulated 32-bit processes show qemu as their executable.
    case $(readlink "/proc/$pid/exe" 2>/dev/null) in /usr/lib/wine/* | */qemu-i386) pids="$pids $pid" ;; esac
  done
  [ -n "$pids" ] || return 0
  kill -9 $pids 2>/dev/null
  for pid in $pids; do
    while [ -e "/proc/$pid" ] && ! grep -qs '^State:[[:space:]]*Z' "/proc/$pid/status"; do sleep 0.005; done
  done
}

# The line printed where the 32-bit runs are skipped.
oriel_skip_32bit_line() {
  echo "skipped: 32-bit x86 code does not run here (${ORIEL_RUN32_WHY:-no reason given}), so the shipped 32-bit Oriel.exe runs nowhere here; $1"
}

# Says how the shipped exe's runs reach 32-bit code, for the reports.
oriel_32bit_mode_line() {
  case ${ORIEL_RUN32:-} in
    native) echo "the shipped 32-bit exe runs natively" ;;
    emulated) echo "the shipped 32-bit exe runs under qemu-i386 ($ORIEL_RUN32_WHY)" ;;
    *) echo "the shipped 32-bit exe cannot run: ${ORIEL_RUN32_WHY:-no reason given}" ;;
  esac
}
