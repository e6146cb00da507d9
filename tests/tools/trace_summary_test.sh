#!/usr/bin/env bash
# tools/trace_summary on a small made-up update: one unreadable serial, the unit's "2031",
# five frames with known reply delays (2, 1, 3, 4, 9 ms), the second chunk refused.
set -u
summary=${SUMMARY:-tools/trace_summary}
dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
passed=0 failed=0
check() { if grep -qxF -- "$2" "$3"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $1: no line '$2' in:"; cat "$3"; fi; }
h=20736 chunk=1015504110$(printf '%032x' 7)
# One exchange: the write at $1 of frame $2, checks that find nothing, then the reply $4
# found $3 us after the write (${5}: the end of a run of checks that found it).
frame() { echo "$1 write $h $((${#2} / 2)) $2 = 0 $((${#2} / 2))"; echo "$(($1 + 10)) queue $h = 0 0 0 x9 $(($1 + $3 - 100))"
          echo "$(($1 + $3)) queue $h = 0 2 0${5:-}"; echo "$(($1 + $3 + 10)) read $h 2 = 0 2 $4"; }
{ echo "tarnwicket-trace 1 recorder 1.0.52-abc1234 bytes 393216 sha256 $(printf 'ab%.0s' {1..32}) library usbbridge.dll"
  printf '%s\n' '0 count = 0 2' '100 string 0 0 = 5 -' '200 string 1 0 = 0 32303331' '300 string 1 2 = 0 51554f4c4558' \
    "400 open 1 = 0 $h" "500 flush $h 1 1 = 0"
  frame 1000 1005c80f40 2000 0f01; frame 4000 1005500100 1000 0f01 " x3 5008"; frame 6000 $chunk 3000 0f01
  frame 10000 $chunk 4000 0f00; frame 15000 1005500200 9000 0f01; echo "25000 close $h = 0"; } > "$dir/t"
"$summary" "$dir/t" --png "$dir/p.png" > "$dir/out" 2>&1
for line in '  device 0 string kind 0: failed, status 5' '  device 1 string kind 0: "2031"' \
  '  IspEnter     1' '  BlockSelect  1' '  ChunkWrite   2' '  IspExit      1' 'refusals and failures: 2' \
  '  before the first frame: string failed, status 5 (line 3)' '  frame 4: ChunkWrite refused: reply 0f00 (line 23)' \
  '  min 1.000 ms, median 3.000 ms, 99th percentile 9.000 ms, max 9.000 ms' 'whole time: 25.000 ms' \
  'ended: last frame 5 IspExit; closed (line 28)'; do check summary "$line" "$dir/out"; done
head -c 8 "$dir/p.png" | od -An -tx1 | tr -d ' \n' > "$dir/magic"; echo >> "$dir/magic"
check png 89504e470d0a1a0a "$dir/magic"
sed '1s/trace 1/trace 2/' "$dir/t" > "$dir/v"; sed '3s/= 5 -/5 -/' "$dir/t" > "$dir/g"; head -c -9 "$dir/t" > "$dir/c"
for c in v g; do "$summary" "$dir/$c" > "$dir/$c.out" 2>&1; echo "status $?" >> "$dir/$c.out"; done
exactly() { if [ "$(cat "$3")" = "$2" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $1:"; cat "$3"; fi; }
exactly version "$dir/v:1: version 2; this summary reads version 1"$'\n''status 1' "$dir/v.out"
exactly garbled "$dir/g:3: not a call: no time, operation, = and status"$'\n''status 1' "$dir/g.out"
"$summary" "$dir/c" > "$dir/c.out" 2>&1; echo "status $?" >> "$dir/c.out"; sed '$s/= 0$/= 4/' "$dir/t" > "$dir/f"; "$summary" "$dir/f" > "$dir/f.out"
check close '  frame 5: close failed, status 4 (line 28)' "$dir/f.out"; check close 'ended: last frame 5 IspExit; NOT closed after the last open' "$dir/f.out"
for line in '  cut off at line 28: summarised up to line 27' 'ended: last frame 5 IspExit; NOT closed after the last open' 'status 0'; do check cut "$line" "$dir/c.out"; done
echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]
