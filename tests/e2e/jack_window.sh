#!/usr/bin/env bash
# The window end to end over a real MIDI transport: a private JACK server with the dummy driver
# (no sound card needed), our MIDI monitor as the receiver, and test_window_jack, which picks the
# monitor's port in the window's device list, opens an example rhythm and double-clicks a
# section. Checks that every message arrived, complete and in order. Argument: the build dir.
set -euo pipefail

build="${1:?usage: jack_window.sh BUILD_DIR}"
name=jack_window
# shellcheck source=lib/jack_test_server.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/jack_test_server.bash"

start_jack_server
start_monitor "$work/dump.txt"

BRONDEL_E2E_JACK_SERVER="$JACK_DEFAULT_SERVER" BRONDEL_E2E_EXPECTED="$work/expected.txt" \
  QT_QPA_PLATFORM=offscreen "$build/tests/test_window_jack"
stop_monitor
received_messages "$work/dump.txt" >"$work/received.txt"

diff -u "$work/expected.txt" "$work/received.txt" ||
  fail "the monitor did not receive the buffer's messages complete and in order"
echo "$name: $(wc -l <"$work/received.txt") messages arrived complete and in order"
