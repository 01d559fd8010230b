#include "chords/song.h"

#include <algorithm>

#include "chords/section_flow.h"
#include "document/rhythm_timing.h"
#include "platform/midi_messages.h"

namespace brondel::chords {

namespace {

std::string_view SectionName(int section) {
  return kSectionNames[static_cast<std::size_t>(section)];
}

// Which section plays each bar, and the chords: the song's flow.
class TFlow {
 public:
  TFlow(const TRhythmSlot& slot, std::uint32_t barTicks, const TArrangeOptions& options)
      : slot_(slot), barTicks_(barTicks), variation_(kVar1 + options.variation - 1) {}

  // Plays `section` from its first bar; false (with the refusal) when it has none.
  bool Start(int section) {
    if (slot_.header.BarCount(section) == 0) {
      refusal_ = std::string(SectionName(section)) + " has no bars";
      return false;
    }
    if (IsVariation(section)) variation_ = section;
    current_ = section;
    bar_ = 0;
    return true;
  }
  int Variation() const { return variation_; }
  int Current() const { return current_; }
  bool InVariation() const { return IsVariation(current_); }
  bool Ended() const { return ended_; }
  std::uint64_t Now() const { return bars_.size() * std::uint64_t{barTicks_}; }

  // From `share` of `shares` of the bar about to play on, `chord` sounds.
  void Change(int share, int shares, const TChordSymbol& chord) {
    const std::uint64_t tick = Now() + std::uint64_t{barTicks_} *
                                           static_cast<std::uint64_t>(share) /
                                           static_cast<std::uint64_t>(shares);
    if (!chords_.empty() && chords_.back().tick == tick) chords_.pop_back();
    if (chords_.empty() || chords_.back().chord != chord) chords_.push_back({tick, chord});
  }

  // Plays the current section's bar, then moves on: a variation loops, an intro goes on with
  // the variation, a fill with the variation it leads to, an ending ends the song.
  void PlayBar() {
    bars_.push_back({current_, bar_, Now()});
    if (++bar_ < slot_.header.BarCount(current_)) return;
    bar_ = 0;
    if (IsEnding(current_)) {
      ended_ = true;
    } else if (IsFill(current_)) {
      current_ = variation_ = FillTarget(current_);
    } else if (!IsVariation(current_)) {
      current_ = variation_;
    }
  }

  std::string& Refusal() { return refusal_; }
  std::vector<TSongBar>& Bars() { return bars_; }
  std::vector<TChordChange>& Chords() { return chords_; }

