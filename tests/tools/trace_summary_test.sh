#!/usr/bin/env bash
# tools/trace_summary on update.trace beside this script, a made-up update: one unreadable
# serial, the unit's "2031", five frames whose replies wait 2, 1, 3, 4 and 9 ms (frame 2's
# found by the first check of a run of three), the second chunk refused; then broken copies.
set -u
summary=${SUMMARY:-tools/trace_summary} t=$(dirname "$0")/update.trace dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT; passed=0 failed=0
judge() { if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $*, the summary said:"; cat "$dir/out"; fi; }
has() { grep -qxF -- "$1" "$dir/out"; }  # the summary holds that whole line
run() { "$summary" "$@" > "$dir/out" 2>&1; echo "status $?" >> "$dir/out"; }
run "$t" --png "$dir/p.png"; for line in '  device 0 string kind 0: failed, status 5' '  device 1 string kind 0: "2031"' '  IspEnter     1' \
  '  BlockSelect  1' '  ChunkWrite   2' '  IspExit      1' 'refusals and failures: 2' '  before the first frame: string failed, status 5 (line 3)' \
  '  frame 4: ChunkWrite refused: reply 0f00 (line 23)' '  min 1.000 ms, median 3.000 ms, 99th percentile 9.000 ms, max 9.000 ms' \
  'whole time: 25.000 ms' 'ended: last frame 5 IspExit; closed (line 28)' 'status 0'; do judge has "$line"; done
judge [ "$(head -c 8 "$dir/p.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ]
sed '1s/trace 1/trace 2/' "$t" > "$dir/v"; run "$dir/v"; judge [ "$(cat "$dir/out")" = "$dir/v:1: version 2; this summary reads version 1"$'\n''status 1' ]
sed '3s/= 5 -/5 -/' "$t" > "$dir/g"; run "$dir/g"; judge [ "$(cat "$dir/out")" = "$dir/g:3: not a call: no time, operation, = and status"$'\n''status 1' ]
head -c -9 "$t" > "$dir/c"; run "$dir/c"; for line in '  cut off at line 28: summarised up to line 27' 'status 0' \
  'ended: last frame 5 IspExit; NOT closed after the last open'; do judge has "$line"; done
sed '$s/= 0$/= 4/' "$t" > "$dir/f"; run "$dir/f"; for line in '  frame 5: close failed, status 4 (line 28)' \
  'ended: last frame 5 IspExit; NOT closed after the last open'; do judge has "$line"; done
echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]
