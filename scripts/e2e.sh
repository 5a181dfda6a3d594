#!/usr/bin/env bash
# ctest's emulator for the Wine-side GoogleTest exes (the CROSSCOMPILING_EMULATOR
# of oriel_e2e, the driver, and of oriel_platform, the Win32 tier): runs one
# case, or answers gtest_discover_tests' listing, in a prefix reset to the
# pristine one.
#   e2e.sh win32|wow64|win64 Oriel.exe oriel_e2e.exe|oriel_platform.exe [arguments]
# Run targets: scripts/wine_env.sh. A case exits 77, which ctest counts as
# skipped, when its target needs 32-bit code and this machine cannot run it;
# the listing is then answered by the 64-bit driver built from the same
# sources (make builds build/mingw64 first).
#
# Each run has its own prefix, wineserver and X display, so that runs side by
# side never share windows, keyboard focus or registry. The prefix is an
# overlay over the pristine one, so the case's writes (and the listing's) never
# reach it; where overlay mounts are refused it is a full copy instead.
set -uo pipefail
target=$1 exe=$2 driver=$3
shift 3
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine_env.sh"

listing=no name=
for arg; do
  case $arg in
    --gtest_list_tests) listing=yes ;;
    --gtest_filter=*) name=${arg#--gtest_filter=} ;;
  esac
done

if oriel_target_needs_32bit "$target" && ! oriel_can_run_32bit; then
  if [ $listing = no ]; then
    echo "e2e $target $name: $(oriel_skip_32bit_line "the 64-bit build's runs stand in for it")"
    exit 77
  fi
  target=win64 driver="$root/$(oriel_target_build win64)/$(basename "$driver")"
  if [ ! -f "$driver" ]; then
    echo "e2e: listing the 32-bit driver's cases needs $driver, which is not built" >&2
    exit 1
  fi
fi
oriel_use_target "$target" || exit 1
pristine=$("$root/scripts/wine_prefix.sh" "$ORIEL_PREFIX_ARCH") || exit 1
run=$(mktemp -d "$root/build/wine/e2e-$target-XXXXXX")
work="$run/prefix"
export WINEDEBUG=-all WINEPREFIX="$work"
now() { date +%s.%N; }
span() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

cleanup() {
  oriel_wine_kill
  "$root/scripts/e2e_case_teardown.sh" "$work"
  [ -s "$run/xvfb.pid" ] && kill "$(cat "$run/xvfb.pid")" 2>/dev/null
  rm -rf "$run"
}
# ctest ends a run past its TIMEOUT with SIGKILL to this script alone, which
# no trap sees; a watcher cleans up after it then. Its output goes nowhere, so
# that ctest does not wait for it.
(while kill -0 $$ 2>/dev/null; do sleep 0.5; done; cleanup) >/dev/null 2>&1 &
watcher=$!
trap 'kill $watcher 2>/dev/null; cleanup' EXIT
trap 'exit 143' TERM INT

t0=$(now)
# ORIEL_E2E_DISPLAY=:0 runs the case on that display, to watch it.
if [ $listing = no ] && [ -n "${ORIEL_E2E_DISPLAY:-}" ]; then
  echo "$ORIEL_E2E_DISPLAY" >"$run/display"
elif [ $listing = no ]; then
  # A display of the run's own: Xvfb picks a free number and writes it to fd 3.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/display" >/dev/null 2>"$run/xvfb.log" &
  echo $! >"$run/xvfb.pid"
fi
mkdir -p "$run/upper" "$run/ovl" "$work"
if ! mount -t overlay overlay -o "lowerdir=$pristine,upperdir=$run/upper,workdir=$run/ovl" "$work" \
     2>"$run/mount.log"; then
  [ $listing = yes ] ||
    echo "e2e $target $name: overlay mount refused ($(tr -d '\n' <"$run/mount.log")); a full copy instead"
  rm -rf "$work"
  cp -a "$pristine" "$work" || exit 1
fi

if [ $listing = yes ]; then
  # Into a file, not a pipe: the wineserver and Wine's services inherit the
  # output and would hold a pipe open for seconds after the driver ends.
  "$WINE_APP" "$driver" "$@" >"$run/out" 2>"$run/err"
  status=$?
  tr -d '\r' <"$run/out"
  [ $status -eq 0 ] || tr -d '\r' <"$run/err" >&2
  exit $status
fi

# Started first, so that it comes up while the prefix is made.
for _ in $(seq 500); do [ -s "$run/display" ] && break; sleep 0.02; done
if [ ! -s "$run/display" ]; then
  cat "$run/xvfb.log"
  echo "e2e $target $name: Xvfb did not start"
  exit 1
fi
DISPLAY=$(head -n 1 "$run/display")
[[ $DISPLAY == *:* ]] || DISPLAY=":$DISPLAY"
export DISPLAY

shots="$root/build/screenshots"
mkdir -p "$shots"
export ORIEL_EXE=$(oriel_dos_path "$exe")
export ORIEL_ARCH=$target
export ORIEL_SCREENSHOTS=$(oriel_dos_path "$shots")
export ORIEL_CASE_SETUP=$("$root/scripts/e2e_case_setup.sh" "$work" "$target" "$name")
t1=$(now)
"$WINE_APP" "$driver" "$@" >"$run/out" 2>&1
status=$?
t2=$(now)
tr -d '\r' <"$run/out"
if [ -n "${ORIEL_E2E_TIMELINE:-}" ]; then
  printf '%s %s reset %s case %s\n' "$target" "$name" "$(span "$t0" "$t1")" "$(span "$t1" "$t2")" \
    >>"$ORIEL_E2E_TIMELINE"
fi
exit $status
