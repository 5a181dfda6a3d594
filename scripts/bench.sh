#!/usr/bin/env bash
# Benchmark under Wine in the 32-bit prefix: each figure of Oriel.exe as a
# ratio against a floor program measured in the same run, alternating the
# two, several repetitions each. Prints medians and spreads; asserts nothing
# about time. Exits non-zero only when something could not be measured.
#   scripts/bench.sh <cross build dir>      (make bench; needs DISPLAY)
# BENCH_REPS (install pairs, default 7: each run needs a fresh prefix),
# BENCH_QUICK_REPS (start and fill pairs, default 15) and BENCH_SETTLE_MS
# (quiet time before an install is timed, default 1000) adjust the run.
set -uo pipefail
build=${1:?usage: bench.sh <cross build dir>}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
exe=$build/Oriel.exe
tools=$build/bench
reps=${BENCH_REPS:-7}
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

base=$("$root/scripts/wine_prefix.sh" win32) || exit 1
out=$root/build/bench
pristine=$root/build/wine/bench-pristine-win32
work=$root/build/wine/bench-win32
package=$out/package
results=$out/results.txt
log=$out/bench.log
export WINEDEBUG=-all WINEARCH=win32 WINEPREFIX="$work"
mkdir -p "$out"
: >"$results"
: >"$log"

# A package the size of a real Unidrv one (a few MB), random bytes: the copy
# cost is what matters, not the contents. Never a driver.
make_package() {
  rm -rf "$package"
  mkdir -p "$package/win2k"
  local name size
  while read -r name size; do
    head -c "$size" /dev/urandom >"$package/win2k/$name"
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
    head -c 24576 /dev/urandom >"$package/win2k/$name.GPD"
  done
  cp "$exe" "$package/Oriel.exe"
}

# The pristine prefix with a Wine virtual desktop. Without a window manager,
# Wine's X11 driver waits about 2 s for the X server each time a top-level
# window hides, which would swamp every figure that closes a window; inside
# a virtual desktop the windows are not X11 top-levels and hide at once.
make_bench_prefix() {
  local stamp=$pristine/.bench-ready
  [ -f "$stamp" ] && [ "$stamp" -nt "$base/.oriel-ready" ] && return 0
  rm -rf "$pristine"
  cp -a "$base" "$pristine"
  WINEPREFIX=$pristine wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Bench /f \
    >>"$log" 2>&1 &&
    WINEPREFIX=$pristine wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Bench /t REG_SZ /d 1024x768 /f \
      >>"$log" 2>&1 || return 1
  WINEPREFIX=$pristine wineserver -w
  touch "$stamp"
}

reset_prefix() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  rm -rf "$work"
  cp -a "$pristine" "$work"
  # Write the copy out now, not while a figure is being timed.
  sync -f "$work" 2>/dev/null || sync
}

winpath() { winepath -w "$1" 2>/dev/null | tr -d '\r'; }

failures=0
# Runs one measuring program; its result lines go to the results file, the
# rest to the log.
measure() {
  local what=$1
  shift
  local lines status
  lines=$(cd "$package" && timeout 300 wine "$@" 2>>"$log" | tr -d '\r')
  status=$?
  printf '%s\n' "$lines" | grep -E '^[a-z0-9]+ (oriel|floor) [0-9-]+$' >>"$results"
  if [ $status -ne 0 ]; then
    failures=$((failures + 1))
    echo "bench: $what could not be measured (status $status); see $log" >&2
    tail -n 5 "$log" >&2
  fi
}

started=$(date +%s)
if ! make_bench_prefix; then
  echo "bench: cannot make the benchmark prefix $pristine; see $log" >&2
  exit 1
fi
make_package
cat "$package"/win2k/* >/dev/null  # the page cache serves both sides alike

echo "size oriel $(stat -c %s "$exe")" >>"$results"

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
for ((i = 0; i < reps; i++)); do
  # Alternate which goes first, so a drift in the machine's load is shared.
  if ((i % 2 == 0)); then order="oriel floor"; else order="floor oriel"; fi
  for side in $order; do
    reset_prefix
    if [ "$side" = oriel ]; then
      measure "install (Oriel)" "$w_driver" install-oriel "$w_exe" "$w_package" "$settle"
    else
      measure "install (floor)" "$w_driver" install-floor "$w_floor_install" "$w_package" "$settle"
    fi
  done
done
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
rm -rf "$work"

python3 - "$results" "$(($(date +%s) - started))" <<'PY'
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
    ("fill256", "Port fill, 256 ports", "-"),
    ("fill300", "Port fill, 300 ports", "-"),
]
# ratio: of the medians; IQR: of the per-pair ratios (each pair measured
# back to back); min ratio: of the fastest runs, the least disturbed by the
# machine's other load.
fmt = "%-24s %10s %10s %7s %12s %9s %17s %17s  %s"
head = fmt % ("figure", "Oriel ms", "floor ms", "ratio", "ratio IQR", "min ratio",
              "Oriel min-max", "floor min-max", "target")
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
    low, high = quartiles([o / f for o, f in zip(oriel, floor) if f > 0])
    print(fmt % (title, ms(mo), ms(mf), "%.2fx" % (mo / mf), "%.2f-%.2fx" % (low, high),
                 "%.2fx" % (min(oriel) / min(floor)), "%s-%s" % (ms(min(oriel)), ms(max(oriel))),
                 "%s-%s" % (ms(min(floor)), ms(max(floor))), "%s  n=%d" % (target, min(len(oriel), len(floor)))))
size = samples.get(("size", "oriel"))
if size:
    print("%-24s %d bytes (%.1f KiB) against 262144 bytes: %.2fx  target <= 256 KiB" % (
        "Size of Oriel.exe", size[0], size[0] / 1024.0, size[0] / 262144.0))
print("bench: %s s in all; raw figures in build/bench/results.txt" % sys.argv[2])
sys.exit(1 if missing or not size else 0)
PY
summary=$?
[ $failures -eq 0 ] && [ $summary -eq 0 ]
