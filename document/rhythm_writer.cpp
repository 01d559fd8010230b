#include "document/rhythm_writer.h"

namespace brondel {

bool TooLargeToSave(const TPartStreams& streams) {
  return TotalLength(streams) > kMaxTotalLength;
}

std::vector<std::uint8_t> BuildCkfFile(TRhythmHeader& header, const TPartStreams& streams,
                                       std::array<std::uint8_t, kPrefixSize>& prefix) {
  // Data offsets follow the streams in the order they are written.
  std::size_t running = 0;
  for (int s = 0; s < kSectionCount; ++s) {
    for (int p = 0; p < kPartCount; ++p) {
      header.SetDataOffset(s, p, static_cast<std::uint16_t>(running & 0xFFFF));
      running += streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(p)].size();
    }
  }
  const auto total = static_cast<std::uint16_t>((kHeaderSize + running) & 0xFFFF);
  header.SetTotalLength(total);
  header.SetEndMark(0xFFFF);
  WriteU16BE(&prefix[kPrefixLengthOffset], total);

  std::vector<std::uint8_t> file;
  file.reserve(kPrefixSize + kHeaderSize + running);
  file.insert(file.end(), prefix.begin(), prefix.end());
  file[kTypeByteOffset] = kCkfTypeByte;
  file.insert(file.end(), header.bytes.begin(), header.bytes.end());
  for (const auto& section : streams) {
    for (const auto& stream : section) file.insert(file.end(), stream.begin(), stream.end());
  }
  return file;
}

}  // namespace brondel
