#!/usr/bin/env bash
# make e2e: the shipped exe's binary checks, then the Wine cases of both
# builds side by side, each build's ctest with its own log and JUnit report.
# Run under scripts/with_32bit.sh, which says how 32-bit code runs here.
#   scripts/e2e_all.sh JOBS [SUITE]
set -uo pipefail
jobs=${1:?usage: e2e_all.sh JOBS [SUITE]} suite=${2:-}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/wine_env.sh
oriel_can_run_32bit
echo "e2e: $(oriel_32bit_mode_line)"
status=0 binary=0 only=() pids=()
# make test lists the failed cases of every tier itself, once at its end.
stamp=${ORIEL_TEST_STAMP:-}
if [ -z "$stamp" ]; then stamp=$(mktemp); trap 'rm -f "$stamp"' EXIT; fi
if [ -z "$suite" ]; then
  ctest --test-dir build/mingw --output-on-failure -R '^binary\.' || binary=1
else
  only=(-R "^(e2e|platform)\.[^.]+\.([^./]+/)?$suite[./]")
fi
# Where the shipped exe runs, the 64-bit build runs what the shipped exe
# cannot show under Wine: the x64 package installed to the end (Wine refuses
# the printer under WOW64), and the isolation pair in a 64-bit prefix. Its
# other cases repeat the shipped exe's. Its Win32 tier (platform.) runs
# always. Where the shipped exe cannot run, the 64-bit build runs every case.
win64_jobs=$jobs subset=()
if [ "$ORIEL_RUN32" != no ] && [ -z "$suite" ]; then
  subset=(-R '^(dist\.|platform\.|e2e\.win64\.(Cases/Install\.|Install\.(SameModelThreeTimes|PrinterNameBox)|Spine\.Isolation))')
  win64_jobs=1
fi
# Under the emulator a case in the 32-bit prefix, where every process is
# emulated, takes about twice a WOW64 case's time, and both targets whole do
# not fit make test's time. There the 32-bit prefix runs what WOW64 cannot
# (the installs to the end, the isolation pair) and the emulation proof; the
# cases WOW64 runs too, the pages, port lists, dialogs, package checks and
# refusals, are left to it.
shipped=()
if [ "$ORIEL_RUN32" = emulated ] && [ -z "$suite" ] && [ "${ORIEL_E2E_WIN32_WHOLE:-}" != 1 ]; then
  both=$(ctest --test-dir build/mingw -N | sed -n 's/^ *Test *#[0-9]*: e2e\.wow64\.//p' | grep -v '^Emulation\.' |
         sed 's/[][().*+?^$|\\]/\\&/g' | paste -sd'|')
  if [ -n "$both" ]; then
    shipped=(-E "^binary\.|^e2e\.win32\.($both)\$")
    echo "e2e: emulated, the 32-bit prefix runs only what WOW64 cannot, and the emulation proof (ORIEL_E2E_WIN32_WHOLE=1 runs all)"
  fi
fi
for build in build/mingw build/mingw64; do
  if [ $build = build/mingw ]; then filter=("${only[@]}" "${shipped[@]}") j=$jobs; else filter=("${only[@]}" "${subset[@]}") j=$win64_jobs; fi
  xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir "$build" --output-on-failure -j"$j" -E '^binary\.' \
    "${filter[@]}" --output-junit "$root/$build/junit.xml" >"$build/e2e.log" 2>&1 &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
cat build/mingw/e2e.log build/mingw64/e2e.log
[ $binary = 0 ] || status=1
if [ "$ORIEL_RUN32" = no ]; then
  if [ $binary = 0 ]; then shipped="the shipped exe was still built and passed the binary checks"
  else shipped="the shipped exe was built but FAILED the binary checks"; fi
  echo "e2e: win32 and wow64 runs $(oriel_skip_32bit_line "$shipped")"
fi
[ -n "${ORIEL_TEST_STAMP:-}" ] || scripts/failed_cases.sh "$stamp" build/mingw build/mingw64
exit $status
