// Rendering times: the largest section a rhythm file can hold (the exchange sort that fixes the
// order of equal times is quadratic, so this is the worst case a user can meet) and all ten
// sections of each example rhythm.
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

// Section 0 takes all the part data a file can address (total length 65,535 = 540 + data),
// less 6 bytes for each of the other 45 parts: 21,574 records in parts of even length.
TRhythmSlot LargestSection() {
  TRhythmSlot slot;
  slot.fileName = "largest.ckf";
  TPartStream empty;
  AppendRecord(empty, TRhythmRecord::End());
  AppendRecord(empty, TRhythmRecord::Wait(0));
  for (auto& section : slot.streams) section.fill(empty);
  const std::size_t otherParts = (kSectionCount - 1) * kPartCount;
  const std::size_t pairs =
      (kMaxTotalLength - kHeaderSize - otherParts * empty.size()) / kRecordSize / 2;
  const std::uint8_t steps[kPartCount] = {12, 15, 13, 14, 11};
  const std::uint8_t keys[kPartCount] = {36, 28, 60, 64, 67};
  for (std::size_t part = 0; part < kPartCount; ++part) {
    const std::size_t records = 2 * (pairs / kPartCount + (part < pairs % kPartCount ? 1 : 0));
    slot.streams[0][part] = BusyPart(records, steps[part], keys[part]);
  }
  slot.eventCounts[0] = CountSectionEvents(slot, 0);
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
  state.counters["part_bytes"] = static_cast<double>(TotalPartDataSize(slot.streams));
  state.counters["events"] = static_cast<double>(events.size());
}
BENCHMARK(RenderLargestSection)->Unit(benchmark::kMillisecond)->MinTime(3.0);

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

}  // namespace

int main(int argc, char** argv) {
  RegisterExamples();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
