#include "playback/render.h"

#include <algorithm>
#include <array>
#include <utility>

namespace brondel {

namespace {

constexpr std::uint8_t kNoteOn = 0x90;  // message kinds, sent on each part's channel
constexpr std::uint8_t kController = 0xB0;
constexpr std::uint8_t kProgramChange = 0xC0;
constexpr std::size_t kSetupEventsPerPart = 6;
constexpr std::size_t kSetupEventCount = kSetupEventsPerPart * kPartCount;

// The part's sound, sent at time 0 before its notes: program, then bank, volume, pan, reverb
// and chorus as controllers 0, 7, 10, 91, 93. Values go out as stored, unchecked.
std::array<TRenderEvent, kSetupEventsPerPart> SetupEvents(const TPartSettings& sound, int part) {
  const std::uint8_t controller = PartStatus(kController, part);
  return {{{0, PartStatus(kProgramChange, part), sound.Tone(), 0},
           {0, controller, 0, sound.Bank()},
           {0, controller, 7, sound.Volume()},
           {0, controller, 10, sound.Pane()},
           {0, controller, 91, sound.Reverb()},
           {0, controller, 93, sound.Chorus()}}};
}

void AppendRenderEvent(TEventBuffer& buffer, const TRenderEvent& event) {
  AppendStreamEvent(buffer, event.Time, event.Status, event.Data1, event.Data2);
}

// Visits the stream's whole records in order; a trailing partial record is never read.
template <typename Visit>
void ForEachRecord(const TPartStream& stream, Visit visit) {
  for (std::size_t at = 0; at + kRecordSize <= stream.size(); at += kRecordSize) {
    visit(TRhythmRecord::FromBytes(&stream[at]));
  }
}

// One event per record that is not a wait, end record included, at the part's running time.
// The running time is 16 bits wide and wraps, so a part that passes 65535 ticks goes on from 0.
void AppendPartEvents(const TPartStream& stream, int part, std::vector<TRenderEvent>& events) {
  std::uint16_t running = 0;
  ForEachRecord(stream, [&](const TRhythmRecord& record) {
    if (record.IsWait()) {
      running = static_cast<std::uint16_t>(running + record.Delay());
      return;
    }
    running = static_cast<std::uint16_t>(running + record.b0);
    events.push_back({running, PartStatus(kNoteOn, part), record.b1, record.b2});
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

void AppendStreamEvent(TEventBuffer& buffer, std::uint32_t delta, std::uint8_t status,
                       std::uint8_t data1, std::uint8_t data2) {
  const std::uint32_t event = status | (std::uint32_t{data1} << 8) | (std::uint32_t{data2} << 16);
  for (const std::uint32_t field : {delta, std::uint32_t{0}, event}) {
    for (int shift = 0; shift < 32; shift += 8) {
      buffer.push_back(static_cast<std::uint8_t>((field >> shift) & 0xFF));
    }
  }
}

// Not stable, and the order in which it leaves equal times is part of the buffer a rhythm
// sounds with: it must stay exactly this exchange sort.
void ExchangeSortByTime(std::vector<TRenderEvent>& events) {
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

void RenderSectionEvents(const TRhythmSlot& slot, int section, std::vector<TRenderEvent>& events,
                         TEventBuffer& buffer) {
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
  ExchangeSortByTime(events);
  ConvertToDeltas(events);
  for (const TRenderEvent& event : events) AppendRenderEvent(buffer, event);
}

void RenderPartPreview(const TRhythmSlot& slot, int section, int part, TEventBuffer& buffer) {
  for (const TRenderEvent& event : SetupEvents(slot.header.Settings(section, part), part)) {
    AppendRenderEvent(buffer, event);
  }
  // A wait record replaces the pending delay rather than adding to it: of several waits in a
  // row only the last one delays the next event.
  std::uint16_t pending = 0;
  const auto& stream =
      slot.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)];
  ForEachRecord(stream, [&](const TRhythmRecord& record) {
    if (record.IsWait()) {
      pending = record.Delay();
      return;
    }
    const auto delta = static_cast<std::uint16_t>(pending + record.b0);
    AppendStreamEvent(buffer, delta, PartStatus(kNoteOn, part), record.b1, record.b2);
    pending = 0;
  });
}

}  // namespace brondel
