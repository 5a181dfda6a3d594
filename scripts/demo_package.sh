#!/usr/bin/env bash
# Lays out the demo: Oriel.exe beside placeholder win2k and x64 packages.
# The placeholders only let the wizard run through; they are not a driver.
set -euo pipefail
dest=${1:?usage: demo_package.sh DIR Oriel.exe} exe=${2:?}
files="RKT4X.DLL uniDRVui.DLL uniDRV.DLL UNIDRV.HLP UNIRES.DLL TTFSUB.GPD STDNAMES.GPD RKUNI.ini RKUNI.dll
RKT410nocut.GPD RKT410cut.GPD RKT420nocut.GPD RKT420cut.GPD RKT430.GPD RKT430E.GPD RKMT430.GPD RKWT430.GPD
V5YYK.GPD RKT440.GPD RKKT410.GPD RKKT430.GPD RKKT440.GPD RKMT440.GPD RKWT440.GPD"
mkdir -p "$dest"
for folder in win2k x64; do
  mkdir -p "$dest/$folder"
  for f in $files; do
    printf 'Oriel demo placeholder %s\\%s - not a printer driver file.\r\n' "$folder" "$f" >"$dest/$folder/$f"
  done
done
cp "$exe" "$dest/Oriel.exe"
echo "demo: $dest (Oriel.exe, win2k, x64)"
