#!/usr/bin/env bash
# The Windows checks: the real programs under Wine, in a private prefix on a private
# virtual display, each check of tests/windows/*.checks worked by the test driver in a
# folder of its own, build/wine/runs/NAME/. A check is data (docs/testing.md): the files
# it needs, its environment, and the driver's steps and verdicts. This script lays out
# the files, gives each check a Wine and a display of its own, and judges the verdicts;
# it builds nothing.
#   tools/test_windows.sh            every check, on the builds already made
#   tools/test_windows.sh NAME...    just those
#   tools/test_windows.sh --list     the checks' names
#   tools/test_windows.sh --prefix   only makes the Wine prefix anew; the checks use it
#                                    as long as it works
# WINDOWS_CHECKS=DIR takes the *.checks files of DIR instead; WINDOWS_CHECK_SECONDS=N
# gives each check N seconds instead of 600. Ends with one "N passed, N failed" line.
# Stopped, failed or timed out, it leaves no display and no Wine server running.
set -euo pipefail
cd "$(dirname "$0")/.."

# Every check as "@NAME" and its items, one a line, comments and blank lines left out.
checks=$(awk '/^#/ { next } /^$/ { name = ""; next } name == "" { name = $0; print "@" name; next }
              { print }' "${WINDOWS_CHECKS:-tests/windows}"/*.checks)
names=($(grep '^@' <<<"$checks" | cut -c2-))
[ "${1:-}" = --list ] && printf '%s\n' "${names[@]}" && exit 0
[ $# -gt 0 ] && names=("$@")

unset DISPLAY
readonly RUNS=build/wine/runs
source tools/wine_session.sh
[ "${1:-}" = --prefix ] && { wine_session_start test fresh; exit; }
wine_session_start test
# The prefix's wineserver rewrites the registry as it ends: it ends now, before the copies.
wineserver -k || true
driver="$(windows_path build/windows-x64/tests)\\test_driver.exe"

# prepare NAME: the check's folder, its files, its environment (env.txt), its steps
# (steps.txt, with {folder} as Windows names it) and its verdicts. False, saying why, if
# the check cannot be run.
prepare() {
    local dir=$RUNS/$1 src dest
    rm -rf "$dir" && mkdir -p "$dir" && touch "$dir"/{env,steps,verdicts}.txt
    awk -F'|' -v n="@$1" -v d="$dir/" '/^@/ { on = $0 == n; found += on; next } !on { next }
        $1 == "file" { print $2 "|" $3; next } $1 == "env" { print $2 >(d "env.txt"); next }
        $1 ~ /^(unit|header|has|lines|calls)$/ { print >(d "verdicts.txt"); next }
        { print >(d "steps.txt") } END { exit !found }' <<<"$checks" >"$dir/files.txt" ||
        { echo "FAIL $1: no such check" >"$dir/driver.txt" && return 1; }
    # A check that names no file runs the x64 program beside the x64 stand-in.
    [ -s "$dir/files.txt" ] || printf '%s\n' x64/tarnwicket.exe x64/standin/usbbridge.dll >"$dir/files.txt"
    while IFS='|' read -r src dest; do
        dest=$dir/${dest:-$(basename "$src")}
        src=$(sed -E 's#^(x64|x86)/#build/windows-\1/#; s#^signed/#build/release-test/signed/#' <<<"$src")
        [ -f "$src" ] || { echo "FAIL $1: $src is missing: build first" >"$dir/driver.txt" && return 1; }
        mkdir -p "$(dirname "$dest")" && cp "$src" "$dest"
    done <"$dir/files.txt"
    sed -i "s#{folder}#$(windows_path "$dir" | sed 's#\\#\\\\#g')#g" "$dir/steps.txt"
}

# run NAME: the driver works the check alone, in a Wine and on a virtual display of its
# own: a hard-linked copy of the prefix with a wineserver of its own, since the
# programs of one wineserver share one session and the updater runs one copy a
# session; and a display of its own, since a window that another check brings to the
# front takes the keyboard focus from every other on its display.
# The check's driver, display and Wine server end with its subshell, however it ends;
# the driver runs in the background, since a trap waits for a child in the foreground.
# Each wineserver rewrites the registry in place when its file has other links, so
# the registry files are copies of their own.
run() {
    WINE_SESSION_XVFB_PID=""
    trap 'wine_session_end; kill $(jobs -pr) 2>/dev/null || true' EXIT
    trap 'exit 130' TERM
    rm -rf "$RUNS/$1.wine" && cp -al "$WINEPREFIX" "$RUNS/$1.wine" &&
        cp --remove-destination "$WINEPREFIX"/*.reg "$RUNS/$1.wine" && cd "$RUNS/$1" &&
        export WINEPREFIX=$PWD.wine && start_virtual_display >/dev/null || return
    env $(cat env.txt) timeout "${WINDOWS_CHECK_SECONDS:-600}" wine "$driver" "$1" >driver.txt 2>&1 &
    wait $! || true
}

# Sixteen checks at a time, each next one once the one sixteen before it has ended. A
# stop ends the checks still running, each with its display and Wine server.
pids=()
trap 'kill $(jobs -pr) 2>/dev/null || true; wait; wine_session_end' EXIT
for i in "${!names[@]}"; do
    ((i < 16)) || wait "${pids[i - 16]}" || true
    (prepare "${names[i]}" && run "${names[i]}") &
    pids+=($!)
done
wait "${pids[@]}" || true

# A trace's calls, but for the times, how long a queue run lasted, and the checks that
# found nothing waiting, of which there may be none when a reply comes at once.
calls() { sed -E '1d; /^!/d; s/^[0-9]+ //; s/ x[0-9]+ [0-9]+$//; /^queue [-0-9]+ = 0 0 [0-9]+$/d' "$1"; }
# verdict WHAT ARGUMENT...: what the unit (unit.txt, as the stand-in tells it) and the
# files of the check's folder came to hold; "" when it is as WHAT says.
verdict() {
    case $1 in
    unit) [[ $unit == $2 ]] || echo "it went otherwise" ;;
    has) sed -n "$3p" "$2" | grep -Eq -- "$4" || echo "$2 has at line $3: $(sed -n "$3p" "$2" | cut -c1-200)" ;;
    header) verdict has "$2" 1 "^tarnwicket-trace 1 recorder [^ ]+ bytes $(stat -c %s "$3") sha256 \
$(sha256sum "$3" | cut -c1-64) library $3\$" ;;
    lines) [ "$(wc -l <"$2")" -lt "$3" ] || echo "$2 has $(wc -l <"$2") lines" ;;
    calls) diff <(calls "$3") <(calls "$2") | head -3 | tr '\n' ' ' ;;
    esac
}

passed=0 failed=0
for name in "${names[@]}"; do
    cd "$RUNS/$name"
    said=$(tr -d '\r' <driver.txt | grep -E '^(ok|FAIL)' | tail -1 || echo "FAIL $name: it said nothing")
    unit=$(cat unit.txt 2>/dev/null || echo "no unit.txt")
    grep -q '^unit|' verdicts.txt || echo "unit|no unit.txt" >>verdicts.txt
    while [[ $said == ok* ]] && IFS='|' read -r -a v; do
        wrong=$(verdict "${v[@]}")
        [ -z "$wrong" ] || said="FAIL $name: $(IFS='|' && echo "${v[*]}"): $wrong"
    done <verdicts.txt
    [[ $said == ok* ]] && passed=$((passed + 1)) || { failed=$((failed + 1)) && said+="; the unit went through: $unit"; }
    echo "$said" && cd - >/dev/null
done
echo "Each check's folder, with what its driver said, is in $RUNS."
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
