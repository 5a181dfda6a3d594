#!/usr/bin/env bash
# Release layout: dist/Oriel-<version>/ with the exe, a deployment note and
# checksums, plus a zip of it. The maker's driver folders are not ours to ship.
set -euo pipefail
exe=${1:?usage: dist.sh Oriel.exe version}
version=${2:?}
root=$(cd "$(dirname "$0")/.." && pwd)
name="Oriel-$version"
out="$root/dist/$name"
rm -rf "$out" "$root/dist/$name.zip"
mkdir -p "$out"
cp "$exe" "$out/Oriel.exe"
cat >"$out/README.txt" <<TXT
Oriel $version - receipt printer driver installer

Deploying
  1. Put Oriel.exe in one folder together with the printer maker's two
     driver folders, named exactly:
       win2k\\   the 32-bit driver package (used on 32-bit Windows)
       x64\\     the 64-bit driver package (used on 64-bit Windows)
  2. Run Oriel.exe as administrator (it asks for elevation itself).
  3. Pick the model and the port, press Install.

Exit status (for scripted installs)
  0  a printer was installed
  1  the wizard ended without installing
  2  an installation was attempted and failed (a message said why)

Supported: Windows XP SP3 and later, 32-bit and 64-bit.
TXT
sed -i 's/$/\r/' "$out/README.txt"
(cd "$out" && sha256sum Oriel.exe README.txt >SHA256SUMS)
(cd "$root/dist" && zip -qr "$name.zip" "$name")
echo "dist: $out and dist/$name.zip"
