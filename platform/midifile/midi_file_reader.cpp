// Our own reader of Standard MIDI Files, for files of any origin: it checks every length against
// the bytes that are there and refuses a damaged file with the reason and the offset of the
// fault.
#include <algorithm>
#include <string_view>

#include "platform/file_io.h"
#include "platform/midi_file.h"
#include "platform/midi_messages.h"

namespace brondel::platform {

namespace {

constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kMidiHeaderSize = 6;  // format, track count, division
constexpr int kMaxVariableLengthBytes = 4;

// A fault that ends the reading; `what` says what and where.
struct TMidiFileFault {
  std::string what;
};

[[noreturn]] void Fail(std::size_t offset, const std::string& what) {
  throw TMidiFileFault{what + " at offset " + std::to_string(offset)};
}

std::string Hex(std::uint8_t byte) {
  static constexpr std::string_view kDigits = "0123456789ABCDEF";
  return std::string("0x") + kDigits[byte >> 4] + kDigits[byte & 0x0F];
}

// Reads the bytes from `at` up to `end`, never past it.
class TByteReader {
 public:
  TByteReader(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t end)
      : bytes_(bytes), at_(at), end_(end) {}

  bool AtEnd() const { return at_ >= end_; }
  std::size_t Offset() const { return at_; }
  std::size_t Left() const { return end_ - at_; }

