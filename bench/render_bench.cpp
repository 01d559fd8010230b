// Rendering times: the largest section a rhythm file can hold, all ten sections of each example
// rhythm and of a rhythm whose ten sections share the longest drum part a section holds; and the
// exchange sort alone, the loop that defines it against ExchangeSortByTime, on the largest
// section's events, on the loop's worst case (falling times: every comparison exchanges) and on
// short sections.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "document/rhythm_loader.h"
#include "playback/render.h"

namespace {

using namespace brondel;

// A part of `records` records (an even number, so no filler): notes every `step` ticks, then the
// end record.
TPartStream BusyPart(std::size_t records, std::uint8_t step, std::uint8_t key) {
  TPartStream stream;
  for (std::size_t i = 0; i + 1 < records; ++i) {
    const auto velocity = static_cast<std::uint8_t>(60 + (i % 4) * 20);
    AppendRecord(stream,
                 TRhythmRecord::Note(step, static_cast<std::uint8_t>(key + i % 5), velocity));
  }
  AppendRecord(stream, TRhythmRecord::End(step));
  return stream;
}

TPartStream EmptyPart() {
  TPartStream empty;
  AppendRecord(empty, TRhythmRecord::End());
  AppendRecord(empty, TRhythmRecord::Wait(0));
  return empty;
}

// A loaded slot whose parts are all empty.
TRhythmSlot EmptySlot(const char* name) {
  TRhythmSlot slot;
  slot.fileName = name;
  for (auto& section : slot.streams) section.fill(EmptyPart());
  return slot;
}

void RecountSections(TRhythmSlot& slot) {
  for (int section = 0; section < kSectionCount; ++section) {
    slot.eventCounts[static_cast<std::size_t>(section)] = CountSectionEvents(slot, section);
  }
}

// Section 0 holds `pairs` pairs of records, shared out among its five parts: notes every 11 to
// 15 ticks and the end records.
TRhythmSlot BusySection(std::size_t pairs) {
  TRhythmSlot slot = EmptySlot("busy.ckf");
  const std::uint8_t steps[kPartCount] = {12, 15, 13, 14, 11};
  const std::uint8_t keys[kPartCount] = {36, 28, 60, 64, 67};
  for (std::size_t part = 0; part < kPartCount; ++part) {
    const std::size_t records = 2 * (pairs / kPartCount + (part < pairs % kPartCount ? 1 : 0));
    slot.streams[0][part] = BusyPart(records, steps[part], keys[part]);
  }
  RecountSections(slot);
  return slot;
}

// Section 0 holds all the part data a section may: 64,992 bytes (the most parts of whole
// record pairs reach within 64,995), 21,664 note and end records in five parts of even length,
// so 21,694 events with the set-up block.
TRhythmSlot LargestSection() {
  return BusySection(kMaxSectionDataSize / kRecordSize / 2);
}

// Every section plays the same drum part of 64,968 bytes, the longest that leaves room in the
// section for four empty parts: the data a file may share between its sections.
TRhythmSlot SharedDrumPart() {
  TRhythmSlot slot = EmptySlot("shared.ckf");
  const TPartStream drums =
      BusyPart((kMaxSectionDataSize - 4 * EmptyPart().size()) / kRecordSize / 2 * 2, 24, 36);
  for (auto& section : slot.streams) section[0] = drums;
  RecountSections(slot);
  return slot;
}

void RenderLargestSection(benchmark::State& state) {
  const TRhythmSlot slot = LargestSection();
  std::vector<TRenderEvent> events;
  for (auto _ : state) {
    TEventBuffer buffer;
    RenderSectionEvents(slot, 0, events, buffer);
    benchmark::DoNotOptimize(buffer.data());
  }
  std::size_t bytes = 0;
  for (const TPartStream& stream : slot.streams[0]) bytes += stream.size();
  state.counters["part_bytes"] = static_cast<double>(bytes);
  state.counters["events"] = static_cast<double>(events.size());
}
BENCHMARK(RenderLargestSection)->Unit(benchmark::kMillisecond);

void RenderAllSections(benchmark::State& state, const TRhythmSlot& slot) {
  std::vector<TRenderEvent> events;
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = 0;
    for (int section = 0; section < kSectionCount; ++section) {
      TEventBuffer buffer;
      RenderSectionEvents(slot, section, events, buffer);
      bytes += buffer.size();
      benchmark::DoNotOptimize(buffer.data());
    }
  }
  state.counters["buffer_bytes"] = static_cast<double>(bytes);
}

