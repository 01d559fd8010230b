#!/usr/bin/env bash
# A burst of messages at one tick, played by brondel-tool over a real MIDI transport (a private
# JACK server with the dummy driver, our MIDI monitor as the receiver): Var1 of a rhythm built with
# the rhythm builder holds a sounding note, then 3,000 note-offs and that note's own note-off,
# all at tick 10. Every message must arrive, in order (what a period cannot carry goes in the
# next ones), the sounding note must be ended, and `play` must exit 0 only with nothing lost.
# Argument: the build directory.
set -euo pipefail

build="${1:?usage: jack_burst.sh BUILD_DIR}"
tool="$build/tools/brondel-tool"
name=jack_burst
# shellcheck source=lib/jack_test_server.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/jack_test_server.bash"

start_jack_server
start_monitor "$work/dump.txt"

"$build/tests/e2e_driver" burst-rhythm "$work/burst.ckf"
"$tool" check "$work/burst.ckf" >/dev/null || fail "the burst rhythm does not pass check"
device="$("$tool" devices | awk -F': ' '$2 == "midi-monitor:input" { print $1 }')"
[ -n "$device" ] || fail "the monitor's port is not listed"

# The messages the section sends, then the All Notes Off that end a play nothing follows.
"$tool" render "$work/burst.ckf" Var1 -o "$work/var1.bin"
sent_messages "$work/var1.bin" | cut -d' ' -f2- >"$work/expected.txt"
section_endings >>"$work/expected.txt"
[ "$(grep -c '^99 3D 00$' "$work/expected.txt")" -eq 3000 ] || fail "the burst is not in the section"

"$tool" play "$work/burst.ckf" Var1 --device "$device" 2>"$work/play.err" ||
  fail "play failed: $(cat "$work/play.err")"
stop_monitor
[ ! -s "$work/dump.err" ] || fail "the monitor itself dropped messages: $(head -n1 "$work/dump.err")"
received_messages "$work/dump.txt" >"$work/received.txt"
diff -q "$work/expected.txt" "$work/received.txt" >/dev/null ||
  fail "$(wc -l <"$work/received.txt") of $(wc -l <"$work/expected.txt") messages arrived, or out of order"
grep -q '^99 3C 00$' "$work/received.txt" || fail "the sounding note was not ended"
[ ! -s "$work/play.err" ] || fail "play printed: $(cat "$work/play.err")"
periods="$(received "$work/dump.txt" | cut -d' ' -f1 | sort -u | wc -l)"
echo "$name: all $(wc -l <"$work/received.txt") messages arrived in order, over $periods frames"
