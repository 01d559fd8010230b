#include "pattern/part_notes.h"

#include <algorithm>
#include <span>
#include <tuple>
#include <utility>

#include "document/rhythm_builder.h"
#include "document/rhythm_timing.h"
#include "render/send_order.h"

namespace brondel {

namespace {

constexpr std::uint32_t kLastTick = 0xFFFF;  // the last tick of a section's 16-bit timeline
constexpr std::size_t kKeyCount = 256;       // every value of a record's byte 1

// A part's records and the notes of its note records in their order.
struct TEncodedPart {
  TPartStream stream;
  TPartNoteOrder order;
};

// The part's note-ons and note-offs in the order they are to be sent (see the header), encoded.
TEncodedPart EncodePart(const TNoteList& notes, std::uint32_t endTime) {
  struct TEvent {
    TTimedNote note;
    bool on = false;
    std::size_t index = 0;  // of the note in the list
  };
  std::vector<TEvent> events;
  events.reserve(2 * notes.size());
  for (std::size_t i = 0; i < notes.size(); ++i) {
    events.push_back({{notes[i].tick, notes[i].key, notes[i].velocity}, true, i});
    events.push_back({{notes[i].End(), notes[i].key, 0}, false, i});
  }
  std::sort(events.begin(), events.end(), [](const TEvent& a, const TEvent& b) {
    return std::tie(a.note.time, a.on, a.index) < std::tie(b.note.time, b.on, b.index);
  });
  std::vector<TTimedNote> timed;
  TEncodedPart encoded;
  timed.reserve(events.size());
  encoded.order.reserve(events.size());
  for (const TEvent& event : events) {
    timed.push_back(event.note);
    encoded.order.emplace_back(event.note.key, event.note.velocity);
  }
  encoded.stream = EncodeTimedNotes(timed, endTime);
  return encoded;
}

std::uint32_t LastNoteEnd(const TNoteList& notes) {
  std::uint32_t last = 0;
  for (const TEditNote& note : notes) last = std::max(last, note.End());
  return last;
}

std::string SectionName(int section) {
  return std::string(kSectionNames[static_cast<std::size_t>(section)]);
}

// The refusal of notes that pass the timeline or the section's end; none when all fit.
std::optional<std::string> TimeRefusal(const TSectionNotes& notes) {
  std::uint32_t last = notes.end;
  for (const TNoteList& part : notes.parts) last = std::max(last, LastNoteEnd(part));
  if (last > kLastTick) {
    return "This would make the section run to tick " + GroupedNumber(last) + ", " +
           GroupedNumber(last - kLastTick) + " ticks past the last tick (65,535) a section has";
  }
  if (last > notes.end) {
    return "A note would end at tick " + GroupedNumber(last) + ", " +
           GroupedNumber(last - notes.end) + " ticks past the section's end";
  }
  return std::nullopt;
}

}  // namespace

TNoteList PatternPartNotes(const TSectionPattern& pattern, int part) {
  TNoteList notes;
  const std::span<const TPatternNote> lane = pattern.LaneNotes(part);
  notes.reserve(lane.size());
  for (const TPatternNote& note : lane) {
    notes.push_back({note.start, static_cast<std::uint8_t>(note.key),
                     static_cast<std::uint8_t>(note.velocity), note.length});
  }
  return notes;
}

std::uint32_t SectionEditEnd(const TRhythmSlot& slot, int section) {
  if (const std::uint16_t length = SectionLength(slot, section); length > 0) return length;
  const std::uint8_t signature = slot.header.TimeSignature();
  const TPatternMeter meter{TimeSignatureNumerator(signature), TimeSignatureDenominator(signature),
                            TicksPerQuarterNote(slot)};
  if (!meter.HasBars()) return 0;
  return static_cast<std::uint32_t>(
      std::min<std::uint64_t>(meter.BarStart(slot.header.BarCount(section)), kLastTick));
}

TSectionNotes ReadSectionNotes(const TRhythmSlot& slot, int section) {
  const TSectionPattern pattern = BuildSectionPattern(slot, section);
  TSectionNotes notes;
  for (int part = 0; part < kPartCount; ++part) {
    notes.parts[static_cast<std::size_t>(part)] = PatternPartNotes(pattern, part);
  }
  notes.end = SectionEditEnd(slot, section);
  return notes;
}

void TidyNotes(TNoteList& notes) {
  std::stable_sort(notes.begin(), notes.end(),
                   [](const TEditNote& a, const TEditNote& b) { return a.tick < b.tick; });
  std::array<std::ptrdiff_t, kKeyCount> previous;
  previous.fill(-1);
  for (std::size_t i = 0; i < notes.size(); ++i) {
    std::ptrdiff_t& before = previous[notes[i].key];
    if (before >= 0) {
      TEditNote& earlier = notes[static_cast<std::size_t>(before)];
      // A note of the same key and tick is replaced (length 0 drops it below); a note still
      // sounding ends where this one starts.
      if (earlier.End() > notes[i].tick) earlier.length = notes[i].tick - earlier.tick;
    }
    before = static_cast<std::ptrdiff_t>(i);
  }
  std::erase_if(notes, [](const TEditNote& note) { return note.length == 0; });
}

std::optional<std::pair<std::size_t, std::size_t>> FindOverlap(const TNoteList& notes) {
  std::array<std::ptrdiff_t, kKeyCount> previous;
  previous.fill(-1);
  for (std::size_t i = 0; i < notes.size(); ++i) {
    std::ptrdiff_t& before = previous[notes[i].key];
    if (before >= 0 && notes[static_cast<std::size_t>(before)].End() > notes[i].tick) {
      return std::pair{static_cast<std::size_t>(before), i};
    }
    before = static_cast<std::ptrdiff_t>(i);
  }
  return std::nullopt;
}

TByteUse ByteUse(const TRhythmSlot& slot, int section) {
  return {SectionDataSize(slot, section), TotalLength(slot.streams)};
}

std::string GroupedNumber(std::uint64_t value) {
  // Appended digit by digit: GCC 12 at -O3 misreads an insert into the string (-Wrestrict).
  const std::string digits = std::to_string(value);
  std::string grouped;
  for (std::size_t at = 0; at < digits.size(); ++at) {
    if (at > 0 && (digits.size() - at) % 3 == 0) grouped += ',';
    grouped += digits[at];
  }
  return grouped;
}

std::string ByteUseText(const TByteUse& use, int section) {
  return SectionName(section) + ": " + GroupedNumber(use.section) + " of " +
         GroupedNumber(TByteUse::kSectionLimit) + " bytes; rhythm: " + GroupedNumber(use.rhythm) +
         " of " + GroupedNumber(TByteUse::kRhythmLimit) + " bytes";
}

std::optional<std::string> WriteSectionNotes(TRhythmSlot& slot, int section,
                                             const TSectionNotes& notes) {
  if (std::optional<std::string> refusal = TimeRefusal(notes)) return refusal;
  const TSectionNotes current = ReadSectionNotes(slot, section);
  const bool endMoved = notes.end != current.end;
  const bool sectionShort = SectionLength(slot, section) < notes.end;
  auto& streams = slot.streams[static_cast<std::size_t>(section)];

  // The new parts, and the bytes the section and the rhythm would then hold.
  std::array<std::optional<TEncodedPart>, kPartCount> written;
  const std::size_t oldSection = SectionDataSize(slot, section);
  std::size_t newSection = 0;
  for (std::size_t part = 0; part < written.size(); ++part) {
    const TNoteList& list = notes.parts[part];
    if (endMoved || list != current.parts[part]) {
      std::uint32_t end = notes.end;
      if (!endMoved) {
        end = std::max<std::uint32_t>(PartEndTime(streams[part]).value_or(0), LastNoteEnd(list));
        if (sectionShort) end = notes.end;
      }
      written[part] = EncodePart(list, end);
    }
    newSection += written[part] ? written[part]->stream.size() : streams[part].size();
  }
  if (newSection > kMaxSectionDataSize) {
    return SectionName(section) + " would hold " + GroupedNumber(newSection) + " bytes, " +
           GroupedNumber(newSection - kMaxSectionDataSize) + " more than the " +
           GroupedNumber(kMaxSectionDataSize) + " a section may hold";
  }
  const std::size_t oldTotal = TotalLength(slot.streams);
  const std::size_t newTotal = oldTotal - oldSection + newSection;
  if (newTotal > kMaxTotalLength && newTotal > oldTotal) {
    return "The rhythm would be " + GroupedNumber(newTotal) + " bytes long, " +
           GroupedNumber(newTotal - kMaxTotalLength) + " more than the " +
           GroupedNumber(kMaxTotalLength) + " a file may hold";
  }

  // Every part is sent as before, the written ones in the order they were encoded.
  TSectionNoteOrder wanted = SentNotes(slot, section);
  for (std::size_t part = 0; part < written.size(); ++part) {
    if (!written[part]) continue;
    wanted[part] = std::move(written[part]->order);
    ReplacePartStream(slot, section, static_cast<int>(part), std::move(written[part]->stream));
  }
  ArrangeSectionToSend(slot, section, wanted);
  return std::nullopt;
}

}  // namespace brondel
