// Standard MIDI Files written byte by byte for tests, from the file format alone and
// independent of the program's writer, so that tests can make the files other programs write
// (running status, note-off messages, system exclusive and meta events, any division) and
// damaged ones (wrong chunk lengths, long delta times). A track reads like the events it holds:
//   TSmfTrackWriter().Name("Bass").Event(0, {0x9A, 40, 100}).Event(96, {40, 0}).End(0)
// is a track named Bass, a note-on on channel 11, its note-off 96 ticks later in running
// status, and the end of the track.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace brondel::test {

using TBytes = std::vector<std::uint8_t>;

/// A variable-length number: seven bits a byte, high bytes first.
inline TBytes Vlq(std::uint32_t value) {
  TBytes groups{static_cast<std::uint8_t>(value & 0x7F)};
  for (value >>= 7; value > 0; value >>= 7) {
    groups.insert(groups.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
  }
  return groups;
}

inline void Append(TBytes& to, const TBytes& bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

inline TBytes BigEndian(std::uint32_t value, int count) {
  TBytes bytes;
  for (int i = count - 1; i >= 0; --i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return bytes;
}

/// A chunk: its four-letter id, its length (the data's own unless given) and its data.
inline TBytes Chunk(const std::string& id, const TBytes& data, std::int64_t length = -1) {
  TBytes chunk(id.begin(), id.end());
  Append(chunk, BigEndian(static_cast<std::uint32_t>(length < 0 ? data.size() : length), 4));
  Append(chunk, data);
  return chunk;
}

/// The events of one track, each after its delta time, written exactly as given.
/// (Not TSmfTrack: the tool tests also link the reader of tests/tool/smf_reader.h, whose track
/// type has that name in this namespace.)
class TSmfTrackWriter {
 public:
  /// Any event as it stands in the file after its delta time: a channel message with its
  /// status, or only its data bytes to use the running status.
  TSmfTrackWriter& Event(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes) {
    Append(data_, Vlq(delta));
    data_.insert(data_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  /// A meta event of `type` with `payload`.
  TSmfTrackWriter& Meta(std::uint32_t delta, std::uint8_t type, const TBytes& payload) {
    Append(data_, Vlq(delta));
    Append(data_, {0xFF, type});
    Append(data_, Vlq(static_cast<std::uint32_t>(payload.size())));
    Append(data_, payload);
    return *this;
  }
  TSmfTrackWriter& Name(const std::string& name) {
    return Meta(0, 0x03, TBytes(name.begin(), name.end()));
  }
  TSmfTrackWriter& Marker(std::uint32_t delta, const std::string& text) {
    return Meta(delta, 0x06, TBytes(text.begin(), text.end()));
  }
  /// A tempo event: `micros` microseconds a quarter note.
  TSmfTrackWriter& Tempo(std::uint32_t delta, std::uint32_t micros) {
    return Meta(delta, 0x51, BigEndian(micros, 3));
  }
  /// A time signature event: numerator, and the denominator as a power of two.
  TSmfTrackWriter& TimeSignature(std::uint32_t delta, std::uint8_t numerator, std::uint8_t power) {
    return Meta(delta, 0x58, {numerator, power, 24, 8});
  }
  /// A system exclusive message (F0, length, data ending in F7).
  TSmfTrackWriter& SysEx(std::uint32_t delta, const TBytes& payload) {
    Append(data_, Vlq(delta));
    data_.push_back(0xF0);
    Append(data_, Vlq(static_cast<std::uint32_t>(payload.size())));
    Append(data_, payload);
    return *this;
  }
  /// The end-of-track event.
  TSmfTrackWriter& End(std::uint32_t delta) { return Meta(delta, 0x2F, {}); }

  /// A track of events already laid out, each after its delta time.
  static TSmfTrackWriter FromData(TBytes data) {
    TSmfTrackWriter track;
    track.data_ = std::move(data);
    return track;
  }

  const TBytes& Data() const { return data_; }
  /// The track's chunk, with its true length unless given another.
  TBytes ChunkBytes(std::int64_t length = -1) const { return Chunk("MTrk", data_, length); }

 private:
  TBytes data_;
};

/// A whole file: the header chunk (format, track count, division) and the track chunks.
inline TBytes SmfFile(int format, int division, const std::vector<TSmfTrackWriter>& tracks) {
  TBytes header = BigEndian(static_cast<std::uint32_t>(format), 2);
  Append(header, BigEndian(static_cast<std::uint32_t>(tracks.size()), 2));
  Append(header, BigEndian(static_cast<std::uint32_t>(division), 2));
  TBytes file = Chunk("MThd", header);
  for (const TSmfTrackWriter& track : tracks) Append(file, track.ChunkBytes());
  return file;
}

}  // namespace brondel::test
