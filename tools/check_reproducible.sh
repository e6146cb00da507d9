#!/usr/bin/env bash
# Builds the Windows programs twice from the working tree, in two folders with paths
# of different lengths, at different times and in different time zones, and checks
# that the executables come out byte for byte the same.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly FIRST=build/repro/a
readonly SECOND=build/repro/second-build-in-a-longer-folder
readonly PROGRAMS=(windows-x64/tarnwicket.exe windows-x64/tarnwicket-sim.exe
                   windows-x86/tarnwicket.exe windows-x86/tarnwicket-sim.exe)

# A date the builds could fall back on would hide a time stamp in the output.
unset SOURCE_DATE_EPOCH
commit=$(git rev-parse --short=7 HEAD)

TZ=UTC+12 tools/build_windows_copy.sh "$FIRST" "$commit"
sleep 1  # the PE time stamp counts seconds
TZ=UTC-14 tools/build_windows_copy.sh "$SECOND" "$commit"

failed=0
for program in "${PROGRAMS[@]}"; do
  first="$FIRST/build/$program"
  second="$SECOND/build/$program"
  if cmp -s "$first" "$second"; then
    echo "same:   $(sha256sum "$first" | cut -c1-64)  $program"
  else
    failed=1
    echo "DIFFER: $program; first differing bytes (offset, octal values):"
    cmp -l "$first" "$second" | head -n 8 || true
  fi
done

if [ "$failed" -ne 0 ]; then
  echo "FAIL: the two builds differ. Look at the PE header and the sections:" \
       "x86_64-w64-mingw32-objdump -x <exe>." >&2
  exit 1
fi
echo "PASS: both builds gave the same executables."
