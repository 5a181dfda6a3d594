#!/usr/bin/env bash
# Runs one suite of the Wine-side driver, each case in a fresh copy of the
# pristine prefix. Usage: e2e.sh win32|win64 oriel_e2e.exe Oriel.exe Suite
set -uo pipefail
arch=$1 driver=$2 exe=$3 suite=$4
root=$(cd "$(dirname "$0")/.." && pwd)
pristine=$("$root/scripts/wine_prefix.sh" "$arch") || exit 1
# One working prefix per run, so that runs side by side never share one.
work="$root/build/wine/work-$arch-$$"
shots="$root/build/screenshots"
mkdir -p "$shots"
export WINEDEBUG=-all WINEPREFIX="$work"
if [ "$arch" = win32 ]; then export WINEARCH=win32; else export WINEARCH=win64; fi
if [ -z "${DISPLAY:-}" ]; then
  echo "e2e: no DISPLAY; run under xvfb-run (make test does)" >&2
  exit 1
fi

reset_prefix() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  rm -rf "$work"
  cp -a "$pristine" "$work"
}

reset_prefix
cases=$(wine "$driver" --gtest_list_tests --gtest_filter="${suite}.*:*/${suite}.*:${suite}/*" 2>/dev/null | tr -d '\r' | awk '
  /^[^ ]/ { split($1, a, "#"); group = a[1]; next }
  /^  / { split($1, b, "#"); print group b[1] }')
if [ -z "$cases" ]; then
  echo "e2e: suite $suite has no cases"
  exit 0
fi

export ORIEL_EXE=$(winepath -w "$exe" 2>/dev/null | tr -d '\r')
export ORIEL_ARCH=$arch
export ORIEL_SCREENSHOTS=$(winepath -w "$shots" 2>/dev/null | tr -d '\r')

failed=0 passed=0 skipped=0
for name in $cases; do
  reset_prefix
  out=$(timeout 300 wine "$driver" --gtest_filter="$name" --gtest_color=no 2>&1 | tr -d '\r')
  status=$?
  if [ $status -ne 0 ]; then
    failed=$((failed + 1))
    printf '%s\n' "$out"
    echo "e2e: FAILED $arch $name (status $status)"
  elif grep -q '\[  SKIPPED \]' <<<"$out"; then
    skipped=$((skipped + 1))
  else
    passed=$((passed + 1))
    echo "e2e: ok $arch $name"
  fi
done
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
rm -rf "$work"
echo "e2e $arch $suite: $passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
