#!/usr/bin/env bash
# Starts tarnwicket-sim.exe, the updater with its built-in simulated unit, under Wine.
# With a DISPLAY it is left to the person at the screen and this waits until it is
# closed. Without one it runs on a virtual display: the test driver performs an
# update, screenshots go to build/demo/, and the status lines are reported.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine_session.sh

readonly BUILD=build/windows-x64
readonly DRIVER="$BUILD/tests/windows/test_driver.exe"
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

step() {
    timeout "$STEP_TIMEOUT_S" wine "$DRIVER" step "$@" | tr -d '\r'
}

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

# Shows what the lines say, then takes the screenshot of that moment.
report() {
    echo "$1:"
    step lines
    screenshot "$2"
}

fail() {
    echo "Demo failed: $1" >&2
    exit 1
}

(cd "$BUILD" && exec wine tarnwicket-sim.exe) &
program=$!

step wait-window 30 || fail "the main window did not appear"
step wait-line 100 "Close other software" 10 || fail "the start-up lines were not drawn"
report "At start" startup

echo "Choosing Update > Update Firmware"
started=$(date +%s.%N)
step command 110 || fail "the Update Firmware command could not be sent"
step wait-line 10 "Flash write:" 60 || fail "the flash write did not start"
report "During the update" during-update

step wait-line 10 "FLASH update ok" 120 || fail "the update did not finish"
finished=$(date +%s.%N)
# Fixed pauses up to "FLASH update ok": 10 s + 1 s + 12.5 s; then 8,185 exchanges at
# about 1 ms each with the demo unit.
awk -v s="$started" -v f="$finished" 'BEGIN {
    printf "From Update Firmware to \"FLASH update ok\": %.1f s (ideal 23.5 s + 8,185 x 1 ms = 31.7 s)\n", f - s }'
step wait-line 30 "You must power cycle your unit" 10 || fail "the final instructions are missing"
sleep 2  # the update winds up: leaves programming mode, resets the unit
report "After the update" after-update

echo "Choosing Update > Exit"
step command 105 || fail "the Exit command could not be sent"
for _ in $(seq 1 100); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$program" 2>/dev/null; then
    fail "tarnwicket-sim.exe still runs 10 s after Exit"
fi
status=0
wait "$program" || status=$?
[ "$status" -eq 0 ] || fail "tarnwicket-sim.exe ended with code $status, expected 0"
echo "tarnwicket-sim.exe ended with code 0. Screenshots are in $SHOTS/."
