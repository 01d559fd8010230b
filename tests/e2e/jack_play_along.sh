#!/usr/bin/env bash
# The Play along window's chord pad end to end over a real MIDI transport: a private JACK server
# with the dummy driver, our MIDI monitor as the receiver, and test_play_along_jack, which plays a
# rhythm of held bass and chord notes on the monitor's port and clicks five chords on the pad
# while it plays. For each click, the first bass or chord note-on that arrives after it (the held
# notes re-pitched) must arrive soon: by design at the start of the next cycle, within a period,
# which bench/midi_timing.sh measures (median and worst). The click's frame is read on the
# window's thread (jack_frame_time of an activated client) just before the click, so a change
# that goes at once arrives within a period plus the time the stream's thread takes to act
# (under 60 frames on a quiet machine). The check allows three periods (16 ms here) for a busy
# machine: that still fails a change that waits for the next slice (a beat) or for the device's
# 20 ms wake margin, as a change once did.
# Argument: the build directory.
set -euo pipefail

build="${1:?usage: jack_play_along.sh BUILD_DIR}"
name=jack_play_along
# shellcheck source=lib/jack_test_server.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/jack_test_server.bash"

start_jack_server
start_monitor "$work/dump.txt"

BRONDEL_E2E_JACK_SERVER="$JACK_DEFAULT_SERVER" BRONDEL_E2E_PAD_RESULT="$work/result.txt" \
  QT_QPA_PLATFORM=offscreen "$build/tests/test_play_along_jack"
stop_monitor

period="$(awk '$1 == "period" { print $2 }' "$work/result.txt")"
[ -n "$period" ] || fail "the test wrote no result"
received "$work/dump.txt" >"$work/received.txt"
# Bass and chord note-ons (channels 11 to 14, 0-based 10 to 13) with a velocity.
awk '$2 ~ /^9[A-D]$/ && $4 != "00" { print $1 }' "$work/received.txt" >"$work/notes.txt"
worst=0
allowed=$((3 * period))
while read -r what click; do
  [ "$what" = click ] || continue
  first="$(awk -v c="$click" '$1 >= c { print $1; exit }' "$work/notes.txt")"
  [ -n "$first" ] || fail "nothing re-pitched arrived after the click at frame $click"
  delay=$((first - click))
  [ "$delay" -le "$allowed" ] ||
    fail "the click at frame $click was heard $delay frames later, more than three periods ($allowed)"
  [ "$delay" -gt "$worst" ] && worst=$delay
done <"$work/result.txt"
echo "$name: every chord clicked arrived within three periods of $period frames (worst $worst frames)"
