#!/usr/bin/env bash
# The pattern window's Loop end to end over a real MIDI transport: a private JACK server with the
# dummy driver, our MIDI monitor as the receiver, and test_window_jack's
# APatternLoopRepeatsWithoutAGap, which loops an example's Fill1 from the pattern window on the
# monitor's port and switches Loop off once the second repetition sounds. Both repetitions must
# arrive complete and in order, and the second one's first message exactly one section length
# (in frames) after the first's. Argument: the build directory.
set -euo pipefail

build="${1:?usage: jack_pattern_loop.sh BUILD_DIR}"
name=jack_pattern_loop
# shellcheck source=lib/jack_test_server.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/jack_test_server.bash"

start_jack_server
start_monitor "$work/dump.txt"

BRONDEL_E2E_JACK_SERVER="$JACK_DEFAULT_SERVER" BRONDEL_E2E_LOOP_RESULT="$work/result.txt" \
  QT_QPA_PLATFORM=offscreen "$build/tests/test_window_jack" APatternLoopRepeatsWithoutAGap
stop_monitor

messages="$(awk '$1 == "messages" { print $2 }' "$work/result.txt")"
length_us="$(awk '$1 == "length-us" { print $2 }' "$work/result.txt")"
[ "$messages" -gt 0 ] || fail "the section sends nothing"
tail -n +3 "$work/result.txt" >"$work/expected.txt"
received_messages "$work/dump.txt" | head -n $((2 * messages)) >"$work/received.txt"
diff -u "$work/expected.txt" "$work/received.txt" ||
  fail "the monitor did not receive both repetitions complete and in order"

check_second_repetition "$work/dump.txt" "$messages" "$length_us"
