#include "render/render.h"

#include <algorithm>
#include <array>
#include <utility>

#include "document/rhythm_timing.h"

namespace brondel {

namespace {

constexpr std::size_t kSetupEventsPerPart = 1 + kSettingControllers.size();
constexpr std::size_t kSetupEventCount = kSetupEventsPerPart * kPartCount;

// The part's sound, sent at time 0 before its notes: program, then bank, volume, pan, reverb
// and chorus as their controllers. Values go out as stored, unchecked.
std::array<TRenderEvent, kSetupEventsPerPart> SetupEvents(const TPartSettings& sound, int part) {
  std::array<TRenderEvent, kSetupEventsPerPart> setup;
  setup[0] = {0, PartStatus(midi::kProgramChange, part), sound.Tone(), 0};
  for (std::size_t k = 0; k < kSettingControllers.size(); ++k) {
    setup[k + 1] = {0, PartStatus(midi::kControlChange, part), kSettingControllers[k],
                    sound.bytes[k + 1]};
  }
  return setup;
}

void AppendRenderEvent(TEventBuffer& buffer, const TRenderEvent& event) {
  AppendStreamEvent(buffer, event.Time, event.Status, event.Data1, event.Data2);
}

// One event per record that is not a wait, end record included, at the part's running time.
void AppendPartEvents(const TPartStream& stream, int part, std::vector<TRenderEvent>& events) {
  ForEachTimedRecord(stream, [&](const TRhythmRecord& record, std::uint16_t running) {
    if (!record.IsWait()) {
      events.push_back({running, PartStatus(midi::kNoteOn, part), record.b1, record.b2});
    }
  });
}

// (Time, position) of every event in one number each; sorted, they list the events of each
// time in the order they were generated.
std::vector<std::uint64_t> TimeThenPosition(const std::vector<TRenderEvent>& events) {
  std::vector<std::uint64_t> keys(events.size());
  for (std::size_t i = 0; i < events.size(); ++i) keys[i] = std::uint64_t{events[i].Time} << 32 | i;
  std::sort(keys.begin(), keys.end());
  return keys;
}

std::uint32_t PositionOf(std::uint64_t key) {
  return static_cast<std::uint32_t>(key & 0xFFFFFFFF);
}

// One past the last key, from `first` on, of the same time as keys[first].
std::size_t EndOfTime(const std::vector<std::uint64_t>& keys, std::size_t first) {
  std::size_t end = first + 1;
  while (end < keys.size() && keys[end] >> 32 == keys[first] >> 32) ++end;
  return end;
}

// How many events have been placed at positions of an array, below a given one (a Fenwick
// tree: both steps take O(log n)).
class TPlacedPositions {
 public:
  explicit TPlacedPositions(std::size_t size) : tree_(size + 1, 0) {}
  void Place(std::size_t position) {
    for (std::size_t at = position + 1; at < tree_.size(); at += at & (~at + 1)) ++tree_[at];
  }
  std::size_t Below(std::size_t position) const {
    std::size_t count = 0;
    for (std::size_t at = position; at > 0; at &= at - 1) count += tree_[at];
    return count;
  }

 private:
  std::vector<std::uint32_t> tree_;
};

// A row of positions that grows at its back and turns round. It lives in a ring as long as the
// row will become, so it never moves more than the turns themselves.
class TTurningRow {
 public:
  void Start(std::size_t finalLength) {
    ring_.resize(finalLength);
    front_ = 0;
    length_ = 0;
  }
  void PushBack(std::uint32_t position) { ring_[At(length_++)] = position; }
  // Moves the first `turns` (modulo the length) to the back, by the shorter way round.
  void TurnLeft(std::size_t turns) {
    turns %= length_;
    if (turns <= length_ / 2) {
      for (; turns > 0; --turns) {
        ring_[At(length_)] = ring_[front_];
        front_ = At(1);
      }
    } else {
      for (turns = length_ - turns; turns > 0; --turns) {
        front_ = At(ring_.size() - 1);
        ring_[front_] = ring_[At(length_)];
      }
    }
  }
  // The row from front to back.
  template <typename Visit>
  void ForEach(Visit visit) const {
    for (std::size_t k = 0; k < length_; ++k) visit(ring_[At(k)]);
  }

 private:
  std::size_t At(std::size_t offset) const { return (front_ + offset) % ring_.size(); }

