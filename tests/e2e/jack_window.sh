#!/usr/bin/env bash
# The window end to end over a real MIDI transport: a private JACK server with the dummy driver
# (no sound card needed), jack_midi_dump as the receiver, and test_window_jack, which picks the
# monitor's port in the window's device list, opens an example rhythm and double-clicks a
# section. Checks that every message arrived, complete and in order. Argument: the build dir.
set -euo pipefail

build="${1:?usage: jack_window.sh BUILD_DIR}"
work="$(mktemp -d)"
export JACK_NO_START_SERVER=1
export JACK_DEFAULT_SERVER="brondel_window_$$"
jackd_pid=""
dump_pid=""

cleanup() {
  if [ -n "$dump_pid" ]; then kill "$dump_pid" 2>/dev/null || true; fi
  if [ -n "$jackd_pid" ]; then kill "$jackd_pid" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
jackd_pid=$!
if ! jack_wait -w -t 10 >/dev/null; then
  echo "the JACK server did not start:" >&2
  cat "$work/jackd.log" >&2
  exit 1
fi

jack_midi_dump -a >"$work/dump.txt" 2>"$work/dump.err" &
dump_pid=$!
for _ in $(seq 100); do
  jack_lsp 2>/dev/null | grep -qx "midi-monitor:input" && break
  sleep 0.1
done

BRONDEL_E2E_JACK_SERVER="$JACK_DEFAULT_SERVER" BRONDEL_E2E_EXPECTED="$work/expected.txt" \
  QT_QPA_PLATFORM=offscreen "$build/tests/test_window_jack"

# The monitor prints from a thread of its own; give it a moment, then end it so it flushes.
sleep 0.5
kill "$dump_pid"
wait "$dump_pid" 2>/dev/null || true
dump_pid=""

# "  28965: 99 24 64 note on (channel  9): ..." -> "99 24 64"
awk '{ out = ""
       for (i = 2; i <= 4 && $i ~ /^[0-9a-f][0-9a-f]$/; i++) out = out (out == "" ? "" : " ") toupper($i)
       print out }' "$work/dump.txt" >"$work/received.txt"

if ! diff -u "$work/expected.txt" "$work/received.txt"; then
  echo "jack_window: the monitor did not receive the buffer's messages complete and in order" >&2
  exit 1
fi
echo "jack_window: $(wc -l <"$work/received.txt") messages arrived complete and in order"
