// What a recording device received, read as notes: the window tests' checks of what played.
#pragma once

#include <map>
#include <utility>
#include <vector>

#include "platform/midi/testing/midi_testing.h"
#include "platform/midi_messages.h"

/// The note-ons of `status` (a note-on status byte: kind and channel) as (due from `start`, key).
inline std::vector<std::pair<brondel::platform::MidiMicros, int>> NoteOns(
    const brondel::platform::RecordingMidiDevice& device, brondel::platform::MidiMicros start,
    std::uint8_t status) {
  std::vector<std::pair<brondel::platform::MidiMicros, int>> ons;
  for (const brondel::platform::RecordedMessage& m : device.Messages()) {
    if (m.message.bytes[0] == status && m.message.bytes[2] > 0) {
      ons.emplace_back(m.due - start, m.message.bytes[1]);
    }
  }
  return ons;
}

/// True when every note-on was followed by its note-off, per channel and key.
inline bool EveryNoteEnded(const brondel::platform::RecordingMidiDevice& device) {
  namespace midi = brondel::midi;
  std::map<std::pair<int, int>, int> sounding;
  for (const brondel::platform::RecordedMessage& m : device.Messages()) {
    const std::uint8_t status = m.message.bytes[0];
    if (!midi::IsNoteMessage(status)) continue;
    const auto note = std::make_pair(int{midi::ChannelOf(status)}, int{m.message.bytes[1]});
    if (midi::IsNoteOn(status, m.message.bytes[2])) {
      ++sounding[note];
    } else {
      sounding[note] = 0;
    }
  }
  for (const auto& [note, count] : sounding) {
    if (count != 0) return false;
  }
  return true;
}
