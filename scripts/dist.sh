#!/usr/bin/env bash
# Release layout: dist/Oriel-<version>/ with the exe, a deployment note and
# checksums, plus a zip of it. The maker's driver folders are not ours to ship.
#   scripts/dist.sh Oriel.exe version [dist folder]
# Signs the exe when SIGN_PFX is set (SIGN_PASSWORD, SIGN_TIMESTAMP_URL and
# SIGN_URL come from the environment too, so the password stays off command
# lines).
set -euo pipefail
exe=${1:?usage: dist.sh Oriel.exe version [dist folder]}
version=${2:?}
root=$(cd "$(dirname "$0")/.." && pwd)
dist=${3:-$root/dist}
name="Oriel-$version"
out="$dist/$name"
# Zip entries carry file times; the last commit's time keeps the zip the same
# on a rebuild.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH

# Authenticode, so that the elevation prompt names a publisher instead of
# "Unknown publisher".
sign_exe() {
  local file=$1 log
  # The password through a descriptor, never on the command line; a path,
  # since osslsigncode before 2.9 takes no "-" for standard input.
  local args=(sign -pkcs12 "$SIGN_PFX" -h sha256 -n "Oriel"
              -i "${SIGN_URL:-https://example.com/oriel}")
  # The build machines have no network: a timestamp only when asked for.
  if [ -n "${SIGN_TIMESTAMP_URL:-}" ]; then args+=(-ts "$SIGN_TIMESTAMP_URL"); fi
  if ! log=$(osslsigncode "${args[@]}" -readpass /dev/fd/3 -in "$file" -out "$file.signed" 2>&1 \
             3<<<"${SIGN_PASSWORD:-}"); then
    printf '%s\n' "$log" >&2
    echo "dist: signing with $SIGN_PFX failed" >&2
    rm -f "$file.signed"
    return 1
  fi
  mv "$file.signed" "$file"
}

mkdir -p "$dist"
rm -rf "$out" "$dist/$name.zip"
mkdir -p "$out"
cp "$exe" "$out/Oriel.exe"
if [ -n "${SIGN_PFX:-}" ]; then
  # No half-made release beside a failed signature.
  sign_exe "$out/Oriel.exe" || { rm -rf "$out"; exit 1; }
  signed="signed with $SIGN_PFX"
  if [ -z "${SIGN_TIMESTAMP_URL:-}" ]; then signed="$signed, no timestamp"; fi
else
  echo "dist: the release is UNSIGNED (make dist SIGN_PFX=<file.pfx> SIGN_PASSWORD=<password> signs it)"
  signed=unsigned
fi
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
  0  a printer was installed with every setting
  1  the wizard ended without installing
  2  an installation was attempted and failed: no printer was installed
     (a message said why)
  3  the printer was installed, but a setting (the default printer, the
     serial port's settings) was not written (a message named it)

Supported: Windows XP SP3 and later, 32-bit and 64-bit.

Checking the download
  SHA256SUMS lists the SHA-256 of each file. On Windows:
    certutil -hashfile Oriel.exe SHA256
  and compare the printed hash with the line for Oriel.exe. Elsewhere, in
  this folder:
    sha256sum -c SHA256SUMS
  A signed Oriel.exe shows its signer in the file's Properties, on the
  Digital Signatures tab (the tab is missing when the file is unsigned).
TXT
sed -i 's/$/\r/' "$out/README.txt"
# After signing: the sums are of the bytes people download.
(cd "$out" && sha256sum Oriel.exe README.txt >SHA256SUMS)
find "$out" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
(cd "$dist" && find "$name" | LC_ALL=C sort | TZ=UTC zip -qX "$name.zip" -@)
echo "dist: $out and $dist/$name.zip ($signed)"
