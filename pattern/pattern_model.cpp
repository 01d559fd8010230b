#include "pattern/pattern_model.h"

#include <algorithm>
#include <bitset>

namespace brondel {

namespace {

constexpr std::size_t kKeyCount = 256;  // every value of a record's byte 1
constexpr std::uint64_t kTimelineTicks = 0x10000;

// The part whose note-on an event is, or -1 for any other message.
int NotePart(const TRenderEvent& event) {
  if (midi::StatusKind(event.Status) != midi::kNoteOn || event.Data1 == kEndMarker) return -1;
  return ChannelPart(midi::ChannelOf(event.Status));
}

// Steps of ticks / units ticks each, a fraction: step k starts at floor(k x ticks / units). The
// step that holds `tick` is the largest k with k x ticks / units < tick + 1.
std::uint64_t StepAt(std::uint64_t tick, std::uint64_t ticks, std::uint64_t units) {
  return ((tick + 1) * units - 1) / ticks;
}

// The index of the first step that starts at `tick` or later.
std::uint64_t FirstStepFrom(std::uint64_t tick, std::uint64_t ticks, std::uint64_t units) {
  return tick == 0 ? 0 : StepAt(tick - 1, ticks, units) + 1;
}

// Notes of one part as they are found, and the one each key has sounding.
struct TLaneBuild {
  std::vector<TPatternNote> notes;
  std::array<std::ptrdiff_t, kKeyCount> sounding;

  TLaneBuild() { sounding.fill(-1); }

  // Any event of a key ends the note it has sounding; a note-on then starts the next one.
  void Play(int part, const TRenderEvent& event) {
    std::ptrdiff_t& open = sounding[event.Data1];
    if (open >= 0) {
      TPatternNote& note = notes[static_cast<std::size_t>(open)];
      note.length = event.Time > note.start ? event.Time - note.start : 0;
      open = -1;
    }
    if (event.Data2 == 0) return;
    open = static_cast<std::ptrdiff_t>(notes.size());
    notes.push_back({part, event.Data1, 0, event.Time, 0, event.Data2, false});
  }

  // The notes still sounding sound to the section's end.
  void EndAt(std::uint32_t end) {
    for (const std::ptrdiff_t open : sounding) {
      if (open < 0) continue;
      TPatternNote& note = notes[static_cast<std::size_t>(open)];
      note.length = end > note.start ? end - note.start : 0;
      note.leftSounding = true;
    }
  }
};

// One row per key the lane plays, highest first; each note gets its key's row.
std::vector<int> AssignRows(std::vector<TPatternNote>& notes) {
  std::bitset<kKeyCount> used;
  for (const TPatternNote& note : notes) used.set(static_cast<std::size_t>(note.key));
  std::vector<int> keys;
  std::array<int, kKeyCount> rowOfKey{};
  for (int key = static_cast<int>(kKeyCount) - 1; key >= 0; --key) {
    if (!used.test(static_cast<std::size_t>(key))) continue;
    rowOfKey[static_cast<std::size_t>(key)] = static_cast<int>(keys.size());
    keys.push_back(key);
  }
  for (TPatternNote& note : notes) note.row = rowOfKey[static_cast<std::size_t>(note.key)];
  return keys;
}

}  // namespace

int TPatternMeter::BeatsPerPulse() const {
  const bool compound = denominator >= 8 && numerator > 3 && numerator % 3 == 0;
  return compound ? 3 : 1;
}

bool TPatternMeter::HasBeats() const {
  return ticksPerQuarter > 0 && denominator > 0 && 4 * ticksPerQuarter >= denominator;
}

bool TPatternMeter::HasBars() const {
  return numerator > 0 && ticksPerQuarter > 0 && denominator > 0 &&
         std::int64_t{4} * ticksPerQuarter * numerator >= denominator;
}

std::uint64_t TPatternMeter::BeatStart(std::uint64_t beat) const {
  return beat * 4 * static_cast<std::uint64_t>(ticksPerQuarter) /
         static_cast<std::uint64_t>(denominator);
}

std::uint64_t TPatternMeter::BarStart(std::uint64_t bar) const {
  return BeatStart(bar * static_cast<std::uint64_t>(numerator));
}

TMusicalPosition TPatternMeter::PositionOf(std::uint64_t tick) const {
  const auto beatTicks = 4 * static_cast<std::uint64_t>(ticksPerQuarter);
  const auto units = static_cast<std::uint64_t>(denominator);
  const auto beatsPerBar = static_cast<std::uint64_t>(numerator);
  if (HasBeats()) {
    const std::uint64_t beat = StepAt(tick, beatTicks, units);
    const std::uint64_t inBeat = tick - BeatStart(beat);
    if (!HasBars()) return {1, beat + 1, inBeat};
    return {beat / beatsPerBar + 1, beat % beatsPerBar + 1, inBeat};
  }
  if (HasBars()) {
    const std::uint64_t bar = StepAt(tick, beatTicks * beatsPerBar, units);
    return {bar + 1, 1, tick - BarStart(bar)};
  }
  return {1, 1, tick};
}

std::vector<TGridLine> GridLines(const TPatternMeter& meter, std::uint64_t from, std::uint64_t to) {
  std::vector<TGridLine> lines;
  const auto beatTicks = 4 * static_cast<std::uint64_t>(meter.ticksPerQuarter);
  const auto units = static_cast<std::uint64_t>(meter.denominator);
  const auto beatsPerBar = static_cast<std::uint64_t>(meter.numerator);
  if (meter.HasBeats()) {
    for (std::uint64_t beat = FirstStepFrom(from, beatTicks, units); meter.BeatStart(beat) <= to;
         ++beat) {
      const bool barStart = meter.HasBars() && beat % beatsPerBar == 0;
      const bool pulse = beat % static_cast<std::uint64_t>(meter.BeatsPerPulse()) == 0;
      lines.push_back({meter.BeatStart(beat), barStart ? beat / beatsPerBar + 1 : 0, pulse});
    }
  } else if (meter.HasBars()) {
    for (std::uint64_t bar = FirstStepFrom(from, beatTicks * beatsPerBar, units);
         meter.BarStart(bar) <= to; ++bar) {
      lines.push_back({meter.BarStart(bar), bar + 1, true});
    }
  }
  return lines;
}

std::uint32_t TSectionPattern::Extent() const {
  std::uint64_t extent = length;
  if (meter.HasBars()) extent = std::max(extent, meter.BarStart(bars));
  return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(extent, 1, kTimelineTicks));
}

