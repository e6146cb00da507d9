#!/usr/bin/env bash
# tools/trace_summary on update.trace beside this script, a made-up update: one unreadable
# serial, the unit's "2031", five frames whose replies wait 2, 1, 3, 4 and 9 ms (frame 2's
# found by the first check of a run of three, frame 5's by the first of two that saw bytes), the
# second chunk refused; then broken copies.
set -u
summary=${SUMMARY:-tools/trace_summary} t=$(dirname "$0")/update.trace dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT; passed=0 failed=0
judge() { if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $*, the summary said:"; cat "$dir/out"; fi; }
has() { grep -qxF -- "$1" "$dir/out"; }  # the summary holds that whole line
run() { "$summary" "$@" > "$dir/out" 2>&1; echo "status $?" >> "$dir/out"; }
run "$t" --png "$dir/p.png"; for line in '  device 0 string kind 0: failed, status 5' '  device 1 string kind 0: "2031"' '  IspEnter     1' \
  '  BlockSelect  1' '  ChunkWrite   2' '  IspExit      1' 'refusals and failures: 2' '  before the first frame: string failed, status 5 (line 3)' \
  '  frame 4: ChunkWrite refused: reply 0f00 (line 23)' '  min 1.000 ms, median 3.000 ms, 99th percentile 9.000 ms, max 9.000 ms' \
  'whole time: 25.000 ms' 'ended: last frame 5 IspExit; closed (line 29)' 'status 0'; do judge has "$line"; done
judge [ "$(head -c 8 "$dir/p.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ]
bad() { run "$dir/$1"; judge [ "$(cat "$dir/out")" = "$dir/$1:$2"$'\n''status 1' ]; }  # one line, status 1
sed '1s/trace 1/trace 2/' "$t" > "$dir/v"; bad v '1: version 2; this summary reads version 1'
sed '3s/= 5 -/5 -/' "$t" > "$dir/g"; bad g '3: not a call: no time, operation, = and status'
sed '12s/ 5 / +5 /' "$t" > "$dir/n"; bad n "12: write input is not a number: '+5'"
sed '11s/0f01$/0f/' "$t" > "$dir/r"; bad r '11: read of count 2 with 1 bytes'
{ head -c -9 "$t"; echo; } > "$dir/t"; bad t '29: not a call: no time, operation, = and status'
{ head -n 25 "$t"; printf '24000 que'; } > "$dir/c"; run "$dir/c"; for line in '  cut off at line 26: summarised up to line 25' \
  '  frame 5: IspExit no reply: no byte waiting before the end (line 24)' 'whole time: 23.900 ms' 'status 0' \
  'ended: last frame 5 IspExit; NOT closed after the last open (handle 20736)'; do judge has "$line"; done
sed '$s/= 0$/= 4/' "$t" > "$dir/f"; run "$dir/f"; for line in '  frame 5: close failed, status 4 (line 29)' \
  'ended: last frame 5 IspExit; NOT closed after the last open (handle 20736)'; do judge has "$line"; done
# A short write; a short reply; frame 3's only check that saw bytes failed, so no reply; the last write failing
# (so no reply is waited for); the wrong handle closed.
sed '8s/= 0 5/= 0 3/;15s/= 0 2 0f01/= 0 1 0f/;18s/= 0 2/= 3 2/;19d;24s/= 0 5/= 2 5/;25,28d;$s/20736/20737/' "$t" > "$dir/w"; run "$dir/w"
for line in 'refusals and failures: 7' '  frame 1: IspEnter short write: 3 of 5 bytes (line 8)' \
  '  frame 2: BlockSelect short reply: 1 of 2 bytes (line 15)' \
  '  frame 3: ChunkWrite no reply: no byte waiting before the next write (line 16)' '  frame 5: write failed, status 2 (line 23)' \
  'ended: last frame 5 IspExit; NOT closed after the last open (handle 20736)'; do judge has "$line"; done
sed '6s/= 0/= 1/' "$t" > "$dir/o"; run "$dir/o"; judge has 'ended: last frame 5 IspExit; the last open failed (line 6)'
echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]
