// Standard MIDI Files as data: a format, a division and tracks of timed events, each event the
// bytes of a channel message, a meta event or a system exclusive message. The writer lays such a
// file out and the reader gives back the same shape, both our own. Failures come back as a
// reason, a text.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brondel::platform {

/// The status byte that starts a meta event.
inline constexpr std::uint8_t kMetaStatus = 0xFF;
/// Meta event types the program writes or reads.
inline constexpr std::uint8_t kMetaText = 0x01;
inline constexpr std::uint8_t kMetaTrackName = 0x03;
inline constexpr std::uint8_t kMetaMarker = 0x06;
inline constexpr std::uint8_t kMetaTempo = 0x51;
inline constexpr std::uint8_t kMetaTimeSignature = 0x58;

/// One event of a track at an absolute tick: a channel message (status and data bytes, running
/// status written out), a meta event (0xFF, type, length as a variable-length number, data) or a
/// system exclusive message (0xF0 or 0xF7, length, data).
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
/// The type of a meta event; none for a channel or system exclusive message.
std::optional<std::uint8_t> MetaType(const TMidiFileEvent& event);
/// The data of a meta event, after its type and length; empty for any other event.
std::span<const std::uint8_t> MetaData(const TMidiFileEvent& event);

/// The bytes of a laid out file, or why there are none.
struct TMidiFileBytes {
  std::vector<std::uint8_t> bytes;
  std::string error;  // non-empty: the file could not be laid out
};

/// Lays out `file` as the bytes of a Standard MIDI File: the header chunk, then a track chunk
/// per track, each event after its delta time and written whole (no running status), each track
/// closed by an end-of-track event at its endTick. Refuses, naming the track and event: a format
/// other than 0 or 1, a division outside 1 to 32767, no tracks (or more than one in format 0),
/// an event that is not one whole channel message, meta event or system exclusive message as a
/// file holds it (a data byte above 127 included), an end-of-track event among the events, an
/// event or end before the event ahead of it, and a delta time above 0x0FFFFFFF ticks.
TMidiFileBytes WriteMidiFile(const TMidiFile& file);

/// The most bytes ReadMidiFileAt reads: far more than any accompaniment, and few enough that the
/// events of a file of that size (at most one per two bytes) fit in memory.
inline constexpr std::size_t kMaxMidiFileReadSize = 8 * 1024 * 1024;

/// A file read, or why it could not be.
struct TMidiFileRead {
  TMidiFile file;
  std::string error;  // non-empty: the file was refused; says why, and where when it is damaged
};

/// Reads the bytes of a Standard MIDI File of format 0 or 1 timed in ticks per quarter note.
/// Strict about structure: a chunk that runs past the file, an event that runs past its track,
/// a data byte of 128 or more, a data byte without a status, a status byte a file may not hold,
/// or fewer tracks than the header announces refuse the file. Lenient where files often are:
/// chunks of other kinds are skipped, a track without its end-of-track event ends at its last
/// event, anything after an end-of-track event or after the last track is ignored. Every length
/// is checked against the bytes that are there before anything is allocated.
TMidiFileRead ReadMidiFile(std::span<const std::uint8_t> bytes);

/// Reads the file at `path` (at most kMaxMidiFileReadSize bytes) and then ReadMidiFile; the error
/// then also covers a file that cannot be read.
TMidiFileRead ReadMidiFileAt(const std::string& path);

}  // namespace brondel::platform
