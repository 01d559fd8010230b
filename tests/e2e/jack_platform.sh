#!/usr/bin/env bash
# End to end over a real MIDI transport: a private JACK server with the dummy driver (no sound
# card needed), jack_midi_dump as the receiver, and the test_platform case JackEndToEnd, which
# finds the monitor's port through the system's device list and plays a short buffer to it.
# Checks that every message arrived, complete and in order. Argument: the build directory.
set -euo pipefail

build="${1:?usage: jack_platform.sh BUILD_DIR}"
name=jack_platform
# shellcheck source=lib/jack_test_server.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/jack_test_server.bash"

start_jack_server
start_monitor "$work/dump.txt"

BRONDEL_E2E_JACK_SERVER="$JACK_DEFAULT_SERVER" BRONDEL_E2E_EXPECTED="$work/expected.txt" \
  "$build/tests/test_platform" --gtest_filter='JackEndToEnd.*'
stop_monitor
received_messages "$work/dump.txt" >"$work/received.txt"

diff -u "$work/expected.txt" "$work/received.txt" ||
  fail "the monitor did not receive the buffer's messages complete and in order"
echo "$name: $(wc -l <"$work/received.txt") messages arrived complete and in order"
