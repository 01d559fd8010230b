#include "render/send_order.h"

#include <utility>
#include <vector>

#include "render/render.h"

namespace brondel {

namespace {

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

// Where the note records before the end record stand.
std::vector<std::size_t> NoteRecordsOf(const TPartStream& stream) {
  std::vector<std::size_t> noteAt;
  for (std::size_t at = 0; at + kRecordSize <= stream.size(); at += kRecordSize) {
    const TRhythmRecord record = TRhythmRecord::FromBytes(&stream[at]);
    if (record.IsEnd()) break;
    if (!record.IsWait()) noteAt.push_back(at);
  }
  return noteAt;
}

// The notes of a part's note records in the order they stand.
TPartNoteOrder RecordedNotes(const TPartStream& stream) {
  TPartNoteOrder notes;
  for (const std::size_t at : NoteRecordsOf(stream))
    notes.emplace_back(stream[at + 1], stream[at + 2]);
  return notes;
}

// Visits the note records of a part, whose events start at position `first`, in the order that
// `order` sends them: visit(offset of the record in the stream).
template <typename Visit>
void ForEachSentRecord(const TPartStream& stream, const std::vector<std::size_t>& order,
                       std::size_t first, Visit visit) {
  const std::vector<std::size_t> noteAt = NoteRecordsOf(stream);
  for (const std::size_t position : order) {
    if (position < first || position >= first + noteAt.size()) continue;
    visit(noteAt[position - first]);
  }
}

// Puts the notes `wanted` lists, one after the other, in the records that `order` sends one
// after the other.
void ArrangePart(TPartStream& stream, const std::vector<std::size_t>& order, std::size_t first,
                 const TPartNoteOrder& wanted) {
  std::size_t next = 0;
  ForEachSentRecord(stream, order, first, [&](std::size_t at) {
    stream[at + 1] = wanted[next].first;
    stream[at + 2] = wanted[next].second;
    ++next;
  });
}

TPartStream& PartStream(TRhythmSlot& slot, int section, int part) {
  return slot.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)];
}

}  // namespace

void ArrangeForSendOrder(TRhythmSlot& slot, int section, int part) {
  const std::vector<std::size_t> order = SendOrder(slot, section);
  TPartStream& stream = PartStream(slot, section, part);
  ArrangePart(stream, order, FirstEventOf(slot, section, part, order.size()),
              RecordedNotes(stream));
}

void ArrangeSectionForSendOrder(TRhythmSlot& slot, int section) {
  // Arranging a part moves keys and velocities only, never a time, so the order the render sends
  // the section's positions in is the same for every part: one sort serves all five.
  const std::vector<std::size_t> order = SendOrder(slot, section);
  for (int part = 0; part < kPartCount; ++part) {
    TPartStream& stream = PartStream(slot, section, part);
    ArrangePart(stream, order, FirstEventOf(slot, section, part, order.size()),
                RecordedNotes(stream));
  }
}

TSectionNoteOrder SentNotes(const TRhythmSlot& slot, int section) {
  const std::vector<std::size_t> order = SendOrder(slot, section);
  TSectionNoteOrder sent;
  for (int part = 0; part < kPartCount; ++part) {
    const TPartStream& stream =
        slot.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)];
    ForEachSentRecord(
        stream, order, FirstEventOf(slot, section, part, order.size()), [&](std::size_t at) {
          sent[static_cast<std::size_t>(part)].emplace_back(stream[at + 1], stream[at + 2]);
        });
  }
  return sent;
}

void ArrangeSectionToSend(TRhythmSlot& slot, int section, const TSectionNoteOrder& wanted) {
  const std::vector<std::size_t> order = SendOrder(slot, section);
  for (int part = 0; part < kPartCount; ++part) {
    ArrangePart(PartStream(slot, section, part), order,
                FirstEventOf(slot, section, part, order.size()),
                wanted[static_cast<std::size_t>(part)]);
  }
}

void ReplacePartInSendOrder(TRhythmSlot& slot, int section, int part, TPartStream records) {
  // The other parts' notes as they are sent now, the new part's as its records list them.
  TSectionNoteOrder wanted = SentNotes(slot, section);
  ReplacePartStream(slot, section, part, std::move(records));
  wanted[static_cast<std::size_t>(part)] = RecordedNotes(PartStream(slot, section, part));
  ArrangeSectionToSend(slot, section, wanted);
}

}  // namespace brondel
