#!/usr/bin/env bash
# Starts tarnwicket-sim.exe, the updater with its built-in simulated unit, under Wine.
# With a DISPLAY it is left to the person at the screen and this waits until it is
# closed. Without one it runs on a virtual display: the test driver performs an
# update, screenshots go to build/demo/, and the status lines are reported.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine_session.sh

readonly BUILD=build/windows-x64
readonly DRIVER="$BUILD/tests/test_driver.exe"
readonly SHOTS=build/demo
readonly STEP_TIMEOUT_S=180

for file in "$BUILD/tarnwicket-sim.exe" "$DRIVER"; do
    if [ ! -f "$file" ]; then
        echo "Missing $file: build the Windows presets first (make windows)." >&2
        exit 1
    fi
done

if [ -n "${DISPLAY:-}" ]; then
    wine_session_start demo
    echo "tarnwicket-sim.exe runs on $DISPLAY; choose Update > Update Firmware, close it to end."
    status=0
    (cd "$BUILD" && wine tarnwicket-sim.exe) || status=$?
    echo "tarnwicket-sim.exe ended with code $status"
    exit "$status"
fi

wine_session_start demo
mkdir -p "$SHOTS"

# The main window as it is on the screen, or the whole screen if it cannot be found.
screenshot() {
    local file="$SHOTS/$1.png" geometry
    geometry="$(xdotool search --name '^QUOLEX Tarnwicket$' getwindowgeometry --shell 2>/dev/null |
        head -n 5 | tr '\n' ' ' || true)"
    if [[ "$geometry" =~ X=([0-9]+).*Y=([0-9]+).*WIDTH=([0-9]+).*HEIGHT=([0-9]+) ]]; then
        import -window root -crop "${BASH_REMATCH[3]}x${BASH_REMATCH[4]}+${BASH_REMATCH[1]}+${BASH_REMATCH[2]}" \
            +repage "$file"
    else
        import -window root "$file"
    fi
    echo "  screenshot: $file"
}

# The driver works the program as an operator would, the steps of a Windows check
# (docs/testing.md), in a folder of its own; it says each step it has done.
log="$SHOTS/driver.txt" run="$SHOTS/run" driver_exe="$(windows_path "$BUILD/tests")\\test_driver.exe"
rm -rf "$run" && mkdir -p "$run" && cp "$BUILD/tarnwicket-sim.exe" "$run/"
printf '%s\n' 'start|tarnwicket-sim.exe' 'line|100|Close other software (e.g. GUI)' command\|110 \
    'line|30|Do NOT turn power OFF' 'line|10|FLASH update ok' \
    'line|30|You must power cycle your unit' shutdown\|yes command\|105 exit\|0 >"$run/steps.txt"
(cd "$run" && timeout "$STEP_TIMEOUT_S" wine "$driver_exe" demo) \
    >"$log" 2>&1 &
driver=$!

# seen STEP: waits until the driver has done STEP, or has stopped.
seen() {
    until grep -qF "did  $1" "$log" 2>/dev/null; do
        kill -0 "$driver" 2>/dev/null || { cat "$log"; echo "Demo failed before: $1" >&2; exit 1; }
        sleep 0.1
    done
}

seen 'line|100|Close other software'
echo "At start: the four start-up lines"
screenshot startup
seen 'command|110'
started=$(date +%s.%N)
echo "Chose Update > Update Firmware"
seen 'line|30|Do NOT turn power OFF'
sleep 3  # into the flash write: the progress on line 1
screenshot during-update
seen 'line|10|FLASH update ok'
finished=$(date +%s.%N)
# Fixed pauses up to "FLASH update ok": 10 s + 1 s + 12.5 s; then 8,185 exchanges at
# about 1 ms each with the demo unit.
awk -v s="$started" -v f="$finished" 'BEGIN {
    printf "From Update Firmware to \"FLASH update ok\": %.1f s (ideal 23.5 s + 8,185 x 1 ms = 31.7 s)\n", f - s }'
seen 'shutdown|yes'
echo "After the update: \"FLASH update ok\", \"You must power cycle your unit\""
screenshot after-update
status=0
wait "$driver" || status=$?
tr -d '\r' <"$log" | grep -E '^(ok|FAIL)' 
[ "$status" -eq 0 ] || { echo "Demo failed: the driver ended with $status" >&2; exit 1; }
echo "tarnwicket-sim.exe ended with code 0 after Exit. Screenshots are in $SHOTS/."
