#!/usr/bin/env bash
# brondel-tool on a real MIDI transport: a private JACK server with the dummy driver (no sound
# card needed) and our MIDI monitor as the receiver. `devices` lists the monitor's port, `play`
# sends a section there complete, in order and in time, then All Notes Off on its channels, and
# Ctrl-C during a play ends every note that sounds and exits with 130. Argument: the build dir.
set -euo pipefail

build="${1:?usage: tool_play.sh BUILD_DIR}"
tool="$build/tools/brondel-tool"
examples="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../examples" && pwd)"
name=tool_play
# shellcheck source=lib/jack_test_server.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/jack_test_server.bash"

start_jack_server
start_monitor "$work/dump.txt"

# The device list names the built-in synthesizer first, then the monitor's port.
"$tool" devices >"$work/devices.txt" 2>/dev/null
head -n1 "$work/devices.txt" | grep -q "^0: Built-in General MIDI synthesizer$" ||
  fail "device 0 is not the built-in synthesizer: $(cat "$work/devices.txt")"
device="$(awk -F': ' '$2 == "midi-monitor:input" { print $1 }' "$work/devices.txt")"
[ -n "$device" ] || fail "the monitor's port is not listed: $(cat "$work/devices.txt")"

# What the window would send for pop_beat Fill1: the rendered buffer's messages at their ticks,
# without those whose data bytes are above 127 (the end records).
"$tool" render "$examples/pop_beat.ckf" Fill1 -o "$work/fill1.bin"
sent_messages "$work/fill1.bin" >"$work/expected.txt"
cut -d' ' -f2- "$work/expected.txt" >"$work/expected_messages.txt"
section_endings >>"$work/expected_messages.txt"
[ "$(wc -l <"$work/expected.txt")" -gt 40 ] || fail "the rendered section is too small"

"$tool" play "$examples/pop_beat.ckf" Fill1 --device "$device" 2>"$work/play.err" ||
  fail "play failed: $(cat "$work/play.err")"
stop_monitor
received "$work/dump.txt" >"$work/received.txt"
cut -d' ' -f2- "$work/received.txt" >"$work/received_messages.txt"
diff -u "$work/expected_messages.txt" "$work/received_messages.txt" ||
  fail "the monitor did not receive the section's messages complete and in order"

# In time, not all at once: from the first message to the last takes the section's length (the
# tempo byte in ticks a quarter note, 500,000 us a quarter), give or take a tenth; the precise
# timing is measured in bench/.
last_tick="$(tail -n1 "$work/expected.txt" | cut -d' ' -f1)"
tempo="$("$tool" info --json "$examples/pop_beat.ckf" | sed 's/.*"tempo":\([0-9]*\).*/\1/')"
span="$(head -n "$(wc -l <"$work/expected.txt")" "$work/received.txt" |
  awk 'NR == 1 { first = $1 } { last = $1 } END { print last - first }')"
wanted=$((last_tick * 48000 / 2 / tempo))
[ $((span - wanted)) -le $((wanted / 10)) ] && [ $((wanted - span)) -le $((wanted / 10)) ] ||
  fail "the section took $span frames, not $wanted"
echo "tool_play: $(wc -l <"$work/received.txt") messages arrived complete, in order, in $span frames"

# Ctrl-C one second into an eight-second section: exit 130, soon, and every note that was
# started has been ended.
start_monitor "$work/dump2.txt"
"$tool" play "$examples/pop_beat.ckf" Var2 --device "$device" 2>"$work/play2.err" &
play_pid=$!
sleep 1
started=$(date +%s%N)
kill -INT "$play_pid"
status=0
wait "$play_pid" || status=$?
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
[ "$status" -eq 130 ] || fail "play ended with $status after Ctrl-C, not 130: $(cat "$work/play2.err")"
[ "$elapsed_ms" -lt 2000 ] || fail "play took $elapsed_ms ms to end after Ctrl-C"
stop_monitor
received "$work/dump2.txt" >"$work/received2.txt"
[ "$(wc -l <"$work/received2.txt")" -gt 30 ] || fail "nothing played before Ctrl-C"
awk '{ kind = substr($2, 1, 1); key = substr($2, 2, 1) " " $3
       if (kind == "9" && $4 != "00") on[key] = 1
       else if (kind == "8" || (kind == "9" && $4 == "00")) delete on[key] }
     END { for (k in on) { print "still sounding: channel/key " k; bad = 1 }; exit bad }' \
  "$work/received2.txt" || fail "Ctrl-C left notes sounding"
echo "tool_play: Ctrl-C ended the play after $elapsed_ms ms with every note ended"
