#!/usr/bin/env bash
# tools/trace_summary on each case of trace_summary.cases beside this script (that file
# says what they are): all that it prints, and its status, must be as the case says. The
# untouched trace must also draw a PNG.
set -u
summary=${SUMMARY:-tools/trace_summary} here=$(dirname "$0") dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
passed=0 failed=0
# Each case into NAME.make (the command) and NAME.expected.
awk -v d="$dir/" '/^#/ || /^$/ { next } /^== / { n = substr($0, 4, index($0, ":") - 4)
    print substr($0, index($0, ":") + 2) >(d n ".make"); next } { print >(d n ".expected") }' \
    "$here/trace_summary.cases"
for make in "$dir"/*.make; do
    case=${make%.make}
    sh "$make" <"$here/update.trace" >"$case.trace"
    { "$summary" "$case.trace" --png "$case.png" 2>&1; echo "status $?"; } | sed "s#$case.trace#{trace}#" >"$case.out"
    if diff "$case.expected" "$case.out" >"$case.diff"; then passed=$((passed + 1)); else
        failed=$((failed + 1)) && echo "FAIL: $(basename "$case"): what it printed differs (< expected, > printed):" && cat "$case.diff"
    fi
done
[ "$(head -c 8 "$dir/update.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] && passed=$((passed + 1)) ||
    { failed=$((failed + 1)) && echo "FAIL: update: no PNG drawn"; }
echo "$passed passed, $failed failed"
[ "$passed" -gt 1 ] && [ "$failed" -eq 0 ]
