#!/usr/bin/env bash
# A MIDI keyboard's chord change heard: from the key's frame (our keyboard client "keys") to the
# first re-pitched bass note's frame on our monitor, through Brondel's JACK input, the keyboard
# play, the live play and its JACK output, against a private JACK server with the dummy driver
# (48 kHz, 256-frame periods; BRONDEL_JACK_PERIOD sets another). It plays the end-to-end check's phrase ROUNDS times (default 10;
# three measured changes each) and reports the median and the worst. Not run by ctest (the
# check with one round is). Usage: keyboard_latency.sh BUILD_DIR [ROUNDS]
set -euo pipefail

build="${1:?usage: keyboard_latency.sh BUILD_DIR [ROUNDS]}"
BRONDEL_E2E_ROUNDS="${2:-10}" exec bash "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/jack_keyboard.sh" "$build" \
  2> >(grep -v -e '^Cannot connect' -e '^jack server is not running' -e 'JackShmReadWritePtr' >&2)
