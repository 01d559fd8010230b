// Our own writer of Standard MIDI Files: the header chunk, then one track chunk per track, each
// event after its delta time as a variable-length number, every message with its status byte
// (no running status), and each track closed by its end-of-track event. An event that would not
// read back as itself is refused before anything is laid out.
#include <string_view>

#include "platform/midi_file.h"
#include "platform/midi_messages.h"

namespace brondel::platform {

namespace {

constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
constexpr std::uint16_t kMaxDivision = 0x7FFF;  // a set top bit means SMPTE frames
constexpr std::uint64_t kMaxChunkLength = 0xFFFFFFFF;
constexpr std::size_t kMaxVariableLengthBytes = 4;
constexpr std::uint32_t kMaxVariableLength = 0x0FFFFFFF;  // what four bytes of seven bits hold

// A refusal of the file, with where it stands.
struct TRefusal {
  std::string what;
};

void AppendBigEndian(std::vector<std::uint8_t>& bytes, std::uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void AppendChunkHeader(std::vector<std::uint8_t>& bytes, std::string_view id,
                       std::uint32_t length) {
  bytes.insert(bytes.end(), id.begin(), id.end());
  AppendBigEndian(bytes, length, 4);
}

// A variable-length number: seven bits a byte, high bytes first, the top bit set on all but the
// last. Up to kMaxVariableLength it takes at most four bytes, as a file may hold.
void AppendVariableLength(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  std::uint8_t groups[5];  // 32 bits in groups of seven
  std::size_t count = 0;
  do {
    groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value > 0);
  while (count > 1) bytes.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
  bytes.push_back(groups[0]);
}

// The size of a variable-length number that starts at `at`, or 0 when it does not end within
// four bytes or within `bytes`; its value goes to `value`.
std::size_t VariableLengthAt(std::span<const std::uint8_t> bytes, std::size_t at,
                             std::uint32_t& value) {
  value = 0;
  for (std::size_t i = 0; i < kMaxVariableLengthBytes && at + i < bytes.size(); ++i) {
    value = value << 7 | (bytes[at + i] & 0x7Fu);
    if ((bytes[at + i] & 0x80) == 0) return i + 1;
  }
  return 0;
}

// True when `data` (from `at` on) is a length as a variable-length number followed by exactly
// that many bytes.
bool IsLengthAndData(std::span<const std::uint8_t> data, std::size_t at) {
  std::uint32_t length = 0;
  const std::size_t size = VariableLengthAt(data, at, length);
  return size != 0 && data.size() - at - size == length;
}

// Why `bytes` is not one whole event a track may hold, or nothing when it is.
std::string_view EventFault(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return "an event without bytes";
  const std::uint8_t status = bytes[0];
  if (status == kMetaStatus) {
    if (bytes.size() < 2 || !IsLengthAndData(bytes, 2)) {
      return "a meta event whose length is not that of its data";
    }
    if (bytes[1] == kMetaEndOfTrack) return "an end-of-track event among the events";
    return {};
  }
  if (status == midi::kSysEx || status == midi::kSysExContinuation) {
    if (!IsLengthAndData(bytes, 1)) {
      return "a system exclusive message whose length is not that of its data";
    }
    return {};
  }
  if (!midi::IsChannelStatus(status)) return "a status byte a MIDI file may not hold";
  if (bytes.size() != 1 + static_cast<std::size_t>(midi::DataByteCount(status))) {
    return "a channel message with the wrong number of data bytes";
  }
  for (std::size_t i = 1; i < bytes.size(); ++i) {
    if (!midi::IsDataByte(bytes[i])) return "a data byte above 127";
  }
  return {};
}

// What a refusal calls event `e` of `track` (counted from 0), or its end when `e` is past the
// events.
std::string Named(const TMidiFileTrack& track, std::size_t e) {
  return e < track.events.size() ? "event " + std::to_string(e + 1) : "the track's end";
}

// The delta time of event `e` of `track` (its end past the events) at `tick`, the event before
// being at `previous`; a refusal when it is negative or longer than a delta time can say.
std::uint32_t DeltaTime(const TMidiFileTrack& track, std::size_t e, std::uint64_t tick,
                        std::uint64_t previous) {
  if (tick < previous) throw TRefusal{Named(track, e) + " lies before the event ahead of it"};
  if (tick - previous > kMaxVariableLength) {
    throw TRefusal{Named(track, e) + " lies more than " + std::to_string(kMaxVariableLength) +
                   " ticks after the event ahead of it"};
  }
  return static_cast<std::uint32_t>(tick - previous);
}

// Appends the chunk of one track; its length is filled in once its events are laid out.
void AppendTrack(std::vector<std::uint8_t>& out, const TMidiFileTrack& track) {
  AppendChunkHeader(out, "MTrk", 0);
  const std::size_t start = out.size();
  std::uint64_t previous = 0;
  for (std::size_t e = 0; e < track.events.size(); ++e) {
    const TMidiFileEvent& event = track.events[e];
    if (const std::string_view fault = EventFault(event.bytes); !fault.empty()) {
      throw TRefusal{Named(track, e) + " is " + std::string(fault)};
    }
    AppendVariableLength(out, DeltaTime(track, e, event.tick, previous));
    out.insert(out.end(), event.bytes.begin(), event.bytes.end());
    previous = event.tick;
  }
  AppendVariableLength(out, DeltaTime(track, track.events.size(), track.endTick, previous));
  out.insert(out.end(), {kMetaStatus, kMetaEndOfTrack, 0});
  const std::size_t length = out.size() - start;
  if (length > kMaxChunkLength) throw TRefusal{"more bytes than a track chunk can hold"};
  for (std::size_t i = 0; i < 4; ++i) {
    out[start - 4 + i] = static_cast<std::uint8_t>(length >> (8 * (3 - i)));
  }
}

std::vector<std::uint8_t> Write(const TMidiFile& file) {
  if (file.format > 1) throw TRefusal{"format " + std::to_string(file.format) + " is not written"};
  if (file.division == 0 || file.division > kMaxDivision) {
    throw TRefusal{"a division of " + std::to_string(file.division) +
                   " ticks per quarter note (1 to 32767 are written)"};
  }
  if (file.tracks.empty() || file.tracks.size() > 0xFFFF ||
      (file.format == 0 && file.tracks.size() != 1)) {
    throw TRefusal{std::to_string(file.tracks.size()) + " tracks in a file of format " +
                   std::to_string(file.format)};
  }
  std::vector<std::uint8_t> out;
  AppendChunkHeader(out, "MThd", 6);
  AppendBigEndian(out, file.format, 2);
  AppendBigEndian(out, static_cast<std::uint32_t>(file.tracks.size()), 2);
  AppendBigEndian(out, file.division, 2);
  for (std::size_t t = 0; t < file.tracks.size(); ++t) {
    try {
      AppendTrack(out, file.tracks[t]);
    } catch (const TRefusal& refusal) {
      throw TRefusal{"track " + std::to_string(t + 1) + ": " + refusal.what};
    }
  }
  return out;
}

}  // namespace

std::vector<std::uint8_t> MetaEventBytes(std::uint8_t type, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> bytes{kMetaStatus, type};
  AppendVariableLength(bytes, static_cast<std::uint32_t>(data.size()));
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

TMidiFileBytes WriteMidiFile(const TMidiFile& file) {
  try {
    return {Write(file), {}};
  } catch (const TRefusal& refusal) {
    return {{}, refusal.what};
  }
}

}  // namespace brondel::platform
