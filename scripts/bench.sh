#!/usr/bin/env bash
# Benchmark under Wine: each figure of Oriel.exe as a ratio against a floor
# program measured in the same run, alternating the two, several repetitions
# each. Prints medians and spreads; asserts nothing about time. Exits non-zero
# only when something could not be measured.
#   scripts/bench.sh win32|win64      (make bench; needs DISPLAY)
# win32 times the shipped 32-bit build (build/mingw) in a 32-bit prefix, win64
# the 64-bit build (build/mingw64) in a 64-bit prefix (run targets:
# scripts/wine_env.sh). The floors come from the same build folder, so both
# sides of a ratio are the same architecture.
# BENCH_REPS (install pairs, default 11: each run needs a fresh prefix),
# BENCH_QUICK_REPS (start and fill pairs, default 15) and BENCH_SETTLE_MS
# (quiet time before an install is timed, default 1000) adjust the run.
# BENCH_HELD_REPS (installs whose copy of uniDRV.DLL is held up, default 3)
# and BENCH_HOLD_SECONDS (how long, default 6) adjust the page's answer
# figure: the longest time the port page took to answer a message then.
set -uo pipefail
target=${1:?usage: bench.sh win32|win64}
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine_env.sh"
case $target in
  win32) folder=win2k environment=w32x86 ;;
  win64) folder=x64 environment=x64 ;;  # a 64-bit build reports 64-bit Windows and takes the x64 package
  *) echo "bench: run target '$target' is not win32 or win64" >&2; exit 2 ;;
esac
if oriel_target_needs_32bit "$target" && ! oriel_can_run_32bit; then
  echo "bench: $target needs 32-bit x86 code, which this machine cannot run; use win64" >&2
  exit 1
fi
oriel_use_target "$target" || exit 1
if oriel_target_needs_32bit "$target" && [ "$ORIEL_RUN32" = emulated ]; then
  echo "bench: Oriel and its floors run under qemu-i386 here ($ORIEL_RUN32_WHY): the ratios against floors emulated alike still mean something; the absolute times do not"
fi
build=$(cd "$root/$(oriel_target_build "$target")" 2>/dev/null && pwd) || {
  echo "bench: no $(oriel_target_build "$target") (build the cross configuration first)" >&2
  exit 1
}
exe=$build/Oriel.exe
tools=$build/bench
reps=${BENCH_REPS:-11}
quick_reps=${BENCH_QUICK_REPS:-15}
settle=${BENCH_SETTLE_MS:-1000}

for f in "$exe" "$tools/bench_driver.exe" "$tools/floor_install.exe" "$tools/floor_dialog.exe" "$tools/fill_bench.exe"; do
  if [ ! -f "$f" ]; then
    echo "bench: $f is missing (build the cross configuration first)" >&2
    exit 1
  fi
done
if [ -z "${DISPLAY:-}" ]; then
  echo "bench: no DISPLAY; run under xvfb-run (make bench does)" >&2
  exit 1
fi

# Inside Wine's virtual desktop, like the e2e cases (scripts/wine_prefix.sh).
pristine=$("$root/scripts/wine_prefix.sh" "$ORIEL_PREFIX_ARCH") || exit 1
out=$root/build/bench/$target
work=$root/build/wine/bench-$target
package=$out/package
results=$out/results.txt
log=$out/bench.log
export WINEDEBUG=-all WINEPREFIX="$work"
mkdir -p "$out"
: >"$results"
: >"$log"

# A package the size of a real Unidrv one (a few MB), random bytes: the copy
# cost is what matters, not the contents. Never a driver.
make_package() {
  rm -rf "$package"
  mkdir -p "$package/$folder"
  local name size
  while read -r name size; do
    head -c "$size" /dev/urandom >"$package/$folder/$name"
  done <<'SIZES'
RKT4X.DLL 65536
uniDRVui.DLL 524288
uniDRV.DLL 1048576
UNIDRV.HLP 102400
UNIRES.DLL 524288
TTFSUB.GPD 1024
STDNAMES.GPD 32768
RKUNI.ini 2048
RKUNI.dll 49152
SIZES
  for name in RKT410nocut RKT410cut RKT420nocut RKT420cut RKT430 RKT430E RKMT430 RKWT430 V5YYK RKT440 \
              RKKT410 RKKT430 RKKT440 RKMT440 RKWT440; do
    head -c 24576 /dev/urandom >"$package/$folder/$name.GPD"
  done
  cp "$exe" "$package/Oriel.exe"
}

