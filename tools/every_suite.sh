#!/usr/bin/env bash
# make test: installs what is missing, builds everything once, then runs every suite,
# side by side where two cores allow: the host tests and their sanitizer run; the
# fuzzer, a minute from a fixed seed on one core; the release test, then the Windows
# checks (the release test signs the program they update with), the test of their
# harness and the tools test.
# Each stage's output goes to build/logs/STAGE.log, and a failing stage's log is shown.
# Ends with the time of each stage and one "N passed, N failed" line over all suites.
#   tools/every_suite.sh PACKAGE...
set -uo pipefail
cd "$(dirname "$0")/.."
readonly LOGS=build/logs
rm -rf "$LOGS" && mkdir -p "$LOGS"
started=$SECONDS

# stage NAME COMMAND...: runs COMMAND with its output in NAME's log, notes its time and
# whether it passed, and passes or fails with it.
stage() {
    local name=$1 start=$SECONDS && shift
    "$@" >"$LOGS/$name.log" 2>&1 && local status=ok || local status=FAIL
    echo "$status $((SECONDS - start))" >"$LOGS/$name.time"
    echo "$status $name ($((SECONDS - start)) s)"
    [ "$status" = ok ]
}
# after STAGE COMMAND...: COMMAND once STAGE has passed.
after() {
    grep -q '^ok' "$LOGS/$1.time" && "${@:2}"
}
make_quietly() { make --no-print-directory "$@"; }

stage install tools/ensure_packages.sh "$@" || { cat "$LOGS/install.log"; exit 1; }

# The builds, two at a time, with the Wine prefix made meanwhile.
build_start=$SECONDS
stage build-host make_quietly host host-sanitize fuzz-build &
stage build-windows make_quietly windows &
stage wine-prefix tools/test_windows.sh --prefix &
wait
build_time=$((SECONDS - build_start))

suites_start=$SECONDS
{ after build-host stage host ctest --preset host
    after build-host stage host-sanitize ctest --preset host-sanitize; } &
{ after build-host stage fuzz make_quietly test-fuzz; } &
{ after build-windows stage release tests/release/release_test.sh &&
    after wine-prefix stage windows tools/test_windows.sh  # updates the program release signed
    after wine-prefix stage harness tests/windows/harness_test.sh
    stage tools tests/tools/trace_summary_test.sh; } &
wait
suites_time=$((SECONDS - suites_start))

# Every suite's count, from the closing line of its log: ctest's, libFuzzer's (one run
# that ends well is one passed), or "N passed, N failed".
passed=0 failed=0
echo
printf '%-16s %s\n' stage seconds
for time in "$LOGS"/*.time; do
    name=$(basename "$time" .time) && read -r status seconds <"$time"
    printf '%-16s %4s  %s\n' "$name" "$seconds" "$status"
    [ "$status" = ok ] || { echo "--- $LOGS/$name.log, its end:"; tail -n 40 "$LOGS/$name.log"; }
    count=$(tr -d '\r' <"$LOGS/$name.log" | sed -nE \
        's/.* ([0-9]+) tests failed out of ([0-9]+)$/ctest \2 \1/p; s/^Done [0-9]+ runs.*/fuzz 1 0/p;
         s/^([0-9]+) passed, ([0-9]+) failed$/plain \1 \2/p' | tail -n 1)
    read -r kind p f <<<"${count:-none 0 0}"
    [ "$kind" = ctest ] && p=$((p - f))
    [ "$status" = ok ] || f=$((f > 0 ? f : 1))
    passed=$((passed + p)) failed=$((failed + f))
done
printf '%-16s %4s\n' "the builds" "$build_time" "the suites" "$suites_time" "in all" "$((SECONDS - started))"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && ! grep -q FAIL "$LOGS"/*.time
