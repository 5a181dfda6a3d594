#!/usr/bin/env bash
# make windows-tests-rehearsal: the Windows test kit met the way a Windows
# machine meets it, under Wine. The kit is unzipped into a new prefix and
# run-tests.cmd runs there through Wine's cmd: every case one after another in
# that one prefix, with only the isolation the cases make themselves; nothing
# from the Linux harness (no prefix per case, no set-up script, no tmpfs). A
# 32-bit prefix runs the shipped exe (win32), a 64-bit one the shipped exe
# under WOW64 and the 64-bit build (wow64, win64), side by side. In each, the
# isolation pair first runs in the reverse order; the whole run has it in its
# own.
# Run under scripts/with_32bit.sh.
#   scripts/windows_tests_rehearsal.sh KIT.zip [win32] [win64]
set -uo pipefail
kit=$(realpath "${1:?usage: windows_tests_rehearsal.sh KIT.zip [win32] [win64]}")
shift
prefixes=("$@")
[ ${#prefixes[@]} -gt 0 ] || prefixes=(win32 win64)
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/wine_env.sh
oriel_can_run_32bit
echo "rehearsal: $(oriel_32bit_mode_line)"
name=$(basename "$kit" .zip)
pair=Spine.IsolationFindsNoTraceOfThePreviousCase:Spine.IsolationLeavesTracesForTheNextCase
status=0

# Runs the kit's runner in the prefix, its console into $1.
runner() {
  local log=$1
  shift
  (cd "$WINEPREFIX/drive_c/$name" && "$WINE" cmd /c "C:\\$name\\run-tests.cmd" "$@" >"$log" 2>&1 </dev/null)
}

# One prefix, start to end; its report lines go to build/rehearsal/<arch>.report.
rehearse() {
  local arch=$1 pristine run xvfb start seconds status=0
  run="$root/build/rehearsal/$arch"
  umount "$run/prefix" 2>/dev/null
  rm -rf "$run" "$run.report"
  mkdir -p "$run/upper" "$run/ovl" "$run/prefix"
  if [ "$arch" = win32 ] && [ "$ORIEL_RUN32" = no ]; then
    echo "win32 prefix: $(oriel_skip_32bit_line "the 64-bit prefix still runs")" >"$run.report"
    return 0
  fi
  oriel_use_target "$arch" || return 2
  pristine=$(scripts/wine_prefix.sh "$arch") || { echo "$arch prefix: could not be made" >"$run.report"; return 1; }
  # A new prefix: the pristine one under an overlay nothing else writes to.
  if ! mount -t overlay overlay -o "lowerdir=$pristine,upperdir=$run/upper,workdir=$run/ovl" "$run/prefix" 2>/dev/null; then
    rm -rf "$run/prefix"
    cp -a "$pristine" "$run/prefix" || return 1
  fi
  export WINEPREFIX="$run/prefix" WINEDEBUG=-all
  unzip -q "$kit" -d "$WINEPREFIX/drive_c"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/display" >/dev/null 2>"$run/xvfb.log" &
  xvfb=$!
  for _ in $(seq 500); do [ -s "$run/display" ] && break; sleep 0.02; done
  export DISPLAY=":$(head -n 1 "$run/display")"
  start=$(date +%s)
  runner "$run/pair.log" --disposable --results "C:\\pair-results" --filter "$pair" || status=1
  runner "$run/all.log" --disposable || status=1
  seconds=$(($(date +%s) - start))
  cp -a "$WINEPREFIX/drive_c/$name/results" "$run/results" 2>/dev/null
  cp -a "$WINEPREFIX/drive_c/pair-results" "$run/pair-results" 2>/dev/null
  oriel_wine_kill
  kill $xvfb 2>/dev/null
  wait $xvfb 2>/dev/null
  umount "$run/prefix" 2>/dev/null
  rm -rf "$run/prefix" "$run/upper" "$run/ovl"
  {
    echo "$arch prefix: $seconds s; pair reversed: $(tr -d '\r' <"$run/pair.log" | tail -n 1); every case: $(tr -d '\r' <"$run/all.log" | tail -n 1)"
    tr -d '\r' <"$run/all.log" | sed -n 's/^\[\([a-z0-9]*\) [0-9/]*\] [^ ]* skipped ([0-9]* s): /\1: /p' | sort | uniq -c | sort -rn |
      sed 's/^ */  skipped /'
  } >"$run.report"
  return $status
}

# The prefixes side by side: each waits on Wine far more than it computes.
echo "rehearsal: the ${prefixes[*]} prefixes side by side; each runner's console goes to build/rehearsal/<prefix>/"
pids=()
for arch in "${prefixes[@]}"; do
  rehearse "$arch" &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
for arch in "${prefixes[@]}"; do
  for log in pair all; do
    [ -f "build/rehearsal/$arch/$log.log" ] || continue
    echo "rehearsal: $arch prefix, $([ $log = pair ] && echo "the isolation pair in reverse order" || echo "every case"):"
    tr -d '\r' <"build/rehearsal/$arch/$log.log"
  done
done
echo "rehearsal: results, logs and pictures in build/rehearsal"
for arch in "${prefixes[@]}"; do sed 's/^/rehearsal: /' "build/rehearsal/$arch.report" 2>/dev/null; done
exit $status