std::span<const TPatternNote> TSectionPattern::LaneNotes(int part) const {
  const TPatternLane& lane = lanes[static_cast<std::size_t>(part)];
  return std::span<const TPatternNote>(notes).subspan(lane.firstNote, lane.noteCount);
}

std::span<const TPatternNote> TSectionPattern::NotesNear(int part, std::uint32_t from,
                                                         std::uint32_t to) const {
  const std::span<const TPatternNote> lane = LaneNotes(part);
  const std::uint32_t longest = lanes[static_cast<std::size_t>(part)].longestNote;
  const std::uint32_t earliest = from > longest ? from - longest : 0;
  const auto first = std::lower_bound(
      lane.begin(), lane.end(), earliest,
      [](const TPatternNote& note, std::uint32_t tick) { return note.start < tick; });
  const auto last = std::upper_bound(
      first, lane.end(), to,
      [](std::uint32_t tick, const TPatternNote& note) { return tick < note.start; });
  return {first, last};
}

TSectionPattern PatternFromEvents(std::span<const TRenderEvent> inPlayOrder,
                                  const TPatternMeter& meter, std::uint16_t bars) {
  TSectionPattern pattern;
  pattern.meter = meter;
  pattern.bars = bars;
  std::array<TLaneBuild, kPartCount> builds;
  for (const TRenderEvent& event : inPlayOrder) {
    pattern.length = std::max(pattern.length, event.Time);
    if (const int part = NotePart(event); part >= 0) {
      builds[static_cast<std::size_t>(part)].Play(part, event);
    }
  }
  for (std::size_t part = 0; part < builds.size(); ++part) {
    TLaneBuild& build = builds[part];
    build.EndAt(pattern.length);
    TPatternLane& lane = pattern.lanes[part];
    lane.keys = AssignRows(build.notes);
    lane.firstNote = pattern.notes.size();
    lane.noteCount = build.notes.size();
    for (const TPatternNote& note : build.notes) {
      lane.longestNote = std::max(lane.longestNote, note.length);
    }
    pattern.notes.insert(pattern.notes.end(), build.notes.begin(), build.notes.end());
  }
  return pattern;
}

TSectionPattern BuildSectionPattern(const TRhythmSlot& slot, int section) {
  std::vector<TRenderEvent> events;
  SortedSectionEvents(slot, section, events);
  const std::uint8_t signature = slot.header.TimeSignature();
  const TPatternMeter meter{TimeSignatureNumerator(signature), TimeSignatureDenominator(signature),
                            TicksPerQuarterNote(slot)};
  return PatternFromEvents(events, meter, slot.header.BarCount(section));
}

}  // namespace brondel
