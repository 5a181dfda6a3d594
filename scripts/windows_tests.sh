#!/usr/bin/env bash
# The Windows test kit: dist/Oriel-<version>-windows-tests.zip with the
# shipped exe, the 64-bit build, both end-to-end drivers, run-tests.cmd and
# how to run it (scripts/kit).
#   scripts/windows_tests.sh version [dist folder]
set -euo pipefail
version=${1:?usage: windows_tests.sh version [dist folder]}
root=$(cd "$(dirname "$0")/.." && pwd)
dist=${2:-$root/dist}
name="Oriel-$version-windows-tests"
out="$dist/$name"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)
fi
for file in build/mingw/Oriel.exe build/mingw/oriel_e2e.exe build/mingw64/Oriel.exe build/mingw64/oriel_e2e.exe; do
  [ -f "$root/$file" ] || { echo "windows-tests: $file is not built (make mingw mingw64)" >&2; exit 1; }
done
rm -rf "$out" "$dist/$name.zip"
mkdir -p "$out/x86" "$out/x64"
cp "$root/build/mingw/Oriel.exe" "$root/build/mingw/oriel_e2e.exe" "$out/x86/"
cp "$root/build/mingw64/Oriel.exe" "$root/build/mingw64/oriel_e2e.exe" "$out/x64/"
# The DLL a case plants beside Oriel.exe lies where the driver looks: planted\ beside it.
cp -r "$root/build/mingw/planted" "$out/x86/"
cp -r "$root/build/mingw64/planted" "$out/x64/"
# cmd reads a batch file's labels reliably only with CRLF line ends.
sed 's/$/\r/' "$root/scripts/kit/run-tests.cmd" >"$out/run-tests.cmd"
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' "$root/scripts/kit/README.txt" >"$out/README.txt"
find "$out" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
(cd "$dist" && find "$name" | LC_ALL=C sort | TZ=UTC zip -qX "$name.zip" -@)
echo "windows-tests: $dist/$name.zip"
