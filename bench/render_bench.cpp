// Rendering times: the largest section a rhythm file can hold, all ten sections of each example
// rhythm and of a rhythm whose ten sections share the longest drum part a section holds; and the
// exchange sort alone, the loop that defines it against ExchangeSortByTime, on the largest
// section's events, on each example's ten sections, on the loop's worst case (falling times:
// every comparison exchanges) and on short sections.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "document/rhythm_loader.h"
#include "render/render.h"

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
  state.counters["part_bytes"] = static_cast<double>(SectionDataSize(slot, 0));
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

struct TExample {
  std::string name;
  TRhythmSlot slot;
};

// Every example rhythm next to this program's sources.
std::vector<TExample> Examples() {
  std::vector<TExample> examples;
  const auto folder = std::filesystem::path(BRONDEL_SOURCE_DIR) / "examples";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    TLoadOutcome outcome = ReadRhythmFile(entry.path().string());
    if (outcome.status != TLoadStatus::kLoaded) continue;
    examples.push_back({entry.path().filename().string(), std::move(outcome.rhythm->slot)});
  }
  return examples;
}

void RegisterRenders(const std::vector<TExample>& examples) {
  for (const TExample& example : examples) {
    benchmark::RegisterBenchmark(
        ("RenderAllSections/" + example.name).c_str(),
        [slot = example.slot](benchmark::State& s) { RenderAllSections(s, slot); })
        ->Unit(benchmark::kMicrosecond);
  }
}

// Arrays of events before their sort: one section's, or each of a rhythm's ten.
using TUnsorted = std::vector<std::vector<TRenderEvent>>;

// The sorts on copies of the arrays each time; the copies are timed too, the same for both.
template <void (*Sort)(std::vector<TRenderEvent>&)>
void SortCopies(benchmark::State& state, const TUnsorted& unsorted) {
  std::size_t events = 0;
  for (const auto& array : unsorted) events += array.size();
  for (auto _ : state) {
    for (const auto& array : unsorted) {
      std::vector<TRenderEvent> copy = array;
      Sort(copy);
      benchmark::DoNotOptimize(copy.data());
    }
  }
  state.counters["events"] = static_cast<double>(events);
}

std::vector<TRenderEvent> SectionEvents(const TRhythmSlot& slot, int section) {
  std::vector<TRenderEvent> events;
  CollectSectionEvents(slot, section, events);
  return events;
}

TUnsorted AllSectionEvents(const TRhythmSlot& slot) {
  TUnsorted sections;
  for (int section = 0; section < kSectionCount; ++section) {
    sections.push_back(SectionEvents(slot, section));
  }
  return sections;
}

// Times falling one tick at a time: the loop exchanges at every comparison.
std::vector<TRenderEvent> FallingTimes(std::size_t size) {
  std::vector<TRenderEvent> events;
  for (std::size_t i = 0; i < size; ++i) {
    events.push_back({static_cast<std::uint32_t>(size - i), 0x99, 36, 100});
  }
  return events;
}

void RegisterSorts(const std::vector<TExample>& examples) {
  const std::vector<TRenderEvent> largest = SectionEvents(LargestSection(), 0);
  std::vector<std::pair<std::string, TUnsorted>> inputs = {
      {"LargestSection", {largest}},
      {"Falling/" + std::to_string(largest.size()), {FallingTimes(largest.size())}}};
  for (const TExample& example : examples) {
    inputs.push_back({"AllSections/" + example.name, AllSectionEvents(example.slot)});
  }
  for (const std::size_t pairs : {0u, 5u, 10u, 25u, 50u, 100u, 200u}) {
    std::vector<TRenderEvent> events = SectionEvents(BusySection(pairs), 0);
    inputs.push_back({"ShortSection/" + std::to_string(events.size()), {std::move(events)}});
  }
  for (const std::size_t size : {35u, 50u, 130u, 430u}) {
    inputs.push_back({"Falling/" + std::to_string(size), {FallingTimes(size)}});
  }
  for (const auto& [name, unsorted] : inputs) {
    // Milliseconds for arrays as long as the largest section, microseconds for the rest.
    const auto unit =
        unsorted.front().size() > 10000 ? benchmark::kMillisecond : benchmark::kMicrosecond;
    benchmark::RegisterBenchmark(("SortLoop/" + name).c_str(), SortCopies<ExchangeSortLoop>,
                                 unsorted)
        ->Unit(unit);
    benchmark::RegisterBenchmark(("SortByTime/" + name).c_str(), SortCopies<ExchangeSortByTime>,
                                 unsorted)
        ->Unit(unit);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<TExample> examples = Examples();
  RegisterRenders(examples);
  RegisterSorts(examples);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
