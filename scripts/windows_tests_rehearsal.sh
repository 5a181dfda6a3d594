#!/usr/bin/env bash
# make windows-tests-rehearsal: the Windows test kit met the way a Windows
# machine meets it, under Wine. The kit is unzipped into a new prefix and
# run-tests.cmd runs there through Wine's cmd: every case one after another in
# that one prefix, with only the isolation the cases make themselves; nothing
# from the Linux harness (no prefix per case, no set-up script, no tmpfs). A
# 32-bit prefix runs the shipped exe (win32), a 64-bit one the shipped exe
# under WOW64 and the 64-bit build (wow64, win64). In each, the isolation pair
# first runs in the reverse order; the whole run has it in its own.
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
status=0 report=()

# Runs the kit's runner in the prefix; its console goes to $1 as it comes.
runner() {
  local log=$1 pid follower code
  shift
  : >"$log"
  (cd "$WINEPREFIX/drive_c/$name" && "$WINE" cmd /c "C:\\$name\\run-tests.cmd" "$@" >"$log" 2>&1 </dev/null) &
  pid=$!
  tail -n +1 -f --pid=$pid "$log" | tr -d '\r' &
  follower=$!
  wait $pid
  code=$?
  wait $follower
  return $code
}

for arch in "${prefixes[@]}"; do
  if [ "$arch" = win32 ] && [ "$ORIEL_RUN32" = no ]; then
    report+=("win32 prefix: $(oriel_skip_32bit_line "the 64-bit prefix still runs")")
    continue
  fi
  oriel_use_target "$arch" || exit 2
  pristine=$(scripts/wine_prefix.sh "$arch") || { status=1; report+=("$arch prefix: could not be made"); continue; }
  run="$root/build/rehearsal/$arch"
  umount "$run/prefix" 2>/dev/null
  rm -rf "$run"
  mkdir -p "$run/upper" "$run/ovl" "$run/prefix"
  # A new prefix: the pristine one under an overlay nothing else writes to.
  if ! mount -t overlay overlay -o "lowerdir=$pristine,upperdir=$run/upper,workdir=$run/ovl" "$run/prefix" 2>/dev/null; then
    rm -rf "$run/prefix"
    cp -a "$pristine" "$run/prefix" || exit 1
  fi
  export WINEPREFIX="$run/prefix" WINEDEBUG=-all
  unzip -q "$kit" -d "$WINEPREFIX/drive_c"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/display" >/dev/null 2>"$run/xvfb.log" &
  xvfb=$!
  for _ in $(seq 500); do [ -s "$run/display" ] && break; sleep 0.02; done
  export DISPLAY=":$(head -n 1 "$run/display")"
  start=$(date +%s)
  echo "rehearsal: $arch prefix, the isolation pair in reverse order"
  runner "$run/pair.log" --disposable --results "C:\\pair-results" --filter "$pair" || status=1
  echo "rehearsal: $arch prefix, every case"
  runner "$run/all.log" --disposable || status=1
  seconds=$(($(date +%s) - start))
  cp -a "$WINEPREFIX/drive_c/$name/results" "$run/results" 2>/dev/null
  cp -a "$WINEPREFIX/drive_c/pair-results" "$run/pair-results" 2>/dev/null
  oriel_wine_kill
  kill $xvfb 2>/dev/null
  wait $xvfb 2>/dev/null
  umount "$run/prefix" 2>/dev/null
  rm -rf "$run/prefix" "$run/upper" "$run/ovl"
  report+=("$arch prefix: $seconds s; pair reversed: $(tr -d '\r' <"$run/pair.log" | tail -n 1); every case: $(tr -d '\r' <"$run/all.log" | tail -n 1)")
  while read -r line; do report+=("  skipped $line"); done < <(
    tr -d '\r' <"$run/all.log" | sed -n 's/^\[\([a-z0-9]*\) [0-9/]*\] [^ ]* skipped ([0-9]* s): /\1: /p' | sort | uniq -c | sort -rn)
done
echo "rehearsal: results, logs and pictures in build/rehearsal"
printf 'rehearsal: %s\n' "${report[@]}"
exit $status
