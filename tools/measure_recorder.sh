#!/usr/bin/env bash
# What the recorder costs an update: the whole x64 update under Wine, once beside the
# stand-in vendor library alone, once with the recorder as usbbridge.dll and the
# stand-in renamed usbbridge-vendor.dll. Prints both times, their ratio and the size of
# the trace. The two take turns, ROUNDS times each (3 by default), and the medians are
# compared: a run under Wine varies by some per cent on its own. Needs the windows-x64
# build.
set -euo pipefail
cd "$(dirname "$0")/.."
unset DISPLAY
source tools/wine_session.sh

readonly X64=build/windows-x64 RUNS=build/wine/measure
wine_session_start measure
rm -rf "$RUNS" && mkdir -p "$RUNS/plain" "$RUNS/recorded"
cp $X64/tarnwicket.exe $X64/standin/usbbridge.dll "$RUNS/plain/"
cp $X64/tarnwicket.exe $X64/recorder/usbbridge.dll "$RUNS/recorded/"
cp $X64/standin/usbbridge.dll "$RUNS/recorded/usbbridge-vendor.dll"
driver="$(windows_path $X64/tests)\\test_driver.exe"

# update NAME: seconds the update took in build/wine/measure/NAME.
update() {
    local start=$(date +%s.%N)
    (cd "$RUNS/$1" && timeout 180 wine "$driver" "$1" 'start|.\tarnwicket.exe|0|0' command\|110 \
        "line|10|FLASH update ok" "line|30|You must power cycle your unit" shutdown\|yes command\|105 exit\|0 >driver.txt 2>&1)
    local end=$(date +%s.%N)
    tr -d '\r' <"$RUNS/$1/driver.txt" | grep -q '^ok' || { echo "the $1 update failed:" >&2; cat "$RUNS/$1/driver.txt" >&2; exit 1; }
    echo "$end - $start" | bc
}
median() { sort -n | sed -n "$(((${ROUNDS:-3} + 1) / 2))p"; }
for _ in $(seq "${ROUNDS:-3}"); do
    update plain >>"$RUNS/plain.txt"
    update recorded >>"$RUNS/recorded.txt"
done
plain=$(median <"$RUNS/plain.txt") recorded=$(median <"$RUNS/recorded.txt")
echo "plain update:    $plain s (median of $(tr '\n' ' ' <"$RUNS/plain.txt"))"
echo "recorded update: $recorded s (median of $(tr '\n' ' ' <"$RUNS/recorded.txt"))"
echo "ratio:           $(echo "scale=4; $recorded / $plain" | bc)"
trace=$RUNS/recorded/usbbridge-trace-1.txt  # one of the recorded updates, as they are alike
echo "trace:           $(stat -c %s "$trace") bytes, $(wc -l <"$trace") lines"