void RenderSharedDrumPart(benchmark::State& state) {
  RenderAllSections(state, SharedDrumPart());
}
BENCHMARK(RenderSharedDrumPart)->Unit(benchmark::kMillisecond);

// Every example rhythm next to this program's sources gets a benchmark of its own.
void RegisterExamples() {
  const auto folder = std::filesystem::path(BRONDEL_SOURCE_DIR) / "examples";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    TLoadOutcome outcome = ReadRhythmFile(entry.path().string());
    if (outcome.status != TLoadStatus::kLoaded) continue;
    benchmark::RegisterBenchmark(("RenderAllSections/" + entry.path().filename().string()).c_str(),
                                 [slot = std::move(outcome.rhythm->slot)](benchmark::State& s) {
                                   RenderAllSections(s, slot);
                                 })
        ->Unit(benchmark::kMicrosecond);
  }
}

// The sorts on a copy of `unsorted` each time; the copy is timed too, and is the same for both.
template <void (*Sort)(std::vector<TRenderEvent>&)>
void SortCopies(benchmark::State& state, const std::vector<TRenderEvent>& unsorted) {
  for (auto _ : state) {
    std::vector<TRenderEvent> events = unsorted;
    Sort(events);
    benchmark::DoNotOptimize(events.data());
  }
  state.counters["events"] = static_cast<double>(unsorted.size());
}

std::vector<TRenderEvent> SectionEvents(const TRhythmSlot& slot, int section) {
  std::vector<TRenderEvent> events;
  CollectSectionEvents(slot, section, events);
  return events;
}

// Times falling one tick at a time: the loop exchanges at every comparison.
std::vector<TRenderEvent> FallingTimes(std::size_t size) {
  std::vector<TRenderEvent> events;
  for (std::size_t i = 0; i < size; ++i) {
    events.push_back({static_cast<std::uint32_t>(size - i), 0x99, 36, 100});
  }
  return events;
}

void RegisterSorts() {
  const std::size_t largest = SectionEvents(LargestSection(), 0).size();
  struct TInput {
    std::string name;
    std::vector<TRenderEvent> events;
  };
  std::vector<TInput> inputs = {{"LargestSection", SectionEvents(LargestSection(), 0)},
                                {"Falling/" + std::to_string(largest), FallingTimes(largest)}};
  for (const std::size_t pairs : {0u, 5u, 10u, 25u, 50u, 100u, 200u}) {
    std::vector<TRenderEvent> events = SectionEvents(BusySection(pairs), 0);
    inputs.push_back({"ShortSection/" + std::to_string(events.size()), std::move(events)});
  }
  for (const std::size_t size : {35u, 50u, 130u, 430u}) {
    inputs.push_back({"Falling/" + std::to_string(size), FallingTimes(size)});
  }
  for (TInput& input : inputs) {
    const auto unit =
        input.events.size() > 1000 ? benchmark::kMillisecond : benchmark::kMicrosecond;
    benchmark::RegisterBenchmark(("SortLoop/" + input.name).c_str(), SortCopies<ExchangeSortLoop>,
                                 input.events)
        ->Unit(unit);
    benchmark::RegisterBenchmark(("SortByTime/" + input.name).c_str(),
                                 SortCopies<ExchangeSortByTime>, input.events)
        ->Unit(unit);
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterExamples();
  RegisterSorts();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