  std::uint8_t Byte(const char* what) {
    if (AtEnd()) Fail(at_, std::string(what) + " runs past the end of its track");
    return bytes_[at_++];
  }
  std::uint32_t BigEndian(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | bytes_[at_++];
    return value;
  }
  // A variable-length number: seven bits a byte, high bytes first, at most four bytes.
  std::uint32_t VariableLength(const char* what) {
    const std::size_t start = at_;
    std::uint32_t value = 0;
    for (int i = 0; i < kMaxVariableLengthBytes; ++i) {
      const std::uint8_t byte = Byte(what);
      value = value << 7 | (byte & 0x7F);
      if ((byte & 0x80) == 0) return value;
    }
    Fail(start, std::string(what) + " longer than four bytes");
  }
  // Skips `count` bytes, checked against what is left.
  void Skip(std::uint32_t count, const char* what) {
    if (count > Left()) {
      Fail(at_, std::string(what) + " of " + std::to_string(count) + " bytes runs past its track");
    }
    at_ += count;
  }
  // The bytes read since `from`.
  std::span<const std::uint8_t> Since(std::size_t from) const {
    return bytes_.subspan(from, at_ - from);
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_;
  std::size_t end_;
};

// The length and data of a meta or system exclusive event, appended as the file holds them.
void ReadLengthAndData(TByteReader& in, std::vector<std::uint8_t>& bytes, const char* what) {
  const std::size_t lengthAt = in.Offset();
  in.Skip(in.VariableLength(what), what);
  const std::span<const std::uint8_t> kept = in.Since(lengthAt);
  bytes.insert(bytes.end(), kept.begin(), kept.end());
}

// A channel message whose status is known and whose first data byte has been read.
void ReadChannelMessage(TByteReader& in, std::uint8_t status, std::uint8_t first,
                        std::size_t firstAt, std::vector<std::uint8_t>& bytes) {
  if (!midi::IsDataByte(first))
    Fail(firstAt, "a status byte " + Hex(first) + " where data was expected");
  bytes = {status, first};
  if (midi::DataByteCount(status) == 1) return;
  const std::size_t secondAt = in.Offset();
  const std::uint8_t second = in.Byte("a channel message");
  if (!midi::IsDataByte(second))
    Fail(secondAt, "a status byte " + Hex(second) + " where data was expected");
  bytes.push_back(second);
}

// The events of one track chunk, up to its end-of-track event.
TMidiFileTrack ReadTrack(TByteReader in) {
  TMidiFileTrack track;
  // Most events take four bytes or more (a delta time, a status and two data bytes); room for
  // that many spares the copies of a growing list, and stays within a few times the file's size.
  track.events.reserve(in.Left() / 4);
  std::uint64_t tick = 0;
  std::uint8_t running = 0;  // the running status; 0 when there is none
  while (!in.AtEnd()) {
    tick += in.VariableLength("a delta time");
    TMidiFileEvent event{tick, {}};
    const std::size_t statusAt = in.Offset();
    const std::uint8_t first = in.Byte("an event");
    if (first == kMetaStatus) {
      const std::uint8_t type = in.Byte("a meta event");
      event.bytes = {kMetaStatus, type};
      ReadLengthAndData(in, event.bytes, "a meta event");
      running = 0;
      if (type == kMetaEndOfTrack) {
        track.endTick = tick;
        return track;
      }
    } else if (first == midi::kSysEx || first == midi::kSysExContinuation) {
      event.bytes = {first};
      ReadLengthAndData(in, event.bytes, "a system exclusive message");
      running = 0;
    } else if (midi::IsChannelStatus(first)) {
      running = first;
      const std::size_t dataAt = in.Offset();
      ReadChannelMessage(in, first, in.Byte("a channel message"), dataAt, event.bytes);
    } else if (midi::IsDataByte(first)) {
      if (running == 0) Fail(statusAt, "a data byte without a status byte");
      ReadChannelMessage(in, running, first, statusAt, event.bytes);
    } else {
      Fail(statusAt, "a status byte " + Hex(first) + ", which a MIDI file may not hold");
    }
    track.events.push_back(std::move(event));
  }
  // No end-of-track event: the track ends with its last event.
  track.endTick = track.events.empty() ? 0 : track.events.back().tick;
  return track;
}

bool ChunkIs(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view id) {
  return std::equal(id.begin(), id.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

// The length of the chunk whose header starts at `at`, checked against the bytes that follow.
std::uint32_t ChunkLength(std::span<const std::uint8_t> bytes, std::size_t at) {
  const std::uint32_t length = TByteReader(bytes, at + 4, at + 8).BigEndian(4);
  const std::size_t left = bytes.size() - at - kChunkHeaderSize;
  if (length > left) {
    Fail(at, "a chunk of " + std::to_string(length) + " bytes, of which only " +
                 std::to_string(left) + " are in the file (truncated or a wrong chunk length)");
  }
  return length;
}

TMidiFile ReadHeader(std::span<const std::uint8_t> bytes, std::uint16_t& trackCount) {
  if (bytes.size() < kChunkHeaderSize || !ChunkIs(bytes, 0, "MThd")) {
    throw TMidiFileFault{"not a Standard MIDI File: it does not start with \"MThd\""};
  }
  const std::uint32_t length = ChunkLength(bytes, 0);
  if (length < kMidiHeaderSize) {
    Fail(0, "a header chunk of " + std::to_string(length) + " bytes instead of 6");
  }
  TByteReader in(bytes, kChunkHeaderSize, kChunkHeaderSize + length);
  TMidiFile file;
  file.format = static_cast<std::uint16_t>(in.BigEndian(2));
  trackCount = static_cast<std::uint16_t>(in.BigEndian(2));
  file.division = static_cast<std::uint16_t>(in.BigEndian(2));
  if (file.format > 1) {
    throw TMidiFileFault{"format " + std::to_string(file.format) +
                         ": only formats 0 and 1 (one song) are read"};
  }
  if (file.division & 0x8000) {
    throw TMidiFileFault{
        "timed in SMPTE frames: only files timed in ticks per quarter note are read"};
  }
  if (file.division == 0) throw TMidiFileFault{"a division of 0 ticks per quarter note"};
  return file;
}

TMidiFile Read(std::span<const std::uint8_t> bytes) {
  std::uint16_t trackCount = 0;
  TMidiFile file = ReadHeader(bytes, trackCount);
  std::size_t at = kChunkHeaderSize + ChunkLength(bytes, 0);
  while (file.tracks.size() < trackCount) {
    if (bytes.size() - at < kChunkHeaderSize) {
      Fail(at, "the end of the file after " + std::to_string(file.tracks.size()) + " of the " +
                   std::to_string(trackCount) + " tracks its header announces");
    }
    const std::uint32_t length = ChunkLength(bytes, at);
    const std::size_t data = at + kChunkHeaderSize;
    // Chunks of other kinds are for other programs.
    if (ChunkIs(bytes, at, "MTrk")) file.tracks.push_back(ReadTrack({bytes, data, data + length}));
    at = data + length;
  }
  return file;
}

}  // namespace

std::optional<std::uint8_t> MetaType(const TMidiFileEvent& event) {
  if (event.bytes.size() < 2 || event.bytes[0] != kMetaStatus) return std::nullopt;
  return event.bytes[1];
}

std::span<const std::uint8_t> MetaData(const TMidiFileEvent& event) {
  if (!MetaType(event)) return {};
  // The length's bytes follow the type; the last has its top bit clear.
  std::size_t at = 2;
  while (at < event.bytes.size() && (event.bytes[at] & 0x80) != 0) ++at;
  return std::span<const std::uint8_t>(event.bytes).subspan(std::min(at + 1, event.bytes.size()));
}

TMidiFileRead ReadMidiFile(std::span<const std::uint8_t> bytes) {
  try {
    return {Read(bytes), {}};
  } catch (const TMidiFileFault& fault) {
    return {{}, fault.what};
  }
}

TMidiFileRead ReadMidiFileAt(const std::string& path) {
  const TReadResult read = ReadWholeFile(path, kMaxMidiFileReadSize);
  if (read.tooLarge) {
    return {{},
            "larger than " + std::to_string(kMaxMidiFileReadSize >> 20) +
                " MiB, more than a MIDI file of an accompaniment holds"};
  }
  if (!read.ok) return {{}, "cannot read: " + read.error};
  return ReadMidiFile(read.bytes);
}

}  // namespace brondel::platform
