#!/usr/bin/env bash
# The Windows tests: the x86_64 programs through the whole set of checks, the i686
# programs through the smoke set, each driven by the test driver of its own width in
# one private Wine prefix (32-bit programs run there through WoW64), on a virtual
# display when no DISPLAY is set. Ends with one "N passed, N failed" line.
#
# The scenarios run tarnwicket.exe with the stand-in vendor library, each in a folder
# of its own under the driver's log folder (build/wine/logs/LABEL/NAME), where the
# unit's trace and flash stay for a look. The driver compares the flash and the
# frames with the image named by TARNWICKET_FLASH_IMAGE.
#
#   tools/test_windows.sh [NAME-PART]   NAME-PART: only the checks whose names contain it
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine_session.sh

readonly SUITE_TIMEOUT_S=900  # stops a hung run; the suite takes about 7 minutes
readonly LOG_DIR=build/wine/logs

started=$SECONDS
for build in build/windows-x64 build/windows-x86; do
    for file in tarnwicket.exe tarnwicket-sim.exe standin/usbbridge.dll tests/windows/test_driver.exe; do
        if [ ! -f "$build/$file" ]; then
            echo "Missing $build/$file: build the Windows presets first (make windows)." >&2
            exit 1
        fi
    done
done

wine_session_start test fresh
rm -rf "$LOG_DIR"
mkdir -p "$LOG_DIR"
echo "Wine prefix ready after $((SECONDS - started)) s"
TARNWICKET_FLASH_IMAGE="$(windows_path assets)\flash_image.bin"
export TARNWICKET_FLASH_IMAGE

total_passed=0
total_failed=0
summary=()

# run_driver LABEL BUILD SET: the driver of BUILD checks the programs of BUILD.
run_driver() {
    local label="$1" build="$2" set="$3" log="$LOG_DIR/$1.log" status=0
    shift 3
    echo "== $label: $set checks of $build"
    local driver folder
    driver="$(windows_path "$build/tests/windows")\test_driver.exe"
    folder="$(windows_path "$build")"
    # In a folder of its own, where a failing check leaves its screenshot.
    mkdir -p "$LOG_DIR/$label"
    (cd "$LOG_DIR/$label" && timeout "$SUITE_TIMEOUT_S" wine "$driver" "$folder" "$set" "$@") 2>&1 |
        tr -d '\r' | tee "$log" || status=$?
    local closing passed failed
    closing="$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -n 1 || true)"
    if [ -z "$closing" ]; then
        summary+=("$label: the driver stopped without a result (status $status; log $log)")
        total_failed=$((total_failed + 1))
        return
    fi
    passed="${closing%% passed*}"
    failed="${closing#*, }"
    failed="${failed%% failed}"
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
    summary+=("$label: $closing")
    grep -E '^FAIL ' "$log" | sed "s/^/    /" >>"$LOG_DIR/failures.txt" || true
}

: >"$LOG_DIR/failures.txt"
# An optional argument runs only the checks whose names contain it.
run_driver x86_64 build/windows-x64 all ${1:+"$1"}
run_driver i686-smoke build/windows-x86 smoke ${1:+"$1"}

for picture in "$LOG_DIR"/*/failed-*.bmp; do
    [ -e "$picture" ] || continue
    convert "$picture" "${picture%.bmp}.png" && rm -f "$picture"
    echo "Screen at a failure: ${picture%.bmp}.png"
done

echo
echo "Windows tests, $((SECONDS - started)) s:"
printf '  %s\n' "${summary[@]}"
if [ -s "$LOG_DIR/failures.txt" ]; then
    echo "Failures:"
    cat "$LOG_DIR/failures.txt"
fi
if [ "$total_failed" -ne 0 ]; then
    echo "The Wine prefix stays for a look: $WINEPREFIX"
    echo "$total_passed passed, $total_failed failed"
    exit 1
fi
wine_session_end
rm -rf "$WINEPREFIX"  # 1.3 GB of Wine's DLLs; the next run makes its own
echo "$total_passed passed, $total_failed failed"
