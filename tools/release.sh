#!/usr/bin/env bash
# Makes the operator's package: build/release/tarnwicket-<version>-<commit>.zip with
# x64/ and x86/tarnwicket.exe, demo/x64/ and demo/x86/tarnwicket-sim.exe, OPERATOR.txt
# and SHA256SUMS; for the service engineer, the recorder in service/x64/ and service/x86/
# (usbbridge.dll) and SERVICE.txt. The programs are built from a fresh copy of the working tree; the
# zip is the same bytes for the same content (fixed times, order and permissions).
# With TARNWICKET_SIGNING_PFX and TARNWICKET_SIGNING_PASSWORD_FILE set, every executable
# is signed (tools/sign_executables.sh); the certificate is checked before the build.
set -euo pipefail
# The certificate's files may be named relative to the folder release.sh starts in.
for var in TARNWICKET_SIGNING_PFX TARNWICKET_SIGNING_PASSWORD_FILE; do
  if [ -n "${!var:-}" ]; then export "$var=$(realpath -m -- "${!var}")"; fi
done
cd "$(dirname "$0")/.."

readonly SOURCE_COPY=build/release-src
readonly STAGE=build/release-stage
readonly OUT=build/release
readonly FLASH_IMAGE=assets/flash_image.bin
readonly MAX_OPERATOR_LINES=60

# Whatever stops this run, build/release/ holds no package afterwards: none from an
# earlier run that could pass for this one, and no half-made zip.
rm -rf "$STAGE" "$OUT"
trap 'rm -rf "$OUT"' EXIT
trap 'exit 1' INT TERM HUP

commit=$(git rev-parse --short=7 HEAD)
version=$(sed -n 's/^project(tarnwicket VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name="tarnwicket-$version-$commit"
if [ -n "$(git status --porcelain)" ]; then
  echo "release.sh: the working tree has uncommitted changes; the package holds them," \
       "but its version resource names commit $commit." >&2
fi

# The operator's and the service engineer's sheets: plain ASCII, a page at most, CRLF
# for Windows.
for sheet in packaging/OPERATOR.txt packaging/SERVICE.txt; do
  if LC_ALL=C grep -q '[^ -~]' "$sheet"; then
    echo "release.sh: $sheet holds characters other than plain ASCII" >&2
    exit 1
  fi
  if [ "$(wc -l < "$sheet")" -gt "$MAX_OPERATOR_LINES" ]; then
    echo "release.sh: $sheet is longer than $MAX_OPERATOR_LINES lines" >&2
    exit 1
  fi
done

if [ -n "${TARNWICKET_SIGNING_PFX:-}" ]; then
  tools/sign_executables.sh check
  echo "release.sh: signing every executable with the certificate in $TARNWICKET_SIGNING_PFX"
else
  echo "release.sh: TARNWICKET_SIGNING_PFX is not set: the package is made unsigned"
fi

tools/build_windows_copy.sh "$SOURCE_COPY" "$commit"

mkdir -p "$STAGE/x64" "$STAGE/x86" "$STAGE/demo/x64" "$STAGE/demo/x86" "$OUT"
mkdir -p "$STAGE/service/x64" "$STAGE/service/x86"
for width in x64 x86; do
  cp "$SOURCE_COPY/build/windows-$width/tarnwicket.exe" "$STAGE/$width/"
  cp "$SOURCE_COPY/build/windows-$width/tarnwicket-sim.exe" "$STAGE/demo/$width/"
  cp "$SOURCE_COPY/build/windows-$width/recorder/usbbridge.dll" "$STAGE/service/$width/"
done
sed 's/$/\r/' packaging/OPERATOR.txt > "$STAGE/OPERATOR.txt"
sed 's/$/\r/' packaging/SERVICE.txt > "$STAGE/SERVICE.txt"

# Signed before the checksums, so that SHA256SUMS covers the files as shipped.
if [ -n "${TARNWICKET_SIGNING_PFX:-}" ]; then
  tools/sign_executables.sh sign "$STAGE"/x64/*.exe "$STAGE"/x86/*.exe "$STAGE"/demo/*/*.exe \
    "$STAGE"/service/*/usbbridge.dll
fi

# Every executable carries the flash image verbatim; its hash says which image it is.
for exe in "$STAGE"/x64/*.exe "$STAGE"/x86/*.exe "$STAGE"/demo/*/*.exe; do
  python3 - "$FLASH_IMAGE" "$exe" <<'PY'
import sys
image, exe = (open(path, "rb").read() for path in sys.argv[1:3])
if image not in exe:
    sys.exit(f"release.sh: {sys.argv[2]} does not hold {sys.argv[1]} verbatim")
PY
done
image_sha256=$(sha256sum "$FLASH_IMAGE" | cut -c1-64)
image_bytes=$(stat -c %s "$FLASH_IMAGE")

# The files in the current folder and below, in a fixed order.
list_files() { find . -type f -printf '%P\n' | LC_ALL=C sort; }
# shellcheck disable=SC2046  # file names without blanks, one a line
sums=$(cd "$STAGE" && sha256sum $(list_files))
printf '%s\n# %s  flash image inside every .exe above (%s bytes)\n' \
  "$sums" "$image_sha256" "$image_bytes" > "$STAGE/SHA256SUMS"
(cd "$STAGE" && sha256sum --check --strict --quiet SHA256SUMS)

# Same content, same zip: the commit's time on every entry, fixed order and modes.
epoch=$(git log -1 --format=%ct HEAD)
find "$STAGE" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
find "$STAGE" -exec touch -h -d "@$epoch" {} +
# shellcheck disable=SC2046
(cd "$STAGE" && TZ=UTC zip -X -D -9 -q "../../$OUT/$name.zip" $(list_files))
trap - EXIT

echo
echo "Package: $OUT/$name.zip"
echo "SHA256SUMS:"
cat "$STAGE/SHA256SUMS"
echo "Zip:"
(cd "$OUT" && sha256sum "$name.zip")
