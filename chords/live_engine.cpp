#include "chords/live_engine.h"

#include <algorithm>
#include <iterator>

namespace brondel::chords {

TLiveEngine::TLiveEngine(TRhythmSlot slot, TPlaySettings play)
    : slot_(std::move(slot)), sections_(slot_), barTicks_(chords::BarTicks(slot_)) {
  settings_.push_back({0, play});
}

int TLiveEngine::BarCount(int section) const {
  return slot_.header.BarCount(section);
}

std::string TLiveEngine::Start(int section, bool syncStart) {
  if (barTicks_ == 0) return "its time signature has no beats to make bars of";
  const int variation = IsVariation(section) ? section : kVar1;
  for (const int needed : {section, variation}) {
    if (BarCount(needed) == 0) {
      return std::string(kSectionNames[static_cast<std::size_t>(needed)]) + " has no bars";
    }
  }
  flow_ = {section, 0, variation, false, 0};
  waiting_ = syncStart && !chart_;
  if (chart_ && !pendingChord_) {
    // The intro, recorded in C, plays in the chart's key: under its first chord.
    askedChords_.push_back({0, chart_->bars.front().chords.front().chord});
    lastChord_ = askedChords_.back().chord;
  }
  return {};
}

void TLiveEngine::SetChart(TChart chart) {
  if (!chart.bars.empty()) chart_ = std::move(chart);
}

void TLiveEngine::AskChord(const TChordSymbol& chord) {
  pendingChord_ = chord;
  lastChord_ = chord;
}

void TLiveEngine::AskSection(int section) {
  if (section == kAskEnding) {
    section = kEnd1 + (flow_.variation == kVar1 ? 0 : 1);
    if (BarCount(section) == 0) section = kEnd1 + kEnd1 + 1 - section;
  }
  if (section != kAskFill && BarCount(section) == 0) return;
  // A fill asked and then the other variation: the fill that leads there.
  if (asked_ == kAskFill && IsVariation(section)) {
    if (section != flow_.variation) section = FillBetween(flow_.variation, section);
  }
  if (IsFill(section) && BarCount(section) == 0) return;
  asked_ = section;
  ++askSerial_;
}

void TLiveEngine::SetPlaySettings(const TPlaySettings& play) {
  pendingSettings_ = play;
}

void TLiveEngine::Switch(TFlowState& state, int section) const {
  if (section == kAskFill) section = FillBetween(state.variation, state.variation);
  if (BarCount(section) == 0) return;
  // A variation asked while it plays goes on as it is.
  if (section == state.current && IsVariation(section)) return;
  state.current = section;
  state.bar = 0;
  if (IsVariation(section)) state.variation = section;
}

TLiveEngine::TPlannedBar TLiveEngine::PlanBar(TFlowState& state, std::optional<int> ask,
                                              std::uint64_t start) const {
  TPlannedBar planned;
  const bool followsChart = chart_ && (IsVariation(state.current) || IsFill(state.current)) && !ask;
  if (followsChart) {
    const std::size_t at = state.chartBar % chart_->bars.size();
    const std::optional<TSectionCue>& cue = chart_->bars[at].cue;
    if (cue)
      Switch(state, cue->section.value_or(CuedFill(slot_, chart_->bars, at, state.variation)));
  }
  if (ask) {
    Switch(state, *ask);
    planned.ask = askSerial_;
  }
  planned.bar = {state.current, state.bar, start};
  if (chart_ && (IsVariation(state.current) || IsFill(state.current))) {
    planned.chartBar = static_cast<int>(state.chartBar % chart_->bars.size());
    ++state.chartBar;
  }
  // A variation loops, an intro goes on with the variation, a fill with the one it leads to,
  // an ending ends the play.
  if (++state.bar >= BarCount(state.current)) {
    state.bar = 0;
    if (IsEnding(state.current)) {
      state.ended = true;
    } else if (IsFill(state.current)) {
      state.current = state.variation = FillTarget(state.current);
    } else if (!IsVariation(state.current)) {
      state.current = state.variation;
    }
  }
  planned.after = state;
  return planned;
}

std::uint64_t TLiveEngine::NextBarStart() const {
  return origin_ + std::uint64_t{barTicks_} * (kept_.size() + planned_.size());
}

void TLiveEngine::KeepBarsBefore(std::uint64_t from) {
  std::size_t kept = 0;
  while (kept < planned_.size() && planned_[kept].bar.start < from) {
    // The ask that took effect there is done, unless another has replaced it since.
    if (planned_[kept].ask != 0 && planned_[kept].ask == askSerial_) asked_.reset();
    flow_ = planned_[kept].after;
    kept_.push_back(planned_[kept]);
    ++kept;
  }
  planned_.clear();
}

void TLiveEngine::PlanUpTo(std::uint64_t to) {
  TFlowState state = flow_;
  std::optional<int> ask = asked_;
  while (!state.ended && NextBarStart() < to) {
    planned_.push_back(PlanBar(state, ask, NextBarStart()));
    ask.reset();
  }
}

std::vector<TChordChange> TLiveEngine::ChordChanges() const {
  std::vector<TChordChange> changes;
  if (chart_) {
    for (const auto* bars : {&kept_, &planned_}) {
      for (const TPlannedBar& planned : *bars) {
        if (planned.chartBar < 0) continue;
        const TChartBar& bar = chart_->bars[static_cast<std::size_t>(planned.chartBar)];
        for (const TBarChord& chord : bar.chords) {
          changes.push_back({planned.bar.start + std::uint64_t{barTicks_} *
                                                     static_cast<std::uint64_t>(chord.share) /
                                                     static_cast<std::uint64_t>(bar.shares),
                             chord.chord});
        }
      }
    }
  }
  const auto chartEnd = changes.size();
  changes.insert(changes.end(), askedChords_.begin(), askedChords_.end());
  std::inplace_merge(changes.begin(), changes.begin() + static_cast<std::ptrdiff_t>(chartEnd),
                     changes.end(),
                     [](const TChordChange& a, const TChordChange& b) { return a.tick < b.tick; });
  return changes;
}

std::vector<TTimedNote> TLiveEngine::SoundingNotes(std::size_t first,
                                                   std::vector<TSongEvent>& setup) {
  std::vector<TSongBar> bars;
  for (const auto* list : {&kept_, &planned_}) {
    for (const TPlannedBar& planned : *list) bars.push_back(planned.bar);
  }
  bars.erase(bars.begin(), bars.begin() + static_cast<std::ptrdiff_t>(first));
  std::vector<TTimedNote> notes;
  CollectBarNotes(sections_, barTicks_, bars, setup, notes);
  const std::vector<TChordChange> changes = ChordChanges();
  // Each stretch of settings plays its own part of the notes: a note that sounds across a
  // change of settings goes on from there at the key the new ones give.
  std::vector<TTimedNote> sounding;
  for (std::size_t s = 0; s < settings_.size(); ++s) {
    const std::uint64_t begin = settings_[s].tick;
    const std::uint64_t end = s + 1 < settings_.size() ? settings_[s + 1].tick : kNeverEnds;
    std::vector<TTimedNote> pieces;
    for (TTimedNote note : notes) {
      if (note.off <= begin && note.on < begin) continue;
      if (note.on >= end) continue;
      note.on = std::max(note.on, begin);
      note.off = std::min(note.off, end);
      pieces.push_back(note);
    }
    const std::vector<TTimedNote> followed = FollowChords(pieces, changes, settings_[s].play);
    sounding.insert(sounding.end(), followed.begin(), followed.end());
  }
  return sounding;
}

TLiveSlice TLiveEngine::Render(std::uint64_t from, std::uint64_t to) {
  KeepBarsBefore(from);
  if (pendingChord_) {
    std::erase_if(askedChords_, [from](const TChordChange& c) { return c.tick >= from; });
    askedChords_.push_back({from, *pendingChord_});
    pendingChord_.reset();
    if (waiting_) {
      waiting_ = false;
      origin_ = from;
    }
  }
  if (pendingSettings_) {
    std::erase_if(settings_, [from](const TSettingsFrom& s) { return s.tick >= from; });
    settings_.push_back({from, *pendingSettings_});
    pendingSettings_.reset();
  }
  TLiveSlice slice;
  if (waiting_) return slice;
  PlanUpTo(to);
  const std::uint64_t end = NextBarStart();
  if ((planned_.empty() ? flow_ : planned_.back().after).ended && end <= to) {
    slice.end = std::max(end, from);
  }
  // The bars before the run that the tick before `from` falls in have ended every note they
  // started before it.
  const std::size_t total = kept_.size() + planned_.size();
  // The run of the bar before `from` may end notes there.
  std::size_t first =
      from <= origin_ ? 0 : std::min<std::size_t>((from - origin_ - 1) / barTicks_, total);
  if (first == total && first > 0) --first;
  const auto barAt = [this](std::size_t index) -> const TSongBar& {
    return index < kept_.size() ? kept_[index].bar : planned_[index - kept_.size()].bar;
  };
  while (first > 0 && first < total && barAt(first).section == barAt(first - 1).section &&
         barAt(first).sectionBar == barAt(first - 1).sectionBar + 1) {
    --first;
  }
  std::vector<TSongEvent> setup;
  const std::vector<TTimedNote> notes = SoundingNotes(first, setup);
  // A play that ends sends the note-offs at its end too.
  const std::uint64_t last = slice.end ? *slice.end : to - 1;
  for (const TSongEvent& event : OrderedEvents(setup, notes)) {
    if (event.tick >= from && event.tick <= last) slice.events.push_back(event);
  }
  return slice;
}

std::optional<TLivePlace> TLiveEngine::PlaceAt(std::uint64_t tick) const {
  if (waiting_ || tick < origin_ || barTicks_ == 0) return std::nullopt;
  const std::uint64_t index = (tick - origin_) / barTicks_;
  const TPlannedBar* planned = nullptr;
  if (index < kept_.size()) {
    planned = &kept_[index];
  } else if (index - kept_.size() < planned_.size()) {
    planned = &planned_[index - kept_.size()];
  }
  if (planned == nullptr) return std::nullopt;
  const std::uint64_t inBar = tick - planned->bar.start;
  return TLivePlace{
      planned->bar.section, planned->bar.sectionBar,
      static_cast<std::uint32_t>(
          std::uint64_t{barTicks_} * static_cast<std::uint64_t>(planned->bar.sectionBar) + inBar),
      index, planned->chartBar};
}

TChordSymbol TLiveEngine::ChordAt(std::uint64_t tick) const {
  TChordSymbol chord = TChord{};
  for (const TChordChange& change : ChordChanges()) {
    if (change.tick > tick) break;
    chord = change.chord;
  }
  return chord;
}

}  // namespace brondel::chords
