// Standard MIDI Files as data: a format, a division and tracks of timed events, each event the
// bytes of a channel message or of a meta event. The writer lays such a file out with libsmf; a
// reader giving back the same shape belongs beside it. Failures come back as a reason, a text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brondel::platform {

/// Meta event types the program writes.
inline constexpr std::uint8_t kMetaTrackName = 0x03;
inline constexpr std::uint8_t kMetaTempo = 0x51;
inline constexpr std::uint8_t kMetaTimeSignature = 0x58;

/// One event of a track at an absolute tick: a channel message (status and data bytes) or a
/// meta event (0xFF, type, length as a variable-length number, data).
struct TMidiFileEvent {
  std::uint64_t tick = 0;
  std::vector<std::uint8_t> bytes;
};

/// A track: its events in time order, and the tick of its end-of-track event (not below the
/// last event's).
struct TMidiFileTrack {
  std::vector<TMidiFileEvent> events;
  std::uint64_t endTick = 0;
};

/// A whole Standard MIDI File.
struct TMidiFile {
  std::uint16_t format = 1;
  std::uint16_t division = 0;  // ticks per quarter note, 1 to 32767
  std::vector<TMidiFileTrack> tracks;
};

/// The bytes of a meta event of `type` carrying `data`.
std::vector<std::uint8_t> MetaEventBytes(std::uint8_t type, const std::vector<std::uint8_t>& data);

/// The bytes of a laid out file, or why there are none.
struct TMidiFileBytes {
  std::vector<std::uint8_t> bytes;
  std::string error;  // non-empty: the file could not be laid out
};

/// Lays out `file` as the bytes of a Standard MIDI File.
TMidiFileBytes WriteMidiFile(const TMidiFile& file);

}  // namespace brondel::platform
