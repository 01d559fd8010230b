// What a recording device received, read as notes: the checks of what a play sent, shared by
// the playback and the window tests.
#pragma once

#include <map>
#include <utility>
#include <vector>

#include "platform/midi/testing/midi_testing.h"
#include "platform/midi_messages.h"

namespace brondel::test {

/// The note-ons (velocity above 0) of `status` (kind and channel) as (due - `start`, key).
inline std::vector<std::pair<platform::MidiMicros, int>> NoteOnsOf(
    const platform::RecordingMidiDevice& device, std::uint8_t status,
    platform::MidiMicros start = platform::MidiMicros{0}) {
  std::vector<std::pair<platform::MidiMicros, int>> ons;
  for (const platform::RecordedMessage& m : device.Messages()) {
    if (m.message.bytes[0] == status && m.message.bytes[2] > 0) {
      ons.emplace_back(m.due - start, m.message.bytes[1]);
    }
  }
  return ons;
}

/// The due times of the messages ending `key` on the channel of the note-on `status` (note-offs,
/// or note-ons of velocity 0).
inline std::vector<platform::MidiMicros> NoteOffsOf(const platform::RecordingMidiDevice& device,
                                                    std::uint8_t status, int key) {
  std::vector<platform::MidiMicros> offs;
  for (const platform::RecordedMessage& m : device.Messages()) {
    const bool off = m.message.bytes[0] == (status & 0xEF) ||
                     (m.message.bytes[0] == status && m.message.bytes[2] == 0);
    if (off && m.message.bytes[1] == key) offs.push_back(m.due);
  }
  return offs;
}

/// The (channel, key) pairs whose last note-on no note-off followed.
inline std::vector<std::pair<int, int>> NotesLeftOn(const platform::RecordingMidiDevice& device) {
  std::map<std::pair<int, int>, int> sounding;
  for (const platform::RecordedMessage& m : device.Messages()) {
    const std::uint8_t status = m.message.bytes[0];
    if (!midi::IsNoteMessage(status)) continue;
    const auto note = std::make_pair(int{midi::ChannelOf(status)}, int{m.message.bytes[1]});
    if (midi::IsNoteOn(status, m.message.bytes[2])) {
      ++sounding[note];
    } else {
      sounding[note] = 0;
    }
  }
  std::vector<std::pair<int, int>> left;
  for (const auto& [note, count] : sounding) {
    if (count != 0) left.push_back(note);
  }
  return left;
}

}  // namespace brondel::test
