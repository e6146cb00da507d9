#!/usr/bin/env bash
# The Windows tests: the real programs under Wine, in a private prefix on a private
# virtual display, each worked by the test driver in a folder of its own under
# build/wine/runs/, several at once. tarnwicket.exe runs beside the stand-in vendor
# library, whose unit.txt tells what the unit went through; the x64 one is the program
# that the release test signed. Ends with one "N passed, N failed" line.
set -euo pipefail
cd "$(dirname "$0")/.."
unset DISPLAY
source tools/wine_session.sh

readonly X64=build/windows-x64 X86=build/windows-x86 RUNS=build/wine/runs
wine_session_start test fresh
rm -rf "$RUNS" && mkdir -p "$RUNS"
driver="$(windows_path $X64/tests)\\test_driver.exe" traces="$(windows_path tests/traces)"
passed=0 failed=0 runs=()

# run NAME FILE[@FOLDER]... -- STEP...: the driver works the program in
# build/wine/runs/NAME, where the files are put first, each in FOLDER below it if given.
# Variables set for the call reach the stand-in.
run() {
    local name=$1 && mkdir -p "$RUNS/$1" && shift
    while [ "$1" != -- ]; do
        local folder=. && [[ $1 == *@* ]] && folder=${1#*@}
        mkdir -p "$RUNS/$name/$folder" && cp "${1%@*}" "$RUNS/$name/$folder" && shift
    done
    (cd "$RUNS/$name" && timeout 180 wine "$driver" "$name" "${@:2}" >driver.txt 2>&1 || true) &
    runs+=($!)
}

# judge NAME [UNIT]: the driver's word, then what the unit went through, if there was one
# (UNIT a pattern: * stands for any number of frames).
judge() {
    local said=$(tr -d '\r' <"$RUNS/$1/driver.txt" | grep -E '^(ok|FAIL)' || echo "FAIL $1: it said nothing")
    local unit=$(cat "$RUNS/$1/unit.txt" 2>/dev/null || echo "no unit")
    [[ "$said" == ok* ]] && [[ "$unit" == ${2:-no unit} ]] && passed=$((passed + 1)) && echo "$said" && return
    failed=$((failed + 1)) && echo "${said/#ok*/FAIL $1}; the unit went through: $unit"
}


readonly FINAL=("line|10|FLASH update ok" "line|30|You must power cycle your unit" shutdown\|yes)
readonly WHOLE="searched 1, opened 1, closed 1, 8187 frames (last: 17 1 220), flash image"
# Stopped during the write (FRAMES a pattern: how many the unit had by then), so out of
# programming mode and closed.
stopped() { echo "searched 1, opened 1, closed 1, $1 frames (last: 16 5 80 2 0), flash not the image"; }

# The runs that show windows first; once the first has asked its question, the runs with
# boxes, their first boxes some seconds apart. The signed program meets the recorded unit
# of tests/traces/, replayed by the stand-in.
UNIT_TRACE="$traces\\whole-update.trace" run x64-update build/release-test/signed/tarnwicket.exe \
    $X64/standin/usbbridge.dll -- 'start|.\tarnwicket.exe|0|0' \
    "line|10|QUOLEX FPGA1 Update" "line|30|Version: 24" "line|80|Connect USB cable to QUOLEX" \
    "line|100|Close other software (e.g. GUI)" shutdown\|yes command\|110 \
    "line|10|preparing..." shutdown\|yes "line|30|Do NOT turn power OFF" \
    shutdown\|no command\|110 ask\|no "${FINAL[@]}" command\|105 exit\|0
# The recorder between the program and the stand-in, renamed as the service engineer
# renames the vendor's library: the update goes as without it. The abort and the missing
# unit below go through it too; tests/traces/ keeps the three traces, which the host
# tests replay.
cp $X64/standin/usbbridge.dll "$RUNS/usbbridge-vendor.dll"
readonly RECORDED=($X64/tarnwicket.exe $X64/recorder/usbbridge.dll "$RUNS/usbbridge-vendor.dll")
run x64-recorded "${RECORDED[@]}" -- \
    'start|.\tarnwicket.exe|340|270' command\|110 "${FINAL[@]}" command\|105 exit\|0
run x86-update $X86/tarnwicket.exe $X86/standin/usbbridge.dll -- 'start|.\tarnwicket.exe|340|0' \
    command\|110 "line|30|Do NOT turn power OFF" "${FINAL[@]}" command\|105 exit\|0
run demo-update $X64/tarnwicket-sim.exe -- 'start|.\tarnwicket-sim.exe|680|0' command\|110 \
    "${FINAL[@]}" close exit\|0
# Until the x64 update has asked, or has stopped.
until grep -qs "did  ask" $RUNS/x64-update/driver.txt || ! kill -0 "${runs[0]}" 2>/dev/null; do sleep 0.1; done
UNIT_REFUSE=40 run x64-abort "${RECORDED[@]}" -- \
    'start|.\tarnwicket.exe|0|540' command\|110 "line|10|Flash write:  0.0 %" \
    "box|Critical Error!!! |ERROR exit ISP mode !" "line|10|Chip Write error" \
    "box|Critical Error!!! | " exit\|1
# The recorder without the vendor library: no call reaches a unit.
run x64-recorded-alone $X64/tarnwicket.exe $X64/recorder/usbbridge.dll -- \
    'start|.\tarnwicket.exe|680|270' command\|110 "box| |Usb device not connected!" close exit\|0
sleep 4
UNIT_MISSING=1 run x64-no-unit "${RECORDED[@]}" -- \
    'start|.\tarnwicket.exe|680|540' command\|110 "box| |Error retrieving serial string!" \
    "box| |Usb device not connected!" "line|10|preparing..." shutdown\|yes command\|110 \
    "box| |Error retrieving serial string!" "box| |Usb device not connected!" close exit\|0
run x64-close-anyway $X64/tarnwicket.exe $X64/standin/usbbridge.dll -- \
    'start|.\tarnwicket.exe|340|540' command\|110 "line|30|Do NOT turn power OFF" pause\|3000 ask\|yes exit\|1
run x64-end-session $X64/tarnwicket.exe $X64/standin/usbbridge.dll -- \
    'start|.\tarnwicket.exe|0|270' command\|110 "line|30|Do NOT turn power OFF" endsession exit\|1
# The same calls and the same made-up answers, odd on purpose, through the recorder and
# straight into the stand-in, on both widths: the same statuses and out values. Twice,
# for the second run's trace to be a file of its own.
for width in x64 x86; do
    check=$RUNS/recorder-check-$width from=build/windows-$width && mkdir -p "$check"
    cp $from/tests/recorder_check.exe $from/recorder/usbbridge.dll "$check/"
    for as in vendor direct; do cp $from/standin/usbbridge.dll "$check/usbbridge-$as.dll"; done
    (cd "$check" && export UNIT_TRACE="$traces\\recorder-check.trace" &&
        timeout 60 wine recorder_check.exe recorder-check-$width "$UNIT_TRACE" >driver.txt 2>&1 &&
        timeout 60 wine recorder_check.exe again "$UNIT_TRACE" >again.txt 2>&1 || true) &
    runs+=($!)
done
# The program in prog\, started from a folder that holds the library it needs: only its
# own folder counts.
run x64-no-library $X64/tarnwicket.exe@prog $X64/standin/usbbridge.dll -- 'launch|prog\tarnwicket.exe' \
    "box|QUOLEX Tarnwicket|usbbridge.dll is missing from the folder of tarnwicket.exe, \
$(windows_path "$RUNS")\x64-no-library\prog. Put the USB bridge vendor's 64-bit usbbridge.dll there and start the program again." exit\|other
run x64-wrong-width $X64/tarnwicket.exe@prog $X86/standin/usbbridge.dll@prog $X64/standin/usbbridge.dll -- \
    'launch|prog\tarnwicket.exe' "box|QUOLEX Tarnwicket|usbbridge.dll beside tarnwicket.exe, in \
$(windows_path "$RUNS")\x64-wrong-width\prog, \
is a 32-bit library. Start the 32-bit program in x86\ instead, or put the vendor's 64-bit library here." exit\|other
wait "${runs[@]}"

judge x64-update "replayed: every call as recorded"
judge x86-update "$WHOLE"
judge demo-update
judge x64-abort "$(stopped 41)"
judge x64-close-anyway "$(stopped '[1-9][0-9]*')"
judge x64-end-session "$(stopped '*')"
judge x64-no-unit "searched 2, opened 0, closed 0, 0 frames (last:), flash not the image"
judge x64-recorded "$WHOLE"
judge x64-recorded-alone
judge recorder-check-x64 "replayed: every call as recorded*"
judge recorder-check-x86 "replayed: every call as recorded*"
# trace_says NAME WHAT TEXT PATTERN: TEXT, taken from the trace of the run NAME, is like
# PATTERN.
trace_says() {
    grep -Eq "$4" <<<"$3" && passed=$((passed + 1)) && echo "ok   $1: the trace has $2" && return
    failed=$((failed + 1)) && echo "FAIL $1: the trace lacks $2, it has: ${3:0:300}"
}
trace=$RUNS/x64-recorded/usbbridge-trace-1.txt vendor=$RUNS/x64-recorded/usbbridge-vendor.dll
trace_says x64-recorded "the vendor library's size and SHA-256" "$(head -1 "$trace")" \
    "^tarnwicket-trace 1 recorder [^ ]+ bytes $(stat -c %s "$vendor") \
sha256 $(sha256sum "$vendor" | cut -c1-64) library usbbridge-vendor.dll$"
trace_says x64-recorded "identical queue checks folded: fewer than 100000 lines" "$(wc -l <"$trace")" '^[0-9]{1,5}$'
# A trace's calls, but for the times, how long a queue run lasted, and the checks that
# found nothing waiting, of which there may be none when a reply comes at once.
calls() { sed -E '1d; /^!/d; s/^[0-9]+ //; s/ x[0-9]+ [0-9]+$//; /^queue [-0-9]+ = 0 0 [0-9]+$/d' "$1"; }
for kept in {x64-recorded:whole-update,x64-abort:abort,x64-no-unit:no-unit}:1 recorder-check-{x64,x86}:recorder-check:{1,2}; do
    IFS=: read -r name kept n <<<"$kept"
    trace_says "$name" "in usbbridge-trace-$n.txt the calls of tests/traces/$kept.trace" \
        "$(diff <(calls "tests/traces/$kept.trace") <(calls "$RUNS/$name/usbbridge-trace-$n.txt") 2>&1 | head -5)" '^$'
done
trace_says x64-recorded-alone "why no call reaches a unit" "$(sed -n 2p $RUNS/x64-recorded-alone/usbbridge-trace-1.txt)" \
    "^! usbbridge-vendor.dll is missing.* in the folder of usbbridge.dll: every call returns 1"
judge x64-no-library
judge x64-wrong-width
echo "Each run's folder, with what its driver said, is in $RUNS."
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
