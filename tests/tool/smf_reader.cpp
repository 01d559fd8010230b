#include "tests/tool/smf_reader.h"

#include <stdexcept>

namespace brondel::test {

namespace {

class TReader {
 public:
  TReader(const std::vector<std::uint8_t>& bytes, std::size_t begin, std::size_t end)
      : bytes_(bytes), at_(begin), end_(end) {}

  bool AtEnd() const { return at_ >= end_; }
  std::size_t Offset() const { return at_; }

  std::uint8_t Byte() {
    if (at_ >= end_) Fail("data runs past its chunk");
    return bytes_[at_++];
  }
  std::uint32_t BigEndian(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | Byte();
    return value;
  }
  // A variable-length quantity: at most four bytes of seven bits each.
  std::uint32_t Vlq() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const std::uint8_t b = Byte();
      value = value << 7 | (b & 0x7F);
      if ((b & 0x80) == 0) return value;
    }
    Fail("a variable-length number of more than four bytes");
  }
  std::vector<std::uint8_t> Bytes(std::uint32_t count) {
    std::vector<std::uint8_t> data;
    for (std::uint32_t i = 0; i < count; ++i) data.push_back(Byte());
    return data;
  }
  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error("offset " + std::to_string(at_) + ": " + what);
  }

 private:
  const std::vector<std::uint8_t>& bytes_;
  std::size_t at_;
  std::size_t end_;
};

std::size_t DataBytesOf(std::uint8_t status) {
  const int kind = status & 0xF0;
  return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// The rest of a channel message whose status is known and whose first data byte is read.
void ReadChannelMessage(TReader& in, std::uint8_t status, std::uint8_t first, TSmfEvent& event) {
  event.bytes = {status, first};
  if (DataBytesOf(status) == 2) event.bytes.push_back(in.Byte());
  for (std::size_t i = 1; i < event.bytes.size(); ++i) {
    if (event.bytes[i] > 0x7F) in.Fail("a data byte above 127");
  }
}

// One event after its delta time; `running` is the running status, 0 when there is none.
TSmfEvent ReadEvent(TReader& in, std::uint32_t tick, std::uint8_t& running) {
  TSmfEvent event{tick, {}};
  const std::uint8_t first = in.Byte();
  if (first == 0xFF) {
    const std::uint8_t type = in.Byte();
    const std::vector<std::uint8_t> data = in.Bytes(in.Vlq());
    event.bytes = {0xFF, type};
    event.bytes.insert(event.bytes.end(), data.begin(), data.end());
  } else if (first == 0xF0 || first == 0xF7) {
    event.bytes = {first};
    const std::vector<std::uint8_t> data = in.Bytes(in.Vlq());
    event.bytes.insert(event.bytes.end(), data.begin(), data.end());
    running = 0;
  } else if (first & 0x80) {
    running = first;
    ReadChannelMessage(in, first, in.Byte(), event);
  } else {
    if (running == 0) in.Fail("a data byte without a status");
    ReadChannelMessage(in, running, first, event);
  }
  return event;
}

bool IsEndOfTrack(const TSmfEvent& event) {
  return event.bytes.size() == 2 && event.bytes[0] == 0xFF && event.bytes[1] == 0x2F;
}

TSmfTrack ReadTrack(TReader& in) {
  TSmfTrack track;
  std::uint32_t tick = 0;
  std::uint8_t running = 0;
  while (!in.AtEnd()) {
    if (!track.events.empty() && IsEndOfTrack(track.events.back())) in.Fail("events after the end");
    tick += in.Vlq();
    track.events.push_back(ReadEvent(in, tick, running));
  }
  if (track.events.empty() || !IsEndOfTrack(track.events.back())) in.Fail("no end of track");
  return track;
}

std::uint32_t ChunkHeader(const std::vector<std::uint8_t>& file, std::size_t at,
                          const std::string& id) {
  TReader in(file, at, file.size());
  if (file.size() < at + 8 ||
      std::string(file.begin() + static_cast<std::ptrdiff_t>(at),
                  file.begin() + static_cast<std::ptrdiff_t>(at) + 4) != id) {
    in.Fail("no " + id + " chunk");
  }
  in.Bytes(4);
  const std::uint32_t length = in.BigEndian(4);
  if (file.size() < at + 8 + length) in.Fail(id + " chunk longer than the file");
  return length;
}

}  // namespace

std::string TSmfTrack::Name() const {
  for (const TSmfEvent& event : events) {
    if (event.bytes.size() >= 2 && event.bytes[0] == 0xFF && event.bytes[1] == 0x03) {
      return std::string(event.bytes.begin() + 2, event.bytes.end());
    }
  }
  return {};
}

std::vector<TSmfEvent> TSmfTrack::ChannelMessages() const {
  std::vector<TSmfEvent> messages;
  for (const TSmfEvent& event : events) {
    if (event.bytes[0] >= 0x80 && event.bytes[0] < 0xF0) messages.push_back(event);
  }
  return messages;
}

TSmf ParseSmf(const std::vector<std::uint8_t>& file) {
  const std::uint32_t headerLength = ChunkHeader(file, 0, "MThd");
  TReader header(file, 8, 8 + headerLength);
  if (headerLength != 6) header.Fail("a header chunk that is not 6 bytes");
  TSmf smf;
  smf.format = static_cast<int>(header.BigEndian(2));
  const std::uint32_t trackCount = header.BigEndian(2);
  smf.division = static_cast<int>(header.BigEndian(2));
  std::size_t at = 8 + headerLength;
  for (std::uint32_t t = 0; t < trackCount; ++t) {
    const std::uint32_t length = ChunkHeader(file, at, "MTrk");
    TReader track(file, at + 8, at + 8 + length);
    smf.tracks.push_back(ReadTrack(track));
    at += 8 + length;
  }
  if (at != file.size()) TReader(file, at, file.size()).Fail("bytes after the last track");
  return smf;
}

}  // namespace brondel::test