  std::vector<std::uint32_t> ring_;
  std::size_t front_ = 0;
  std::size_t length_ = 0;
};

// The events keys[first..end) (one time, positions ascending) as the exchange sort leaves them,
// into `row`. `smaller` has placed the events of the smaller times, keys[0..first).
void OrderEqualTimes(const std::vector<std::uint64_t>& keys, std::size_t first, std::size_t end,
                     const TPlacedPositions& smaller, TTurningRow& row) {
  row.Start(end - first);
  if (first == 0 || end - first == 1) {  // nothing to turn the row
    for (std::size_t k = first; k < end; ++k) row.PushBack(PositionOf(keys[k]));
    return;
  }
  std::size_t smallerBefore = smaller.Below(PositionOf(keys[first]));
  for (std::size_t k = first; k < end; ++k) {
    row.PushBack(PositionOf(keys[k]));
    const std::size_t smallerUpToNext =
        k + 1 < end ? smaller.Below(PositionOf(keys[k + 1])) : first;
    row.TurnLeft(smallerUpToNext - smallerBefore);
    smallerBefore = smallerUpToNext;
  }
}

// The events of the parts that do not sound become empty events at their times.
void SilenceParts(std::vector<TRenderEvent>& events, const TPartMix& mix) {
  if (mix.AllAudible()) return;
  for (TRenderEvent& event : events) {
    const int part = ChannelPart(midi::ChannelOf(event.Status));
    if (part >= 0 && !mix.Audible(part)) event = {event.Time, 0, 0, 0};
  }
}

// Visits a part's events as its preview sends them: one per record that is not a wait, with the
// ticks it follows the event before by and its running time in the section.
// visit(const TRhythmRecord& record, std::uint16_t delta, std::uint16_t running).
template <typename Visit>
void ForEachPreviewEvent(const TPartStream& stream, Visit visit) {
  // A wait record replaces the pending delay rather than adding to it: of several waits in a
  // row only the last one delays the next event.
  std::uint16_t pending = 0;
  ForEachTimedRecord(stream, [&](const TRhythmRecord& record, std::uint16_t running) {
    if (record.IsWait()) {
      pending = record.Delay();
      return;
    }
    visit(record, static_cast<std::uint16_t>(pending + record.b0), running);
    pending = 0;
  });
}

// Section times become ticks since the previous event; the first event keeps its time.
void ConvertToDeltas(std::vector<TRenderEvent>& events) {
  std::uint16_t previous = 0;
  for (TRenderEvent& event : events) {
    const auto time = static_cast<std::uint16_t>(event.Time);
    event.Time = static_cast<std::uint16_t>(time - previous);
    previous = time;
  }
}

}  // namespace

std::uint32_t StreamTimeDivision(const TRhythmSlot& slot) {
  return slot.header.Tempo();
}

void AppendStreamEvent(TEventBuffer& buffer, std::uint32_t delta, std::uint8_t status,
                       std::uint8_t data1, std::uint8_t data2) {
  const std::uint32_t event = status | (std::uint32_t{data1} << 8) | (std::uint32_t{data2} << 16);
  for (const std::uint32_t field : {delta, std::uint32_t{0}, event}) {
    for (int shift = 0; shift < 32; shift += 8) {
      buffer.push_back(static_cast<std::uint8_t>((field >> shift) & 0xFF));
    }
  }
}

void ExchangeSortLoop(std::vector<TRenderEvent>& events) {
  const std::size_t n = events.size();
  for (std::size_t j = 0; j + 1 < n; ++j) {
    // Event j is held in `atJ` while i runs: the same exchanges, without rereading it.
    TRenderEvent atJ = events[j];
    for (std::size_t i = j + 1; i < n; ++i) {
      if (events[i].Time < atJ.Time) std::swap(events[i], atJ);
    }
    events[j] = atJ;
  }
}

// Why this is the loop's order. The loop leaves the times ascending; what it decides is the
// order of equal times. Pass j holds event j and takes every later event of a time below the
// one it holds, leaving the held one in its place: each event it moves goes to the place of the
// next lower one, and the first of the lowest comes to j. Now watch only the events of times up
// to t. The others never start or end one of their exchanges, so these behave as if they were
// alone; and an event of time t, the largest among them, moves only while it is the first of
// them still unplaced: it goes to the place of the first smaller one, once for every smaller
// event placed. So the events of time t at the front, no smaller time between them, turn round
// by one for each smaller event that follows them; the next event of time t joins them when the
// smaller events before it are used up; with no smaller event left they are placed as they
// stand. Each turn is one of the loop's exchanges, so there are never more turns than those.
void ExchangeSortDirect(std::vector<TRenderEvent>& events) {
  const std::size_t n = events.size();
  const std::vector<std::uint64_t> keys = TimeThenPosition(events);
  TPlacedPositions smaller(n);  // the events of the times placed so far
  TTurningRow row;
  std::vector<TRenderEvent> sorted;
  sorted.reserve(n);
  for (std::size_t first = 0; first < n;) {
    const std::size_t end = EndOfTime(keys, first);
    OrderEqualTimes(keys, first, end, smaller, row);
    row.ForEach([&](std::uint32_t position) { sorted.push_back(events[position]); });
    for (std::size_t k = first; k < end; ++k) smaller.Place(PositionOf(keys[k]));
    first = end;
  }
  events = std::move(sorted);
}

// Below the limit the loop's few comparisons cost less than the keys, the tree and the copy
// (render_bench: SortLoop and SortByTime on short sections).
void ExchangeSortByTime(std::vector<TRenderEvent>& events) {
  if (events.size() < kShortSortLimit) {
    ExchangeSortLoop(events);
  } else {
    ExchangeSortDirect(events);
  }
}

void CollectSectionEvents(const TRhythmSlot& slot, int section, std::vector<TRenderEvent>& events) {
  const auto& streams = slot.streams[static_cast<std::size_t>(section)];
  // The array holds exactly the events the records yield. The stored event count equals that
  // number for every document the loader and the copy produce; should it ever disagree, no
  // event is lost, none is written past the array and no empty event reaches the buffer.
  events.clear();
  events.reserve(kSetupEventCount + static_cast<std::size_t>(CountSectionEvents(slot, section)));
  for (int part = 0; part < kPartCount; ++part) {
    const auto setup = SetupEvents(slot.header.Settings(section, part), part);
    events.insert(events.end(), setup.begin(), setup.end());
  }
  for (int part = 0; part < kPartCount; ++part) {
    AppendPartEvents(streams[static_cast<std::size_t>(part)], part, events);
  }
}

void SortedSectionEvents(const TRhythmSlot& slot, int section, std::vector<TRenderEvent>& events) {
  CollectSectionEvents(slot, section, events);
  ExchangeSortByTime(events);
}

void RenderSectionEvents(const TRhythmSlot& slot, int section, std::vector<TRenderEvent>& events,
                         TEventBuffer& buffer, const TPartMix& mix) {
  SortedSectionEvents(slot, section, events);
  SilenceParts(events, mix);
  ConvertToDeltas(events);
  for (const TRenderEvent& event : events) AppendRenderEvent(buffer, event);
}

void RenderPartPreview(const TRhythmSlot& slot, int section, int part, TEventBuffer& buffer) {
  for (const TRenderEvent& event : SetupEvents(slot.header.Settings(section, part), part)) {
    AppendRenderEvent(buffer, event);
  }
  const auto& stream =
      slot.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)];
  ForEachPreviewEvent(stream, [&](const TRhythmRecord& record, std::uint16_t delta, std::uint16_t) {
    AppendStreamEvent(buffer, delta, PartStatus(midi::kNoteOn, part), record.b1, record.b2);
  });
}

void RenderAudition(const TRhythmSlot& slot, int section, int part, std::uint8_t key,
                    std::uint8_t velocity, std::uint32_t ticks, TEventBuffer& buffer) {
  for (const TRenderEvent& event : SetupEvents(slot.header.Settings(section, part), part)) {
    AppendRenderEvent(buffer, event);
  }
  AppendStreamEvent(buffer, 0, PartStatus(midi::kNoteOn, part), key, velocity);
  AppendStreamEvent(buffer, ticks, PartStatus(midi::kNoteOn, part), key, 0);
}

std::vector<TTickPair> PartPreviewTicks(const TRhythmSlot& slot, int section, int part) {
  std::vector<TTickPair> pairs{{0, 0}};
  std::uint64_t tick = 0;  // the set-up events all come at 0
  const auto& stream =
      slot.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)];
  ForEachPreviewEvent(stream,
                      [&](const TRhythmRecord&, std::uint16_t delta, std::uint16_t running) {
                        tick += delta;
                        pairs.push_back({tick, running});
                      });
  return pairs;
}

}  // namespace brondel