 private:
  const TRhythmSlot& slot_;
  std::uint32_t barTicks_;
  int variation_;
  int current_ = kVar1;
  int bar_ = 0;
  bool ended_ = false;
  std::string refusal_;
  std::vector<TSongBar> bars_;
  std::vector<TChordChange> chords_;
};

std::string EndedRefusal(std::size_t bar) {
  return "bar " + std::to_string(bar) + ": the song has ended before it";
}

// Plays the chart's bars: the cues, the fills every `fillEvery` bars, the chords.
bool PlayChart(const TRhythmSlot& slot, const TChart& chart, const TArrangeOptions& options,
               TFlow& flow) {
  std::size_t played = 0;
  for (int round = 0; round < options.repeat; ++round) {
    for (std::size_t b = 0; b < chart.bars.size(); ++b, ++played) {
      const TChartBar& bar = chart.bars[b];
      if (flow.Ended()) {
        flow.Refusal() = EndedRefusal(b + 1);
        return false;
      }
      if (bar.cue) {
        const int section =
            bar.cue->section ? *bar.cue->section : CuedFill(slot, chart.bars, b, flow.Variation());
        if (!flow.Start(section)) return false;
      } else if (options.fillEvery > 0 &&
                 (played + 1) % static_cast<std::size_t>(options.fillEvery) == 0 &&
                 flow.InVariation()) {
        if (!flow.Start(FillBetween(flow.Variation(), flow.Variation()))) return false;
      }
      for (const TBarChord& chord : bar.chords) flow.Change(chord.share, bar.shares, chord.chord);
      flow.PlayBar();
    }
  }
  return true;
}

}  // namespace

std::vector<TSongLabel> TSong::Labels() const {
  std::vector<TSongLabel> labels;
  for (std::size_t b = 0; b < bars.size(); ++b) {
    // A variation looping on is no change of section.
    if (b == 0 || bars[b].section != bars[b - 1].section) {
      labels.push_back({bars[b].start, true, std::string(SectionName(bars[b].section))});
    }
  }
  for (const TChordChange& change : chords) {
    labels.push_back({change.tick, false, ChordSymbolName(change.chord)});
  }
  std::stable_sort(labels.begin(), labels.end(),
                   [](const TSongLabel& a, const TSongLabel& b) { return a.tick < b.tick; });
  return labels;
}

std::uint32_t BarTicks(const TRhythmSlot& slot) {
  const std::uint8_t signature = slot.header.TimeSignature();
  return static_cast<std::uint32_t>(
      RoundedQuotient(std::uint64_t{4} * static_cast<std::uint64_t>(TicksPerQuarterNote(slot)) *
                          TimeSignatureNumerator(signature),
                      TimeSignatureDenominator(signature)));
}

TSongResult ArrangeSong(const TRhythmSlot& slot, const TChart& chart,
                        const TArrangeOptions& options) {
  TSong song;
  song.barTicks = BarTicks(slot);
  if (song.barTicks == 0) {
    return {{},
            "its time signature " + TimeSignatureText(slot.header.TimeSignature()) +
                " has no beats to make bars of"};
  }
  if (chart.bars.empty()) return {{}, "the chart has no bars"};
  if (chart.bars.size() * static_cast<std::uint64_t>(std::max(options.repeat, 1)) > kMaxSongBars) {
    return {{}, "the chart plays more than " + std::to_string(kMaxSongBars) + " bars"};
  }
  TFlow flow(slot, song.barTicks, options);
  const TChordSymbol& firstChord = chart.bars.front().chords.front().chord;
  bool made = true;
  if (options.intro) {
    // The intro, recorded in C, plays in the key of the song: under its first chord.
    made = flow.Start(kIntro1 + *options.intro - 1);
    flow.Change(0, 1, firstChord);
    while (made && !flow.InVariation()) flow.PlayBar();
  }
  made = made && flow.Start(flow.Variation()) && PlayChart(slot, chart, options, flow);
  // A section still playing when the chart ends plays to its end under the last chord; then
  // the ending, resolving the last chord as it was recorded to resolve C.
  while (made && !flow.Ended() && !flow.InVariation()) flow.PlayBar();
  if (made && options.ending && !flow.Ended()) {
    made = flow.Start(kEnd1 + *options.ending - 1);
    while (made && !flow.Ended()) flow.PlayBar();
  }
  if (!made) return {{}, flow.Refusal()};
  song.bars = std::move(flow.Bars());
  song.chords = std::move(flow.Chords());
  song.length = song.bars.size() * std::uint64_t{song.barTicks};
  std::vector<TSongEvent> setup;
  std::vector<TTimedNote> notes;
  TSectionNotesCache sections(slot);
  CollectBarNotes(sections, song.barTicks, song.bars, setup, notes);
  song.events = OrderedEvents(setup, FollowChords(notes, song.chords, options.play));
  return {std::move(song), {}};
}

TEventBuffer SongBuffer(const TSong& song) {
  TEventBuffer buffer;
  buffer.reserve((song.events.size() + 1) * kStreamEventSize);
  std::uint64_t previous = 0;
  for (const TSongEvent& event : song.events) {
    AppendStreamEvent(buffer, static_cast<std::uint32_t>(event.tick - previous), event.status,
                      event.data1, event.data2);
    previous = event.tick;
  }
  AppendStreamEvent(buffer, static_cast<std::uint32_t>(song.length - previous), 0, 0, 0);
  return buffer;
}

}  // namespace brondel::chords
