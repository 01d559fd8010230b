#include "render/send_order.h"

#include <utility>
#include <vector>

#include "render/render.h"

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

// The positions of the section's events in the order CollectSectionEvents generates them,
// listed in the order the render sends them.
std::vector<std::size_t> SendOrder(const TRhythmSlot& slot, int section) {
  std::vector<TRenderEvent> events;
  CollectSectionEvents(slot, section, events);
  for (std::size_t position = 0; position < events.size(); ++position) {
    Mark(events[position], position);
  }
  ExchangeSortByTime(events);
  std::vector<std::size_t> order;
  order.reserve(events.size());
  for (const TRenderEvent& event : events) order.push_back(MarkOf(event));
  return order;
}

// The position of a part's first event among the section's `eventCount`: the part's events stand
// before those of the parts after it, which end the array.
std::size_t FirstEventOf(const TRhythmSlot& slot, int section, int part, std::size_t eventCount) {
  std::size_t first = eventCount;
  for (int p = part; p < kPartCount; ++p) {
    first -= static_cast<std::size_t>(
        CountEvents(slot.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(p)]));
  }
  return first;
}

// Where the note records of a part before its end record stand, in record order.
std::vector<std::size_t> NoteRecords(const TPartStream& stream) {
  std::vector<std::size_t> noteAt;
  for (std::size_t at = 0; at + kRecordSize <= stream.size(); at += kRecordSize) {
    const TRhythmRecord record = TRhythmRecord::FromBytes(&stream[at]);
    if (record.IsEnd()) break;
    if (!record.IsWait()) noteAt.push_back(at);
  }
  return noteAt;
}

// The note records of a part whose events start at position `first`, in the order `order`
// sends their events.
std::vector<std::size_t> RecordsAsSent(const TPartStream& stream,
                                       const std::vector<std::size_t>& order, std::size_t first) {
  const std::vector<std::size_t> noteAt = NoteRecords(stream);
  std::vector<std::size_t> sent;
  sent.reserve(noteAt.size());
  for (const std::size_t position : order) {
    if (position >= first && position < first + noteAt.size()) {
      sent.push_back(noteAt[position - first]);
    }
  }
  return sent;
}

// Puts the notes of a part's note records, whose events start at position `first`, in the
// records that `order` sends one after the other.
void ArrangePart(TPartStream& stream, const std::vector<std::size_t>& order, std::size_t first) {
  // The notes, as the records stand, are the order wanted.
  std::vector<TNote> wanted;
  for (const std::size_t at : NoteRecords(stream))
    wanted.emplace_back(stream[at + 1], stream[at + 2]);
  std::size_t next = 0;
  for (const std::size_t at : RecordsAsSent(stream, order, first)) {
    stream[at + 1] = wanted[next].first;
    stream[at + 2] = wanted[next].second;
    ++next;
  }
}

// The opposite of ArrangePart: writes the notes `order` sends into the part's note records in
// record order, so that arranging the part lists them as they were sent.
void ListPartAsSent(TPartStream& stream, const std::vector<std::size_t>& order, std::size_t first) {
  std::vector<TNote> sent;
  for (const std::size_t at : RecordsAsSent(stream, order, first)) {
    sent.emplace_back(stream[at + 1], stream[at + 2]);
  }
  std::size_t next = 0;
  for (const std::size_t at : NoteRecords(stream)) {
    stream[at + 1] = sent[next].first;
    stream[at + 2] = sent[next].second;
    ++next;
  }
}

TPartStream& PartStream(TRhythmSlot& slot, int section, int part) {
  return slot.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)];
}

}  // namespace

void ArrangeForSendOrder(TRhythmSlot& slot, int section, int part) {
  const std::vector<std::size_t> order = SendOrder(slot, section);
  ArrangePart(PartStream(slot, section, part), order,
              FirstEventOf(slot, section, part, order.size()));
}

void ArrangeSectionForSendOrder(TRhythmSlot& slot, int section) {
  // Arranging a part moves keys and velocities only, never a time, so the order the render sends
  // the section's positions in is the same for every part: one sort serves all five.
  const std::vector<std::size_t> order = SendOrder(slot, section);
  for (int part = 0; part < kPartCount; ++part) {
    ArrangePart(PartStream(slot, section, part), order,
                FirstEventOf(slot, section, part, order.size()));
  }
}

void ReplacePartInSendOrder(TRhythmSlot& slot, int section, int part, TPartStream records) {
  const std::vector<std::size_t> order = SendOrder(slot, section);
  for (int other = 0; other < kPartCount; ++other) {
    if (other == part) continue;
    ListPartAsSent(PartStream(slot, section, other), order,
                   FirstEventOf(slot, section, other, order.size()));
  }
  ReplacePartStream(slot, section, part, std::move(records));
  ArrangeSectionForSendOrder(slot, section);
}

}  // namespace brondel
