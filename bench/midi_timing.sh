#!/usr/bin/env bash
# Runs bench/midi_timing (built in BUILD_DIR) against a private JACK server with the dummy driver,
# 48 kHz and 256-frame periods (BRONDEL_JACK_PERIOD sets another), so that no sound card is
# needed. Usage: midi_timing.sh BUILD_DIR
set -euo pipefail

build="${1:?usage: midi_timing.sh BUILD_DIR}"
export JACK_NO_START_SERVER=1
export JACK_DEFAULT_SERVER="brondel_timing_$$"
log="$(mktemp)"
jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p "${BRONDEL_JACK_PERIOD:-256}" >"$log" 2>&1 &
jackd_pid=$!
trap 'kill "$jackd_pid" 2>/dev/null || true; wait 2>/dev/null || true; rm -f "$log"' EXIT
jack_wait -w -t 10 >/dev/null
"$build/bench/midi_timing"
