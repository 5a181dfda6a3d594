#!/usr/bin/env bash
# Runs one suite of the Wine-side driver, each case in a fresh copy of the
# pristine prefix. Usage: e2e.sh win32|wow64|win64 oriel_e2e.exe Oriel.exe Suite
# (run targets: scripts/wine_env.sh). Exits 77, which ctest counts as
# skipped, when the target needs 32-bit code and this machine cannot run it.
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
# One working prefix per run, so that runs side by side never share one.
work="$root/build/wine/work-$target-$$"
shots="$root/build/screenshots"
mkdir -p "$shots"
export WINEDEBUG=-all WINEPREFIX="$work"
if [ -z "${DISPLAY:-}" ]; then
  echo "e2e: no DISPLAY; run under xvfb-run (make test does)" >&2
  exit 1
fi

reset_prefix() {
  oriel_wineserver_stop
  rm -rf "$work"
  cp -a "$pristine" "$work"
}

reset_prefix
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
  reset_prefix
  export ORIEL_CASE_SETUP=$("$root/scripts/e2e_case_setup.sh" "$work" "$target" "$name")
  out=$(timeout 300 "$WINE_APP" "$driver" --gtest_filter="$name" --gtest_color=no 2>&1 | tr -d '\r')
  status=$?
  "$root/scripts/e2e_case_teardown.sh" "$work"
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
oriel_wineserver_stop
rm -rf "$work"
echo "e2e $target $suite: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
