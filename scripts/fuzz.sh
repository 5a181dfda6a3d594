#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) and runs each one in turn.
#   scripts/fuzz.sh [seconds-per-target]     default 60
# Corpora grow under build/fuzz/corpus/<target>, starting from
# tests/fuzz/seeds/<target>; crashing inputs land in build/fuzz/artifacts/<target>.
# Exits non-zero when the build fails or any target finds something.
set -uo pipefail

seconds=${1:-60}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [seconds-per-target]" >&2
  exit 2
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build/fuzz
targets=(fuzz_port_rows fuzz_monitor_rows fuzz_descrambler fuzz_install_text)

mkdir -p "$build/logs"
if ! cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
     >"$build/logs/configure.log" 2>&1; then
  cat "$build/logs/configure.log" >&2
  echo "fuzz: configure failed" >&2
  exit 1
fi
if ! cmake --build "$build" -j2 >"$build/logs/build.log" 2>&1; then
  tail -n 40 "$build/logs/build.log" >&2
  echo "fuzz: build failed" >&2
  exit 1
fi

# Executions from libFuzzer's final stats, else from its last status line.
executions_in() {
  local log=$1 n
  n=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*$')
  if [[ -z $n ]]; then
    n=$(grep -o '^#[0-9]*' "$log" | tail -n 1 | tr -d '#')
  fi
  echo "${n:-0}"
}

total=0
findings=0
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target
  log=$build/logs/$target.log
  mkdir -p "$corpus" "$artifacts"
  dirs=("$corpus")
  [[ -d $root/tests/fuzz/seeds/$target ]] && dirs+=("$root/tests/fuzz/seeds/$target")

  # -timeout well above any sane input, so only a hang counts.
  "$build/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=25 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "${dirs[@]}" >"$log" 2>&1
  rc=$?

  executions=$(executions_in "$log")
  total=$((total + executions))
  if [[ $rc -ne 0 ]]; then
    findings=$((findings + 1))
    echo "$target: FINDING after $executions executions (exit $rc); log $log" >&2
    grep -E 'invariant failed|ERROR: |SUMMARY: |runtime error|Test unit written to' "$log" | head -n 12 >&2
  else
    echo "$target: $executions executions, corpus $(find "$corpus" -type f | wc -l) inputs"
  fi
done

echo "fuzz: ${#targets[@]} targets, $total executions, $findings findings"
[[ $findings -eq 0 ]]
