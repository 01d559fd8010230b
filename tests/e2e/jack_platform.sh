#!/usr/bin/env bash
# End to end over a real MIDI transport: a private JACK server with the dummy driver (no sound
# card needed), our MIDI monitor as the receiver, and the test_platform cases JackEndToEnd: one
# finds the monitor's port through the system's device list and plays a short buffer to it, the
# other plays a chord on the built-in synthesizer, whose audio goes out through JACK. Checks that
# every message arrived, complete and in order, and that the synthesizer's recorded output is not
# silent. Argument: the build directory.
set -euo pipefail

build="${1:?usage: jack_platform.sh BUILD_DIR}"
name=jack_platform
# shellcheck source=lib/jack_test_server.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/jack_test_server.bash"

start_jack_server
start_monitor "$work/dump.txt"

# Records one second of the synthesizer as soon as its output port appears (it plays for two).
(
  for _ in $(seq 200); do
    jack_lsp 2>/dev/null | grep -qx "Brondel synthesizer:left" && break
    sleep 0.05
  done
  jack_rec -f "$work/synth.wav" -d 1 "Brondel synthesizer:left" >/dev/null 2>&1
) &
rec_pid=$!

BRONDEL_E2E_JACK_SERVER="$JACK_DEFAULT_SERVER" BRONDEL_E2E_EXPECTED="$work/expected.txt" \
  "$build/tests/test_platform" --gtest_filter='JackEndToEnd.*'
wait "$rec_pid" || true
stop_monitor
received_messages "$work/dump.txt" >"$work/received.txt"

diff -u "$work/expected.txt" "$work/received.txt" ||
  fail "the monitor did not receive the buffer's messages complete and in order"
echo "$name: $(wc -l <"$work/received.txt") messages arrived complete and in order"

peak="$(sox "$work/synth.wav" -n stat 2>&1 | awk '/^Maximum amplitude/ { print $3 }' || true)"
awk -v peak="${peak:-0}" 'BEGIN { exit !(peak > 0.01) }' ||
  fail "the built-in synthesizer's output through JACK was silent (peak ${peak:-none})"
echo "$name: the built-in synthesizer sounded through JACK (peak $peak)"
