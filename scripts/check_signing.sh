#!/usr/bin/env bash
# Signs a throwaway release the way `make dist SIGN_PFX=...` does, with a
# self-made certificate, and checks that the signature verifies, that the
# checksums are of the signed bytes and that Wine still starts the signed exe.
#   scripts/check_signing.sh <Oriel.exe> <win32|win64>
# The arch names the Wine prefix the exe runs in: 32-bit code cannot run
# everywhere, so a 64-bit build can stand in for the shipped one.
set -uo pipefail
exe=${1:?usage: check_signing.sh <Oriel.exe> <win32|win64>}
arch=${2:?usage: check_signing.sh <Oriel.exe> <win32|win64>}
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEDEBUG=-all
if [ -z "${DISPLAY:-}" ]; then
  echo "signing: no DISPLAY; run under xvfb-run (make test does)" >&2
  exit 1
fi

tmp=$(mktemp -d /tmp/oriel-signing.XXXXXX)
cleanup() {
  WINEPREFIX=$tmp/prefix wineserver -k >/dev/null 2>&1
  WINEPREFIX=$tmp/prefix wineserver -w >/dev/null 2>&1
  rm -rf "$tmp"
}
trap cleanup EXIT
die() { echo "signing: FAIL, $*"; exit 1; }

# A password with a space and shell characters, as real ones have.
password='throw away; $1 "x"'
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Oriel throwaway signer" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
  -keyout "$tmp/key.pem" -out "$tmp/cert.pem" >/dev/null 2>&1 || die "openssl could not make a certificate"
openssl pkcs12 -export -inkey "$tmp/key.pem" -in "$tmp/cert.pem" -out "$tmp/signer.pfx" \
  -passout fd:3 3<<<"$password" || die "openssl could not make a pfx"

SIGN_PFX=$tmp/signer.pfx SIGN_PASSWORD=$password "$root/scripts/dist.sh" "$exe" roundtrip "$tmp/dist" ||
  die "dist.sh could not sign"
out=$tmp/dist/Oriel-roundtrip
signed=$out/Oriel.exe

# The self-made root is trusted for this check only.
report=$(osslsigncode verify -CAfile "$tmp/cert.pem" -in "$signed" 2>&1) ||
  { printf '%s\n' "$report"; die "osslsigncode verify rejects the signed exe"; }
for want in "Message digest algorithm: SHA256" "Text description: Oriel" "URL description: http"; do
  grep -q "$want" <<<"$report" || { printf '%s\n' "$report"; die "the signature lacks \"$want\""; }
done
echo "signing: ok    osslsigncode verify accepts the SHA-256 signature"
(cd "$out" && sha256sum --quiet -c SHA256SUMS) || die "SHA256SUMS does not match the signed files"
echo "signing: ok    SHA256SUMS matches the signed exe"

pristine=$("$root/scripts/wine_prefix.sh" "$arch") || die "no $arch Wine prefix"
cp -a "$pristine" "$tmp/prefix"
export WINEPREFIX=$tmp/prefix
if [ "$arch" = win32 ]; then export WINEARCH=win32; else export WINEARCH=win64; fi
# Started, it opens the OS page and waits for the user; seeing that window
# is proof enough that the loader took the signed image.
wine "$signed" >"$tmp/wine.log" 2>&1 &
pid=$!
for _ in $(seq 120); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"Select OS'; then
    kill "$pid" 2>/dev/null
    wineserver -k >/dev/null 2>&1
    wait "$pid" 2>/dev/null
    echo "signing: ok    Wine ($arch) starts the signed exe; it opened its first page and was stopped"
    exit 0
  fi
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"
    status=$?
    cat "$tmp/wine.log"
    die "the signed exe ended with status $status before opening a window"
  fi
  sleep 0.5
done
cat "$tmp/wine.log"
die "no window from the signed exe within a minute"
