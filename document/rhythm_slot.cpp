#include "document/rhythm_slot.h"

#include <utility>

namespace brondel {

std::int32_t CountEvents(const TPartStream& stream) {
  std::int32_t count = 0;
  for (std::size_t i = 0; i + kRecordSize <= stream.size(); i += kRecordSize) {
    if (stream[i + 1] != kWaitMarker) ++count;
  }
  return count;
}

std::int32_t CountSectionEvents(const TRhythmSlot& slot, int section) {
  std::int32_t count = 0;
  for (const auto& stream : slot.streams[static_cast<std::size_t>(section)]) {
    count += CountEvents(stream);
  }
  return count;
}

void ReplacePartStream(TRhythmSlot& slot, int section, int part, TPartStream records) {
  slot.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)] =
      std::move(records);
  slot.eventCounts[static_cast<std::size_t>(section)] = CountSectionEvents(slot, section);
}

std::size_t SectionDataSize(const TRhythmSlot& slot, int section) {
  std::size_t size = 0;
  for (const auto& stream : slot.streams[static_cast<std::size_t>(section)]) size += stream.size();
  return size;
}

std::size_t TotalPartDataSize(const TPartStreams& streams) {
  std::size_t total = 0;
  for (const auto& section : streams) {
    for (const auto& stream : section) total += stream.size();
  }
  return total;
}

std::size_t TotalLength(const TPartStreams& streams) {
  return kHeaderSize + TotalPartDataSize(streams);
}

void AppendRecord(TPartStream& stream, const TRhythmRecord& record) {
  stream.push_back(record.b0);
  stream.push_back(record.b1);
  stream.push_back(record.b2);
}

}  // namespace brondel
