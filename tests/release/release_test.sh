#!/usr/bin/env bash
# What make release ships: executables that come out the same from another folder,
# another time and time zone, and signatures that verify against their CA and nothing
# else. Signs the built programs with a throwaway CA made here, the way make release
# does, makes a signed release, and two that must stop before building. Leaves the
# signed x64 tarnwicket.exe in build/release-test/signed/ for the Windows tests.
set -euo pipefail
cd "$(dirname "$0")/../.."

readonly DIR=build/release-test CA=build/release-test/ca
passed=0 failed=0
check() {  # check WHAT-WENT-WRONG COMMAND...
    if "${@:2}" >/dev/null 2>&1; then passed=$((passed + 1)); else failed=$((failed + 1)) && echo "FAIL: $1"; fi
}
trap 'echo "FAIL: line $LINENO stopped the test"; echo "$passed passed, $((failed + 1)) failed"' ERR

# A CA; from it a code-signing certificate, packed with the CA and without it, and one
# that expired in 2020.
rm -rf "$DIR" && mkdir -p "$CA" "$DIR/signed/x86" && touch "$CA/index"
printf '%s\n' '[ca]' default_ca=d '[d]' database=index new_certs_dir=. certificate=ca.pem private_key=ca.key \
    policy=p rand_serial=yes default_md=sha256 copy_extensions=copy '[p]' commonName=supplied >"$CA/ca.cnf"
echo 'test password' >"$CA/password" && echo 'another password' >"$CA/wrong"
(cd "$CA" && openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -subj /CN=CA -days 2
 for cert in good:20990101 expired:20200201; do
     c=${cert%:*}
     openssl req -newkey rsa:2048 -nodes -keyout "$c.key" -out "$c.csr" -subj "/CN=$c" -addext extendedKeyUsage=codeSigning
     openssl ca -batch -config ca.cnf -notext -in "$c.csr" -out "$c.pem" -startdate 20200101000000Z -enddate "${cert#*:}000000Z"
     openssl pkcs12 -export -in "$c.pem" -inkey "$c.key" -certfile ca.pem -passout file:password -out "$c.pfx"
 done
 openssl pkcs12 -export -in good.pem -inkey good.key -passout file:password -out nochain.pfx) 2>"$CA/log"
export TARNWICKET_SIGNING_PFX=$CA/good.pfx TARNWICKET_SIGNING_PASSWORD_FILE=$CA/password && unset TARNWICKET_TIMESTAMP_URL

# A signature verifies against the CA, with SHA-256, the program's name and the commit's time.
signed_at=$(date -u -d "@$(git log -1 --format=%ct HEAD)" '+%b %e %H:%M:%S %Y GMT')
signed() {
    osslsigncode verify -CAfile "$CA/ca.pem" -in "$1" 2>&1 | tr '\n' '~' |
        grep -q "digest algorithm: SHA256.*Signing time: $signed_at.*description: QUOLEX Tarnwicket"
}
cp build/windows-x64/tarnwicket{,-sim}.exe "$DIR/signed/" && cp build/windows-x86/tarnwicket.exe "$DIR/signed/x86/"
for copy in again nochain; do cp build/windows-x64/tarnwicket.exe "$DIR/$copy.exe"; done
check "signing failed" tools/sign_executables.sh sign "$DIR"/signed/{,x86/}*.exe "$DIR/again.exe"
check "tarnwicket.exe signed twice gave different bytes" cmp "$DIR/signed/tarnwicket.exe" "$DIR/again.exe"
check "a signature that does not verify against the CA went through" \
    env TARNWICKET_SIGNING_PFX=$CA/nochain.pfx sh -c "! tools/sign_executables.sh sign $DIR/nochain.exe"
perl -0777 -pe 'substr($_, 4096, 1) ^= "\x01"' "$DIR/signed/tarnwicket.exe" >"$DIR/changed.exe"
check "a copy with one byte changed verifies" sh -c "! osslsigncode verify -CAfile $CA/ca.pem -in $DIR/changed.exe"

# The signed package, built from a fresh copy in another folder and time zone: every
# executable signed, SHA256SUMS over the files as shipped, and the same executables
# as those built here, once their signatures are left aside.
check "the signed release failed: $DIR/release.log" sh -c "TZ=UTC-14 tools/release.sh >$DIR/release.log 2>&1"
python3 -m zipfile -e build/release/*.zip "$DIR/package"
# Loaded where Windows picks at each start (above 4 GB on x64), no code run from its data.
hardened() {
    local marks=$(x86_64-w64-mingw32-objdump -p "$1" | grep -owE 'DYNAMIC_BASE|NX_COMPAT|HIGH_ENTROPY_VA' | sort -u)
    [ "$(echo $marks)" = "$(echo DYNAMIC_BASE $([[ $1 == */x86/* ]] || echo HIGH_ENTROPY_VA) NX_COMPAT)" ]
}
for exe in "$DIR"/signed/{,x86/}*.exe "$DIR"/package/{x64,x86,demo/x64,demo/x86}/*.exe \
    "$DIR"/package/service/{x64,x86}/usbbridge.dll; do
    check "$exe: not signed as it should be" signed "$exe"
    check "$exe: lacks one of DYNAMIC_BASE, NX_COMPAT, (x64) HIGH_ENTROPY_VA" hardened "$exe"
    # A thread that uses the C runtime is started by it (_beginthreadex).
    check "$exe: starts a thread with CreateThread" sh -c "! x86_64-w64-mingw32-objdump -p $exe | grep -qw CreateThread"
done
check "SHA256SUMS does not match the packaged files" env -C "$DIR/package" sha256sum --check --strict SHA256SUMS
for exe in windows-{x64,x86}/tarnwicket{,-sim}.exe windows-{x64,x86}/recorder/usbbridge.dll; do
    check "$exe comes out different from another folder" cmp "build/$exe" "build/release-src/build/$exe"
done

# A bad certificate stops the release before the build, leaving no zip, not even an earlier one.
stops() {  # stops WHAT MESSAGE VARIABLE=VALUE
    mkdir -p build/release build/release-src && touch build/release/earlier.zip build/release-src/kept
    check "the release with $1 went on, or did not say: $2" \
        sh -c "! env $3 tools/release.sh >$DIR/stop.log 2>&1 && grep -qF '$2' $DIR/stop.log"
    check "the release with $1 left a zip, or began building" \
        sh -c "! ls build/release/*.zip && test -e build/release-src/kept"
}
stops "an expired certificate" "expired on Feb  1 00:00:00 2020 GMT" TARNWICKET_SIGNING_PFX=$CA/expired.pfx
stops "a wrong password" "the password in $PWD/$CA/wrong does not open" TARNWICKET_SIGNING_PASSWORD_FILE=$CA/wrong

echo "$passed passed, $failed failed"
exit $((failed > 0))
