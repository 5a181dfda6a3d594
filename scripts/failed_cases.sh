#!/usr/bin/env bash
# The failed cases of the ctest runs since a stamp file, each with where to
# look: its lines in the build's e2e.log (or ctest's LastTest.log) and, for an
# end-to-end case, the picture its fixture took when it failed.
#   scripts/failed_cases.sh STAMP BUILD_DIR...
# Prints nothing when no run since STAMP failed.
set -uo pipefail
stamp=${1:?usage: failed_cases.sh STAMP BUILD_DIR...}
shift
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# The lines from the case's own line to the line before the next case's.
lines_in_console_log() {
  local log=$1 name=$2
  awk -v name="$name" '
    function is_case_line(line) {
      return line ~ /^ *[0-9]+\/[0-9]+ Test +#[0-9]+: / || line ~ /^ *Start +[0-9]+: / || line ~ /^[0-9]+% tests passed/
    }
    start && is_case_line($0) { print start "-" NR - 1; found = 1; exit }
    !start && index($0, " " name " ") && $0 ~ /Test +#[0-9]+: / { start = NR }
    END { if (start && !found) print start "-" NR }' "$log"
}

lines_in_last_test_log() {
  local log=$1 name=$2
  awk -v name="$name" '
    !start && $0 ~ /Testing: / && substr($0, length($0) - length(name) + 1) == name { start = NR }
    start && index($0, "\"" name "\" time elapsed") { print start "-" NR; exit }' "$log"
}

header=no
for build in "$@"; do
  failed="$build/Testing/Temporary/LastTestsFailed.log"
  [ -f "$failed" ] && [ "$failed" -nt "$stamp" ] || continue
  while IFS= read -r entry; do
    name=${entry#*:}
    [ -n "$name" ] || continue
    if [ $header = no ]; then echo; echo "Failed cases:"; header=yes; fi
    where=
    if [ -f "$build/e2e.log" ] && [ "$build/e2e.log" -nt "$stamp" ]; then
      range=$(lines_in_console_log "$build/e2e.log" "$name")
      [ -z "$range" ] || where="$build/e2e.log lines $range"
    fi
    if [ -z "$where" ] && [ -f "$build/Testing/Temporary/LastTest.log" ]; then
      range=$(lines_in_last_test_log "$build/Testing/Temporary/LastTest.log" "$name")
      [ -z "$range" ] || where="$build/Testing/Temporary/LastTest.log lines $range"
    fi
    echo "  $name"
    echo "    log: ${where:-see $build/Testing/Temporary/LastTest.log}"
    # e2e.<target>.<Suite>.<Case>: the fixture names its picture
    # <target>-FAILED-<Suite>.<Case>, a slash made an underscore.
    if [[ $name =~ ^e2e\.([^.]+)\.(.+)$ ]]; then
      picture="build/screenshots/${BASH_REMATCH[1]}-FAILED-${BASH_REMATCH[2]//\//_}.png"
      if [ -f "$picture" ] && [ "$picture" -nt "$stamp" ]; then
        echo "    picture: $picture"
      else
        echo "    picture: none (the program had ended, or the case failed before it started)"
      fi
    fi
  done <"$failed"
done
