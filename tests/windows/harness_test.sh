#!/usr/bin/env bash
# tools/test_windows.sh ends what it starts: after a check that fails, one that runs out
# of time and a run stopped by TERM, nothing the run started is left running, no Xvfb,
# no wineserver, no program. Each run marks its processes with a variable of their
# environment, so that displays and Wine servers of others on the machine do not count.
# The checks are its own, given to the harness by its two knobs: WINDOWS_CHECKS, their
# folder, and WINDOWS_CHECK_SECONDS, a check's time limit. It needs make windows.
set -u
cd "$(dirname "$0")/../.."
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT
# The checks that do not fail at once wait ten minutes for the program to end, which it
# does not: far longer than judge waits for a run to end.
for name in fails hangs stopped; do
    printf '%s\n' "$name" file\|x64/tarnwicket.exe file\|x64/standin/usbbridge.dll start\|tarnwicket.exe
    [ "$name" = fails ] && printf 'no-such-step\n\n' || printf 'exit|0|600000\n\n'
done >"$dir/harness.checks"
# left RUN: what is still running of RUN, as "PID COMMAND" lines.
left() { grep -lsxz "HARNESS_RUN=$1-$$" /proc/[0-9]*/environ | cut -d/ -f3 | xargs -r ps -o pid=,args= -p; }
# harness RUN SECONDS: the harness on the check RUN, SECONDS at most, marked, in the background.
harness() { HARNESS_RUN=$1-$$ WINDOWS_CHECKS=$dir WINDOWS_CHECK_SECONDS=$2 tools/test_windows.sh "$1" >"$dir/$1.log" 2>&1 & }
passed=0 failed=0
# judge RUN STATUS SAID: RUN ended within two minutes with STATUS, said SAID and, within
# five seconds, left nothing running; what it left is ended here.
judge() {
    for _ in {1..240}; do kill -0 $! 2>/dev/null || break; sleep 0.5; done
    for _ in {1..10}; do [ -z "$(left "$1")" ] && break; sleep 0.5; done
    leftover=$(left "$1") && awk '{ print $1 }' <<<"$leftover" | xargs -r kill
    wait $!
    if [ "$?" = "$2" ] && [ -z "$leftover" ] && grep -q "$3" "$dir/$1.log"; then passed=$((passed + 1)); else
        failed=$((failed + 1)) && echo "FAIL $1: it said: $(tail -1 "$dir/$1.log"); left: $(tr '\n' ' ' <<<"$leftover")"
    fi
}
harness fails 30 && judge fails 1 'FAIL fails: no-such-step: no such step'
harness hangs 30 && judge hangs 1 'FAIL hangs: it said nothing'
# Stopped once its program runs, long before the check would end.
rm -f build/wine/runs/stopped/driver.txt && harness stopped 600
until grep -qs 'did  start' build/wine/runs/stopped/driver.txt || ! kill -0 $!; do sleep 0.2; done
kill -TERM $! && judge stopped 130 'Virtual display'
echo "$passed passed, $failed failed" && [ "$failed" -eq 0 ]
