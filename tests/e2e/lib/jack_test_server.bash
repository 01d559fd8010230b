# Shared by the end-to-end scripts: a private JACK server with the dummy driver (no sound card
# needed) and our MIDI monitor as the receiver (tests/e2e/monitor: the port "midi-monitor:input",
# printing what jack_midi_dump -a prints, but keeping every event however loaded the machine), both
# ended when the script exits. Source it after setting `build` (the build directory) and `name`
# (used in messages and in the server's name).

work="$(mktemp -d)"
export JACK_NO_START_SERVER=1
export JACK_DEFAULT_SERVER="brondel_${name}_$$"
jackd_pid=""
dump_pid=""

fail() {
  echo "$name: $*" >&2
  exit 1
}

cleanup() {
  if [ -n "$dump_pid" ]; then kill "$dump_pid" 2>/dev/null || true; fi
  if [ -n "$jackd_pid" ]; then kill "$jackd_pid" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Frames per period: 256 unless BRONDEL_JACK_PERIOD says otherwise (the benchmarks' figures at
# other periods).
jack_period="${BRONDEL_JACK_PERIOD:-256}"

start_jack_server() {
  jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p "$jack_period" >"$work/jackd.log" 2>&1 &
  jackd_pid=$!
  jack_wait -w -t 10 >/dev/null || { cat "$work/jackd.log" >&2; fail "the JACK server did not start"; }
}

# Starts the monitor writing to $1 and waits for its port.
start_monitor() {
  "$build/tests/e2e_midi_monitor" >"$1" 2>"$work/dump.err" &
  dump_pid=$!
  for _ in $(seq 100); do
    jack_lsp 2>/dev/null | grep -qx "midi-monitor:input" && return 0
    sleep 0.1
  done
  fail "the MIDI monitor did not show its port"
}

# Give the last period a moment to arrive, then end the monitor: it prints all it received.
stop_monitor() {
  sleep 0.5
  kill "$dump_pid"
  wait "$dump_pid" 2>/dev/null || true
  dump_pid=""
}

# "  28965: 99 24 64 note on (channel  9): ..." -> "28965 99 24 64"
received() {
  awk '{ out = ""
         for (i = 2; i <= 4 && $i ~ /^[0-9a-f][0-9a-f]$/; i++) out = out " " toupper($i)
         sub(":", "", $1)
         if (out != "") print $1 out }' "$1"
}

# The same without the frame times: "99 24 64".
received_messages() {
  received "$1" | cut -d' ' -f2-
}

# The messages a stream-event buffer file sends, at their ticks: "tick STATUS DATA1 [DATA2]",
# without those whose data bytes are above 127 (the end records).
sent_messages() {
  od -An -v -tu1 -w12 "$1" |
    awk '{ tick += $1 + 256 * $2 + 65536 * $3 + 16777216 * $4
           two = ($9 >= 192 && $9 < 224)
           if ($10 > 127 || (!two && $11 > 127)) next
           printf "%d %02X %02X", tick, $9, $10
           if (!two) printf " %02X", $11
           printf "\n" }'
}

# What a section's play that nothing follows ends with: All Notes Off on the five parts' channels.
section_endings() {
  printf '%s\n' "B9 7B 00" "BA 7B 00" "BB 7B 00" "BC 7B 00" "BD 7B 00"
}

# Checks that the second repetition of a looped section started exactly one section after the
# first: $1 the monitor's output, $2 the messages of one repetition, $3 the section's length in
# microseconds (at the server's 48 kHz).
check_second_repetition() {
  received "$1" | cut -d' ' -f1 >"$work/frames.txt"
  local first second wanted
  first="$(sed -n 1p "$work/frames.txt")"
  second="$(sed -n "$(($2 + 1))p" "$work/frames.txt")"
  wanted=$(($3 * 48000 / 1000000))
  [ $((second - first)) -eq "$wanted" ] ||
    fail "the second repetition started $((second - first)) frames after the first, not $wanted"
  echo "$name: the second repetition started $wanted frames (one section) after the first"
}
