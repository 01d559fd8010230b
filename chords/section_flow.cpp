#include "chords/section_flow.h"

#include <algorithm>

#include "chords/song.h"
#include "platform/midi_messages.h"
#include "render/render.h"

namespace brondel::chords {

int FillBetween(int from, int to) {
  if (from == kVar1) return to == kVar1 ? kFill1 : kFill1 + 1;
  return to == kVar1 ? kFill1 + 3 : kFill1 + 2;
}

int FillTarget(int fill) {
  return fill == kFill1 || fill == kFill1 + 3 ? kVar1 : kVar1 + 1;
}

int CuedFill(const TRhythmSlot& slot, const std::vector<TChartBar>& bars, std::size_t at,
             int variation) {
  const std::size_t after = at + slot.header.BarCount(FillBetween(variation, variation));
  if (after < bars.size() && bars[after].cue && bars[after].cue->section &&
      IsVariation(*bars[after].cue->section)) {
    return FillBetween(variation, *bars[after].cue->section);
  }
  return FillBetween(variation, variation);
}

TSectionNotes ReadSectionNotes(const TRhythmSlot& slot, int section) {
  std::vector<TRenderEvent> events;
  CollectSectionEvents(slot, section, events);
  TSectionNotes read;
  std::vector<std::vector<std::size_t>> open(static_cast<std::size_t>(kPartCount) * 128);
  for (const TRenderEvent& event : events) {
    const int part = ChannelPart(static_cast<std::uint8_t>(event.Status & 0x0F));
    if (midi::StatusKind(event.Status) != midi::kNoteOn) {
      read.setup.push_back({event.Time, event.Status, event.Data1, event.Data2});
      continue;
    }
    if (part < 0 || event.Data1 > 127) continue;  // an end record sends nothing
    auto& waiting = open[static_cast<std::size_t>(part) * 128 + event.Data1];
    if (event.Data2 > 0) {
      waiting.push_back(read.notes.size());
      read.notes.push_back({part, event.Data1, event.Data2, event.Time, kNeverEnds});
    } else if (!waiting.empty()) {
      read.notes[waiting.front()].off = event.Time;
      waiting.erase(waiting.begin());
    }
  }
  return read;
}

const TSectionNotes& TSectionNotesCache::Of(int section) {
  auto& notes = sections_[static_cast<std::size_t>(section)];
  if (!notes) notes = ReadSectionNotes(slot_, section);
  return *notes;
}

void CollectBarNotes(TSectionNotesCache& sections, std::uint32_t barTicks,
                     const std::vector<TSongBar>& bars, std::vector<TSongEvent>& setup,
                     std::vector<TTimedNote>& notes) {
  for (std::size_t first = 0; first < bars.size();) {
    std::size_t end = first + 1;
    while (end < bars.size() && bars[end].section == bars[first].section &&
           bars[end].sectionBar == bars[end - 1].sectionBar + 1) {
      ++end;
    }
    const TSongBar& start = bars[first];
    const TSectionNotes& section = sections.Of(start.section);
    const std::uint64_t from =
        std::uint64_t{barTicks} * static_cast<std::uint64_t>(start.sectionBar);
    const std::uint64_t to = from + std::uint64_t{barTicks} * (end - first);
    for (TSongEvent event : section.setup) {
      event.tick = start.start;
      setup.push_back(event);
    }
    for (const TTimedNote& note : section.notes) {
      if (note.on < from || note.on >= to) continue;
      notes.push_back({note.part, note.key, note.velocity, note.on - from + start.start,
                       std::min(note.off, to) - from + start.start});
    }
    first = end;
  }
}

std::vector<TSongEvent> OrderedEvents(const std::vector<TSongEvent>& setup,
                                      const std::vector<TTimedNote>& notes) {
  struct TRanked {
    TSongEvent event;
    int rank;
  };
  std::vector<TRanked> ranked;
  ranked.reserve(setup.size() + 2 * notes.size());
  for (const TSongEvent& event : setup) ranked.push_back({event, 1});
  for (const TTimedNote& note : notes) {
    const auto status = PartStatus(midi::kNoteOn, note.part);
    ranked.push_back({{note.on, status, note.key, note.velocity}, 2});
    ranked.push_back({{note.off, status, note.key, 0}, note.off == note.on ? 3 : 0});
  }
  std::stable_sort(ranked.begin(), ranked.end(), [](const TRanked& a, const TRanked& b) {
    return a.event.tick != b.event.tick ? a.event.tick < b.event.tick : a.rank < b.rank;
  });
  std::vector<TSongEvent> events;
  events.reserve(ranked.size());
  for (const TRanked& r : ranked) events.push_back(r.event);
  return events;
}

}  // namespace brondel::chords