# reset_prefix [folder]: a fresh copy of the pristine prefix ($work unless
# told).
reset_prefix() {
  local prefix=${1:-$work}
  WINEPREFIX=$prefix oriel_wineserver_stop
  rm -rf "$prefix"
  cp -a "$pristine" "$prefix"
  # Write the copy out now, not while a figure is being timed.
  sync -f "$prefix" 2>/dev/null || sync
}

winpath() { oriel_winepath "$1"; }

failures=0
# Runs one measuring program; its result lines go to the results file, the
# rest to the log.
measure() {
  local what=$1
  shift
  local lines status
  lines=$(cd "$package" && timeout 300 "$WINE_APP" "$@" 2>>"$log" | tr -d '\r')
  status=$?
  printf '%s\n' "$lines" | grep -E '^[a-z0-9]+ (oriel|floor) [0-9-]+$' >>"$results"
  if [ $status -ne 0 ]; then
    failures=$((failures + 1))
    echo "bench: $what could not be measured (status $status); see $log" >&2
    tail -n 5 "$log" >&2
  fi
}

if [ "$target" = win32 ]; then
  echo "bench: the shipped 32-bit build ($build/Oriel.exe) in a 32-bit prefix" >&2
else
  echo "bench: the 64-bit build ($build/Oriel.exe) in a 64-bit prefix; the shipped exe is the 32-bit one" >&2
