#!/usr/bin/env bash
# Signs the built programs through tools/sign_executables.sh, as make release does, with
# a throwaway CA made here; then makes a signed release, and two that must stop before
# building. Leaves the signed x64 tarnwicket.exe in build/signing-test/signed/.
set -euo pipefail
cd "$(dirname "$0")/../.."

readonly DIR=build/signing-test CA=build/signing-test/ca
passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
ok() { if "${@:2}" >/dev/null 2>&1; then pass; else fail "$1"; fi; }  # ok WHY-NOT COMMAND...
trap 'fail "line $LINENO stopped the test"; echo "$passed passed, $failed failed"' ERR

# A CA, a code-signing certificate from it (packed with the CA, and without it) and one
# that expired in 2020.
rm -rf "$DIR" && mkdir -p "$CA" "$DIR/signed/x86" && touch "$CA/index"
printf '%s\n' '[ca]' default_ca=d '[d]' database=index new_certs_dir=. certificate=ca.pem private_key=ca.key \
  policy=p rand_serial=yes default_md=sha256 copy_extensions=copy '[p]' commonName=supplied >"$CA/ca.cnf"
echo 'test password' >"$CA/password" && echo 'another password' >"$CA/wrong"
(cd "$CA" && openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -subj /CN=CA -days 2
 for cert in good:20990101 expired:20200201; do c=${cert%:*}  # the name, and the day it expires
   openssl req -newkey rsa:2048 -nodes -keyout "$c.key" -out "$c.csr" -subj "/CN=$c" -addext extendedKeyUsage=codeSigning
   openssl ca -batch -config ca.cnf -notext -in "$c.csr" -out "$c.pem" -startdate 20200101000000Z -enddate ${cert#*:}000000Z
   openssl pkcs12 -export -in "$c.pem" -inkey "$c.key" -certfile ca.pem -passout file:password -out "$c.pfx"
 done
 openssl pkcs12 -export -in good.pem -inkey good.key -passout file:password -out nochain.pfx) 2>"$CA/log"
export TARNWICKET_SIGNING_PFX=$CA/good.pfx TARNWICKET_SIGNING_PASSWORD_FILE=$CA/password && unset TARNWICKET_TIMESTAMP_URL

# A good signature verifies against the CA and shows SHA-256, the program's name and the commit's time.
signed_at=$(date -u -d "@$(git log -1 --format=%ct HEAD)" '+%b %e %H:%M:%S %Y GMT')
check_signature() {
  local shown; shown=$(osslsigncode verify -CAfile "$CA/ca.pem" -in "$1" 2>&1) || { fail "$1 does not verify"; return; }
  for want in 'digest algorithm: SHA256' 'description: QUOLEX Tarnwicket' "Signing time: $signed_at"; do
    grep -qF "$want" <<<"$shown" || { fail "$1: its signature does not show '$want'"; return; }
  done && pass
}

# The three programs, and the x64 one twice more: signed again, and with a certificate
# whose file lacks its CA, which must not verify and so must stop the signing.
cp build/windows-x64/tarnwicket.exe build/windows-x64/tarnwicket-sim.exe "$DIR/signed/"
cp build/windows-x86/tarnwicket.exe "$DIR/signed/x86/"
for copy in again nochain; do cp build/windows-x64/tarnwicket.exe "$DIR/$copy.exe"; done
ok "signing the programs failed" tools/sign_executables.sh sign "$DIR"/signed/{,x86/}*.exe "$DIR/again.exe"
for exe in "$DIR"/signed/{,x86/}*.exe; do check_signature "$exe"; done
ok "tarnwicket.exe signed twice gave different bytes" cmp "$DIR/signed/tarnwicket.exe" "$DIR/again.exe"
TARNWICKET_SIGNING_PFX=$CA/nochain.pfx tools/sign_executables.sh sign "$DIR/nochain.exe" 2>/dev/null &&
  fail "a signature that does not verify against the CA went through" || pass
# One byte of code changed, which the signature covers.
perl -0777 -pe 'substr($_, 4096, 1) ^= "\x01"' "$DIR/signed/tarnwicket.exe" >"$DIR/changed.exe"
osslsigncode verify -CAfile "$CA/ca.pem" -in "$DIR/changed.exe" >/dev/null 2>&1 &&
  fail "a copy with one byte changed verifies" || pass

# The package: every executable signed, SHA256SUMS over the files as shipped.
if tools/release.sh >"$DIR/release.log" 2>&1 && python3 -m zipfile -e build/release/*.zip "$DIR/package"; then
  for exe in {x64,x86}/tarnwicket.exe demo/{x64,x86}/tarnwicket-sim.exe; do check_signature "$DIR/package/$exe"; done
  ok "SHA256SUMS does not match the packaged files" env -C "$DIR/package" sha256sum --check --strict SHA256SUMS
else fail "the signed release failed, see $DIR/release.log"; fi

# A bad certificate stops the release before the build, leaving no zip, not even an earlier one.
stops() {  # stops WHAT MESSAGE VARIABLE=VALUE
  mkdir -p build/release build/release-src && touch build/release/earlier.zip build/release-src/kept
  env "${@:3}" tools/release.sh >"$DIR/stop.log" 2>&1 && fail "the release with $1 went on" || pass
  ok "the release with $1 did not say: $2" grep -qF "$2" "$DIR/stop.log"
  compgen -G 'build/release/*.zip' >/dev/null && fail "the release with $1 left a zip" || pass
  ok "the release with $1 began building" test -e build/release-src/kept
}
stops "an expired certificate" "expired on Feb  1 00:00:00 2020 GMT" TARNWICKET_SIGNING_PFX="$CA/expired.pfx"
stops "a wrong password" "the password in $PWD/$CA/wrong does not open" TARNWICKET_SIGNING_PASSWORD_FILE="$CA/wrong"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] || exit 1
