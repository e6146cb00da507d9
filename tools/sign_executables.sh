#!/usr/bin/env bash
# Signs executables with Authenticode (SHA-256) for the operator's package and checks
# each signature against the certificate's own chain. The certificate comes from the
# environment:
#   TARNWICKET_SIGNING_PFX            PKCS#12 file: the key, its certificate, the CA certificates
#   TARNWICKET_SIGNING_PASSWORD_FILE  file holding its password
#   TARNWICKET_TIMESTAMP_URL          optional: an RFC 3161 time stamp server
# Usage: tools/sign_executables.sh check           checks the certificate only
#        tools/sign_executables.sh sign EXE...     checks it, signs each EXE in place
#                                                  and verifies each signature
# The signing time is the committer date of HEAD, not the clock, so the same executable
# signed with the same certificate gives the same bytes (a time stamp from the server
# does not: it carries the server's time). The password goes to openssl and osslsigncode
# as the file's name, never on a command line.
set -euo pipefail

readonly DESCRIPTION="QUOLEX Tarnwicket"
readonly PFX=${TARNWICKET_SIGNING_PFX:-}
readonly PASSWORD_FILE=${TARNWICKET_SIGNING_PASSWORD_FILE:-}
fail() { echo "sign_executables.sh: $*" >&2; exit 1; }

case "${1:-}" in
  check|sign) mode=$1; shift ;;
  *) echo "usage: $0 check | sign EXE..." >&2; exit 2 ;;
esac
[ -n "$PFX" ] || fail "TARNWICKET_SIGNING_PFX does not name a PKCS#12 file"
[ -r "$PFX" ] || fail "cannot read the certificate file $PFX"
[ -n "$PASSWORD_FILE" ] || fail "TARNWICKET_SIGNING_PASSWORD_FILE does not name a password file"
[ -r "$PASSWORD_FILE" ] || fail "cannot read the password file $PASSWORD_FILE"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The certificates in the file, never the key. Files exported with older ciphers need
# OpenSSL's legacy provider.
certificates() {
  openssl pkcs12 -in "$PFX" -passin "file:$PASSWORD_FILE" -nokeys "$@" 2>/dev/null ||
    openssl pkcs12 -legacy -in "$PFX" -passin "file:$PASSWORD_FILE" -nokeys "$@" 2>/dev/null
}
certificates -clcerts -out "$work/signer.pem" ||
  fail "the password in $PASSWORD_FILE does not open $PFX"
end_date=$(openssl x509 -in "$work/signer.pem" -noout -enddate | cut -d= -f2)
openssl x509 -in "$work/signer.pem" -noout -checkend 0 >/dev/null ||
  fail "the certificate in $PFX expired on $end_date"
[ "$mode" = check ] && exit 0

# The chain to check against: the CA certificates the file carries (a self-signed
# certificate is its own CA). A file exported without its chain does not verify.
certificates -out "$work/chain.pem"
signing_time=$(git -C "$(dirname "$0")/.." log -1 --format=%ct HEAD)
time_stamp=()
if [ -n "${TARNWICKET_TIMESTAMP_URL:-}" ]; then time_stamp=(-ts "$TARNWICKET_TIMESTAMP_URL"); fi

for exe in "$@"; do
  osslsigncode sign -pkcs12 "$PFX" -readpass "$PASSWORD_FILE" -h sha256 -n "$DESCRIPTION" \
    -time "$signing_time" "${time_stamp[@]}" -in "$exe" -out "$work/signed.exe" >/dev/null ||
    fail "osslsigncode could not sign $exe"
  cp "$work/signed.exe" "$exe"
  rm "$work/signed.exe"  # osslsigncode will not overwrite its output
  if ! osslsigncode verify -CAfile "$work/chain.pem" -in "$exe" >"$work/verify.log" 2>&1; then
    grep -iE 'error|fail|mismatch' "$work/verify.log" | head -n 3 >&2 || true
    fail "the signature on $exe does not verify against the CA certificates in $PFX"
  fi
  # A time stamp nobody can check keeps nothing valid once the certificate expires.
  if [ ${#time_stamp[@]} -gt 0 ] &&
     ! grep -q 'Timestamp Server Signature verification: ok' "$work/verify.log"; then
    fail "the time stamp on $exe from $TARNWICKET_TIMESTAMP_URL does not verify" \
         "against the system's CA certificates"
  fi
done
