// Standard MIDI Files of what the program plays: the queued buffers on one timeline, written as
// a format-1 file with libsmf.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/midi_service.h"
#include "playback/render.h"

namespace brondel::tool {

/// The messages of one or more played buffers, on one timeline of ticks.
struct TMidiSong {
  std::vector<platform::StreamEvent> events;  // ticks from the song's start, in time order
  std::uint64_t endTick = 0;                  // where the last buffer appended ends
};

/// Appends a buffer as the stream plays it after what the song holds: its first event starts
/// at the song's end, which then moves to its last event. A message with a data byte above 127
/// is not sent, as on the wire; its event keeps its place in time.
void AppendPlayedBuffer(TMidiSong& song, const TEventBuffer& buffer);

/// What describes the whole file besides its messages.
struct TMidiFileHeader {
  std::uint16_t division = 0;      // ticks per quarter note (the rhythm's tempo byte), above 0
  std::uint8_t timeSignature = 0;  // the rhythm's byte: numerator in bits 7-3, 2^(bits 2-0)
  std::string title;               // the conductor track's name
};

/// The bytes of a format-1 Standard MIDI File: a conductor track (title, tempo 500,000 us per
/// quarter note, time signature), then one track per part named after it with the messages of
/// the part's channel. Every track ends at the song's end. Throws std::runtime_error when the
/// library refuses the file.
std::vector<std::uint8_t> BuildMidiFile(const TMidiSong& song, const TMidiFileHeader& header);

}  // namespace brondel::tool
