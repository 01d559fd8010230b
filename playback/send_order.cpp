#include "playback/send_order.h"

#include <utility>
#include <vector>

#include "playback/render.h"

namespace brondel {

namespace {

using TNote = std::pair<std::uint8_t, std::uint8_t>;  // key and velocity of a note record

// Marks an event with its position in generation order, in the three bytes the sort carries
// along with the time.
void Mark(TRenderEvent& event, std::size_t position) {
  event.Status = static_cast<std::uint8_t>(position >> 16);
  event.Data1 = static_cast<std::uint8_t>(position >> 8);
  event.Data2 = static_cast<std::uint8_t>(position);
}

std::size_t MarkOf(const TRenderEvent& event) {
  return std::size_t{event.Status} << 16 | std::size_t{event.Data1} << 8 | event.Data2;
}

// For each note the part sends, in the order the render sends them, the number of the note
// record (counted among the part's note records) that it comes from.
std::vector<std::size_t> SentNoteRecords(const TRhythmSlot& slot, int section, int part,
                                         std::size_t notes) {
  std::vector<TRenderEvent> events;
  CollectSectionEvents(slot, section, events);
  // The part's events stand before those of the parts after it, which end the array.
  std::size_t first = events.size();
  for (int p = part; p < kPartCount; ++p) {
    first -= static_cast<std::size_t>(
        CountEvents(slot.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(p)]));
  }
  for (std::size_t position = 0; position < events.size(); ++position) {
    Mark(events[position], position);
  }
  ExchangeSortByTime(events);
  std::vector<std::size_t> sent;
  sent.reserve(notes);
  for (const TRenderEvent& event : events) {
    const std::size_t position = MarkOf(event);
    if (position >= first && position < first + notes) sent.push_back(position - first);
  }
  return sent;
}

}  // namespace

void ArrangeForSendOrder(TRhythmSlot& slot, int section, int part) {
  TPartStream& stream =
      slot.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)];
  // Where the note records before the end record stand; their notes, as they stand, are the
  // order wanted.
  std::vector<std::size_t> noteAt;
  std::vector<TNote> wanted;
  for (std::size_t at = 0; at + kRecordSize <= stream.size(); at += kRecordSize) {
    const TRhythmRecord record = TRhythmRecord::FromBytes(&stream[at]);
    if (record.IsEnd()) break;
    if (record.IsWait()) continue;
    noteAt.push_back(at);
    wanted.emplace_back(record.b1, record.b2);
  }
  const std::vector<std::size_t> sent = SentNoteRecords(slot, section, part, noteAt.size());
  for (std::size_t i = 0; i < sent.size(); ++i) {
    const std::size_t at = noteAt[sent[i]];
    stream[at + 1] = wanted[i].first;
    stream[at + 2] = wanted[i].second;
  }
}

}  // namespace brondel
