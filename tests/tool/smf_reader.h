// A Standard MIDI File reader for tests, written from the file format alone and independent of
// the library the tool writes with. It refuses anything malformed instead of guessing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brondel::test {

/// One event of a track at its absolute tick: a channel message (status and data bytes, running
/// status expanded), a meta event (0xFF, type, data) or a system exclusive message.
struct TSmfEvent {
  std::uint32_t tick = 0;
  std::vector<std::uint8_t> bytes;
};

struct TSmfTrack {
  std::vector<TSmfEvent> events;  // the end-of-track event included, always last

  /// The text of the first track name meta event, empty when there is none.
  std::string Name() const;
  /// The channel messages only, in order.
  std::vector<TSmfEvent> ChannelMessages() const;
  /// The tick of the end-of-track event.
  std::uint32_t EndTick() const { return events.back().tick; }
};

struct TSmf {
  int format = 0;
  int division = 0;
  std::vector<TSmfTrack> tracks;
};

/// Parses a whole file; throws std::runtime_error naming the offset of the first fault (a
/// chunk of the wrong length, a data byte of 128 or more, a missing or early end of track).
TSmf ParseSmf(const std::vector<std::uint8_t>& file);

}  // namespace brondel::test