fi
started=$(date +%s)
load_before=$(cut -d' ' -f1 /proc/loadavg 2>/dev/null)
make_package
cat "$package/$folder"/* >/dev/null  # the page cache serves both sides alike

echo "size oriel $(stat -c %s "$exe")" >>"$results"
echo "size floor $(stat -c %s "$tools/floor_dialog.exe")" >>"$results"

reset_prefix
w_package=$(winpath "$package")
w_exe=$(winpath "$package/Oriel.exe")
w_driver=$(winpath "$tools/bench_driver.exe")
w_floor_install=$(winpath "$tools/floor_install.exe")
w_floor_dialog=$(winpath "$tools/floor_dialog.exe")
w_fill=$(winpath "$tools/fill_bench.exe")

echo "bench: start ($quick_reps pairs)" >&2
measure start "$w_driver" start "$w_exe" "$w_floor_dialog" "$w_package" "$quick_reps"
echo "bench: port list fill, 256 and 300 ports ($quick_reps pairs each)" >&2
measure fill "$w_fill" "$quick_reps" 256 300

echo "bench: install ($reps pairs, a fresh prefix for each run)" >&2
oriel_wineserver_stop
for ((i = 0; i < reps; i++)); do
  # Both prefixes of a pair are copied first, so that its two halves run back
  # to back, close enough for the machine's other load to fall on both alike.
  reset_prefix "$work-oriel"
  reset_prefix "$work-floor"
  # Alternate which goes first, so a drift in the machine's load is shared.
  if ((i % 2 == 0)); then order="oriel floor"; else order="floor oriel"; fi
  for side in $order; do
    export WINEPREFIX="$work-$side"
    if [ "$side" = oriel ]; then
      measure "install (Oriel)" "$w_driver" install-oriel "$w_exe" "$w_package" "$settle"
    else
      measure "install (floor)" "$w_driver" install-floor "$w_floor_install" "$w_package" "$settle"
    fi
    # Its server and services would otherwise run on beside the other half.
    oriel_wine_kill
  done
done
held_reps=${BENCH_HELD_REPS:-3}
hold_seconds=${BENCH_HOLD_SECONDS:-6}
echo "bench: install whose copy of uniDRV.DLL is held up $hold_seconds s ($held_reps runs)" >&2
for ((i = 0; i < held_reps; i++)); do
  reset_prefix "$work-held"
  hold=$work-held/drive_c/oriel-hold
  mkdir -p "$hold"
  cp "$package/$folder/uniDRV.DLL" "$hold/content"  # 1 MiB: more than a FIFO's buffer
  python3 "$root/scripts/hold_copy.py" "$work-held/drive_c/windows/system32/spool/drivers/$environment/uniDRV.DLL" \
    "$hold" "$hold_seconds" 2>>"$log" &
  holder=$!
  export WINEPREFIX="$work-held"
  measure "install with a held copy" "$w_driver" install-held "$w_exe" "$w_package" "$settle"
  oriel_wine_kill
  kill $holder 2>/dev/null
  wait $holder 2>/dev/null
done
export WINEPREFIX="$work"
oriel_wineserver_stop
rm -rf "$work" "$work-oriel" "$work-floor" "$work-held"

load_after=$(cut -d' ' -f1 /proc/loadavg 2>/dev/null)
python3 - "$results" "$(($(date +%s) - started))" "$target" "${results#"$root"/}" \
  "${load_before:-?}" "${load_after:-?}" "$(nproc 2>/dev/null || echo '?')" <<'PY'
import os
import statistics
import sys

samples = {}
for line in open(sys.argv[1]):
    figure, side, value = line.split()
    samples.setdefault((figure, side), []).append(int(value))


def ms(us):
    return "%.1f" % (us / 1000.0)


def quartiles(values):
    if len(values) < 4:
        return min(values), max(values)
    q = statistics.quantiles(values, n=4)
    return q[0], q[2]


rows = [
    ("install", "Install (net of 500 ms)", "<= 1.20x"),
    ("start", "Start to OS page", "<= 1.20x"),
    ("fill256", "Port fill, 256 ports", "<= 1.50x"),
    ("fill300", "Port fill, 300 ports", "-"),
]
# ratio: the median of the per-pair ratios (each pair measured side by side,
# so the machine's other load falls on both halves alike), and their IQR;
# of medians: the ratio of the two medians; min ratio: of the fastest runs,
# the least disturbed by that load.
fmt = "%-24s %10s %10s %7s %12s %10s %9s %17s %17s  %s"
head = fmt % ("figure", "Oriel ms", "floor ms", "ratio", "ratio IQR", "of medians", "min ratio",
              "Oriel min-max", "floor min-max", "target")
run_target = sys.argv[3]
print("Run target %s: %s" % (run_target, "the shipped 32-bit build, build/mingw" if run_target == "win32"
                                    else "the 64-bit build, build/mingw64 (floors built for x64 too)"))
if run_target == "win32" and os.environ.get("ORIEL_RUN32") == "emulated":
    print("Emulated: Oriel and its floors ran under qemu-i386; the ratios hold, the milliseconds are qemu's")
print(head)
print("-" * len(head))
missing = 0
for key, title, target in rows:
    oriel = samples.get((key, "oriel"), [])
    floor = samples.get((key, "floor"), [])
    if not oriel or not floor:
        print("%-24s not measured" % title)
        missing += 1
        continue
    mo, mf = statistics.median(oriel), statistics.median(floor)
    pairs = [o / f for o, f in zip(oriel, floor) if f > 0]
    low, high = quartiles(pairs)
    print(fmt % (title, ms(mo), ms(mf), "%.2fx" % statistics.median(pairs), "%.2f-%.2fx" % (low, high),
                 "%.2fx" % (mo / mf),
                 "%.2fx" % (min(oriel) / min(floor)), "%s-%s" % (ms(min(oriel)), ms(max(oriel))),
                 "%s-%s" % (ms(min(floor)), ms(max(floor))), "%s  n=%d" % (target, min(len(oriel), len(floor)))))
# Not a ratio: how long Windows would see the page not answering, against
# the 5 s after which it calls a window "Not Responding".
held = samples.get(("held", "oriel"), [])
if held:
    print("%-24s %s ms the longest, median of runs %s ms  goal <= 100 ms  n=%d" % (
        "Answer, held copy", ms(max(held)), ms(statistics.median(held)), len(held)))
else:
    print("%-24s not measured" % "Answer, held copy")
    missing += 1
size = samples.get(("size", "oriel"))
if size and run_target == "win32":
    print("%-24s %d bytes (%.1f KiB) against 327680 bytes: %.2fx  target <= 320 KiB" % (
        "Size of Oriel.exe", size[0], size[0] / 1024.0, size[0] / 327680.0))
elif size:
    print("%-24s %d bytes (%.1f KiB); the 320 KiB limit is the shipped 32-bit exe's" % (
        "Size of 64-bit Oriel.exe", size[0], size[0] / 1024.0))
# Oriel's own weight: its size over the bare dialog exe from the same
# toolchain (the start floor).
floor_size = samples.get(("size", "floor"))
if size and floor_size:
    print("%-24s %.1f KiB over the start floor (%d - %d bytes)  target <= 24 KiB" % (
        "Size over floor", (size[0] - floor_size[0]) / 1024.0, size[0], floor_size[0]))
# Other programs' load spreads the pairs; with more runnable tasks than
# cores, read the IQR before the ratio.
print("Machine load (1-minute average): %s before, %s after, on %s cores" % (sys.argv[5], sys.argv[6], sys.argv[7]))
print("bench: %s s in all; raw figures in %s" % (sys.argv[2], sys.argv[4]))
sys.exit(1 if missing or not size or not floor_size else 0)
PY
summary=$?
[ $failures -eq 0 ] && [ $summary -eq 0 ]
