#!/usr/bin/env bash
# Builds Oriel.exe a second time from a copy of the sources at another path and
# compares it with the given one byte for byte: the published SHA256SUMS only
# mean something when anyone can rebuild the same bytes.
#   scripts/check_reproducible.sh <Oriel.exe> [build type]
set -uo pipefail
exe=${1:?usage: check_reproducible.sh <Oriel.exe> [build type]}
build_type=${2:-Release}
root=$(cd "$(dirname "$0")/.." && pwd)
[[ -f $exe ]] || { echo "reproducible: $exe does not exist" >&2; exit 2; }

other=$(mktemp -d /tmp/oriel-rebuild.XXXXXX)
trap 'rm -rf "$other"' EXIT
# What a clean clone holds: tracked files, plus new ones not yet ignored.
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
  xargs -0 cp --parents -t "$other/") || exit 1
log=$other/build.log
# The shipped build's own preset, in another folder.
if ! { cmake -S "$other" --preset mingw-i686 -B "$other/out" -DCMAKE_BUILD_TYPE="$build_type" &&
       cmake --build "$other/out" --target Oriel -j2; } >"$log" 2>&1; then
  tail -n 30 "$log"
  echo "reproducible: the second build in $other failed" >&2
  exit 1
fi
again=$other/out/Oriel.exe

if cmp -s "$exe" "$again"; then
  echo "reproducible: $(stat -c %s "$exe") bytes identical ($(sha256sum <"$exe" | cut -c1-16)...)"
  exit 0
fi
echo "reproducible: FAIL, $exe and a rebuild at $other differ"
size_a=$(stat -c %s "$exe") size_b=$(stat -c %s "$again")
[[ $size_a == "$size_b" ]] || echo "  sizes: $size_a vs $size_b bytes"
# cmp -l counts from 1 and prints the bytes in octal.
cmp -l "$exe" "$again" 2>/dev/null | awk '
  function oct(s,  i, v) { for (i = 1; i <= length(s); i++) v = v * 8 + substr(s, i, 1); return v }
  { n++; if (n <= 40) printf "  offset 0x%06x: %02x vs %02x\n", $1 - 1, oct($2), oct($3) }
  END { if (n > 40) printf "  ... %d differing bytes in all\n", n }'
exit 1
