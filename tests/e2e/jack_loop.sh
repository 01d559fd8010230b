#!/usr/bin/env bash
# A section played as a looping buffer over a real MIDI transport (a private JACK server with the
# dummy driver, our MIDI monitor as the receiver): two repetitions of a two-bar section built with
# the rhythm builder, the second one the loop's own (an empty buffer queued behind the loop once
# the second repetition sounds ends it at the next seam). The second
# repetition's first message must arrive exactly one section length (in frames) after the
# first's, every message of both must arrive in order, a note held over the seam is not cut
# there, and the play ends with its endings. Argument: the build directory.
set -euo pipefail

build="${1:?usage: jack_loop.sh BUILD_DIR}"
tool="$build/tools/brondel-tool"
driver="$build/tests/e2e_driver"
name=jack_loop
# shellcheck source=lib/jack_test_server.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/jack_test_server.bash"

start_jack_server
start_monitor "$work/dump.txt"

"$driver" loop-rhythm "$work/loop.ckf"
"$tool" render "$work/loop.ckf" Var1 -o "$work/var1.bin"
sent_messages "$work/var1.bin" | cut -d' ' -f2- >"$work/section.txt"
# Both repetitions; then the bass note the second left sounding, and All Notes Off.
cat "$work/section.txt" "$work/section.txt" >"$work/expected.txt"
echo "8A 28 00" >>"$work/expected.txt"
section_endings >>"$work/expected.txt"

"$driver" loop midi-monitor:input "$work/loop.ckf" 2 >"$work/loop.txt" 2>"$work/loop.err" ||
  fail "the loop did not play: $(cat "$work/loop.err")"
stop_monitor
messages="$(awk '$1 == "messages" { print $2 }' "$work/loop.txt")"
length_us="$(awk '$1 == "length-us" { print $2 }' "$work/loop.txt")"
[ "$messages" -eq "$(wc -l <"$work/section.txt")" ] || fail "the driver played another section"

received_messages "$work/dump.txt" >"$work/received.txt"
diff -u "$work/expected.txt" "$work/received.txt" ||
  fail "the monitor did not receive both repetitions complete and in order"

check_second_repetition "$work/dump.txt" "$messages" "$length_us"
