#!/usr/bin/env bash
# Signs a throwaway release the way `make dist SIGN_PFX=...` does, with a
# self-made certificate, and checks that the signature verifies, that the
# checksums are of the signed bytes and that Wine still starts the signed exe.
#   scripts/check_signing.sh <Oriel.exe> <win32|win64>
# The run target (scripts/wine_env.sh) says how Wine runs the exe: 32-bit code
# cannot run everywhere, so the 64-bit build stands in for the shipped one.
# Exits 77 (skipped) for the 32-bit exe where 32-bit code cannot run.
set -uo pipefail
exe=${1:?usage: check_signing.sh <Oriel.exe> <win32|win64>}
arch=${2:?usage: check_signing.sh <Oriel.exe> <win32|win64>}
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine_env.sh"
if oriel_target_needs_32bit "$arch" && ! oriel_can_run_32bit; then
  echo "signing: $(oriel_skip_32bit_line "the 64-bit build's signing run stands in")"
  exit 77
fi
oriel_use_target "$arch" || exit 1
export WINEDEBUG=-all
if [ -z "${DISPLAY:-}" ]; then
  echo "signing: no DISPLAY; run under xvfb-run (make test does)" >&2
  exit 1
fi

tmp=$(mktemp -d /tmp/oriel-signing.XXXXXX)
cleanup() {
  WINEPREFIX=$tmp/prefix oriel_wineserver_stop
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

pristine=$("$root/scripts/wine_prefix.sh" "$ORIEL_PREFIX_ARCH") || die "no $ORIEL_PREFIX_ARCH Wine prefix"
cp -a "$pristine" "$tmp/prefix"
export WINEPREFIX=$tmp/prefix
# Started, it opens the OS page and waits for the user; seeing that window
# is proof enough that the loader took the signed image.
"$WINE_APP" "$signed" >"$tmp/wine.log" 2>&1 &
pid=$!
for _ in $(seq 120); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"Select OS'; then
    kill "$pid" 2>/dev/null
    oriel_wineserver_stop
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
