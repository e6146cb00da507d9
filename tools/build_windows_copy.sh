#!/usr/bin/env bash
# Builds tarnwicket.exe and tarnwicket-sim.exe for both widths from a fresh copy of
# the working tree: the tracked files and the untracked ones git does not ignore, as
# they are now, committed or not. Nothing of an earlier build comes along.
# Usage: tools/build_windows_copy.sh <folder under build/> <short commit id>
# The programs end up in <folder>/build/windows-x64/ and <folder>/build/windows-x86/.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly DEST=${1:?folder under build/}
readonly COMMIT=${2:?short commit id}
readonly PRESETS=(windows-x64 windows-x86)

case "$DEST" in
  build/?*) ;;
  *) echo "build_windows_copy.sh: $DEST is not a folder under build/" >&2; exit 2 ;;
esac

# The copy is outside git: it is told the build number and whether the tree is a clean
# commit, as a build in the tree works them out (cmake/write_version_header.cmake).
build_number=$(git rev-list --count HEAD)
private_build=$([ -z "$(git status --porcelain)" ] && echo 0 || echo 1)

rm -rf "$DEST"
mkdir -p "$DEST"
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do
    if [ -e "$file" ]; then printf '%s\0' "$file"; fi  # skip files deleted but tracked
  done |
  xargs -0 cp -P --parents -t "$DEST"

cd "$DEST"
for preset in "${PRESETS[@]}"; do
  cmake --preset "$preset" -DTARNWICKET_COMMIT="$COMMIT" -DTARNWICKET_BUILD_NUMBER="$build_number" \
    -DTARNWICKET_PRIVATE_BUILD="$private_build" >/dev/null
  cmake --build --preset "$preset" --target tarnwicket tarnwicket-sim usbbridge_recorder
done
