#!/usr/bin/env bash
# Unmounts whatever e2e_case_setup.sh (or anything else) mounted under PREFIX,
# deepest first, so the prefix can be removed, and ends the reader of a held
# copy it started. Silent when there is nothing to do.
#   scripts/e2e_case_teardown.sh PREFIX
set -uo pipefail
prefix=${1:?usage: e2e_case_teardown.sh PREFIX}
[ -d "$prefix" ] || exit 0
prefix=$(cd "$prefix" && pwd -P)
status=0
# A held copy's reader (e2e_case_setup.sh).
if [ -s "$prefix/oriel-hold.pid" ]; then
  kill "$(cat "$prefix/oriel-hold.pid")" 2>/dev/null
  rm -f "$prefix/oriel-hold.pid"
fi
# /proc/mounts writes blanks and other odd bytes in mount points as \ooo.
while IFS= read -r point; do
  [ -n "$point" ] || continue
  if ! umount "$point" 2>/dev/null && ! umount -l "$point"; then
    echo "e2e_case_teardown: cannot unmount $point" >&2
    status=1
  fi
done < <(awk -v prefix="$prefix" '{
    point = $2
    while (match(point, /\\[0-7][0-7][0-7]/)) {
      code = substr(point, RSTART + 1, 3)
      value = (substr(code, 1, 1) * 64) + (substr(code, 2, 1) * 8) + substr(code, 3, 1)
      point = substr(point, 1, RSTART - 1) sprintf("%c", value) substr(point, RSTART + 4)
    }
    if (point == prefix || index(point, prefix "/") == 1) print length(point) "\t" point
  }' /proc/mounts | sort -rn | cut -f2-)
exit $status
