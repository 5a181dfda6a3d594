#!/usr/bin/env bash
# Runs one suite of the Wine-side driver, each case in a prefix reset to the
# pristine one. Usage: e2e.sh win32|wow64|win64 oriel_e2e.exe Oriel.exe Suite
# (run targets: scripts/wine_env.sh). Exits 77, which ctest counts as
# skipped, when the target needs 32-bit code and this machine cannot run it.
#
# Each run has its own prefix, wineserver and X display, so that runs side by
# side never share windows, keyboard focus or registry. A case's prefix is an
# overlay over the pristine one: resetting it drops the case's writes in
# milliseconds. Where overlay mounts are refused it is a full copy instead.
set -uo pipefail
target=$1 driver=$2 exe=$3 suite=$4
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine_env.sh"
if oriel_target_needs_32bit "$target" && ! oriel_can_run_32bit; then
  echo "e2e $target $suite: $(oriel_skip_32bit_line "the 64-bit build's runs stand in for it")"
  exit 77
fi
oriel_use_target "$target" || exit 1
pristine=$("$root/scripts/wine_prefix.sh" "$ORIEL_PREFIX_ARCH") || exit 1
run="$root/build/wine/e2e-$target-$suite-$$"
work="$run/prefix"
shots="$root/build/screenshots"
mkdir -p "$shots" "$run"
export WINEDEBUG=-all WINEPREFIX="$work"
timeline=${ORIEL_E2E_TIMELINE:-}
now() { date +%s.%N; }
span() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

xvfb_pid=
cleanup() {
  oriel_wine_kill
  "$root/scripts/e2e_case_teardown.sh" "$work"
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$run"
}
trap cleanup EXIT

# A display of the run's own: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/display" 2>"$run/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 200); do [ -s "$run/display" ] && break; sleep 0.05; done
if [ ! -s "$run/display" ]; then
  cat "$run/xvfb.log" >&2
  echo "e2e $target $suite: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$(head -n 1 "$run/display")"

overlay=yes
reset_prefix() {
  oriel_wine_kill
  # A case's own mounts (e2e_case_setup.sh), then the overlay itself.
  "$root/scripts/e2e_case_teardown.sh" "$work" || return 1
  if [ $overlay = yes ]; then
    rm -rf "$run/upper" "$run/ovl"
    mkdir -p "$run/upper" "$run/ovl" "$work"
    if mount -t overlay overlay -o "lowerdir=$pristine,upperdir=$run/upper,workdir=$run/ovl" "$work" \
         2>"$run/mount.log"; then
      return 0
    fi
    overlay=no
    echo "e2e $target $suite: overlay mount refused ($(tr -d '\n' <"$run/mount.log")); each case gets a full copy"
  fi
  rm -rf "$work"
  cp -a "$pristine" "$work"
}

reset_prefix || exit 1
cases=$("$WINE_APP" "$driver" --gtest_list_tests --gtest_filter="${suite}.*:*/${suite}.*:${suite}/*" 2>/dev/null | tr -d '\r' | awk '
  /^[^ ]/ { split($1, a, "#"); group = a[1]; next }
  /^  / { split($1, b, "#"); print group b[1] }')
if [ -z "$cases" ]; then
  echo "e2e: suite $suite has no cases (or $driver did not start)"
  exit 1
fi

export ORIEL_EXE=$(oriel_winepath "$exe")
export ORIEL_ARCH=$target
export ORIEL_SCREENSHOTS=$(oriel_winepath "$shots")

failed=0 passed=0 skipped=0
for name in $cases; do
  t0=$(now)
  if ! reset_prefix; then
    echo "e2e: FAILED $target $name: the prefix could not be reset"
    failed=$((failed + 1))
    break
  fi
  export ORIEL_CASE_SETUP=$("$root/scripts/e2e_case_setup.sh" "$work" "$target" "$name")
  t1=$(now)
  # Into a file, not a pipe: the wineserver and Wine's services inherit the
  # output and would hold a pipe open for seconds after the case ends.
  timeout 300 "$WINE_APP" "$driver" --gtest_filter="$name" --gtest_color=no >"$run/out" 2>&1
  status=$?
  out=$(tr -d '\r' <"$run/out")
  t2=$(now)
  if [ -n "$timeline" ]; then
    printf '%s %s reset %s case %s\n' "$target" "$name" "$(span "$t0" "$t1")" "$(span "$t1" "$t2")" >>"$timeline"
  fi
  if [ $status -ne 0 ]; then
    failed=$((failed + 1))
    printf '%s\n' "$out"
    echo "e2e: FAILED $target $name (status $status)"
  elif grep -q '\[  SKIPPED \]' <<<"$out"; then
    skipped=$((skipped + 1))
  else
    passed=$((passed + 1))
    echo "e2e: ok $target $name"
  fi
done
echo "e2e $target $suite: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
