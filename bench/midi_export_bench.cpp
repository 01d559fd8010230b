// MIDI export times for the largest file export-midi can write: a rhythm whose ten sections all
// play the longest drum part a section holds (64,968 bytes, 21,656 records; sections may share
// their part data), exported as "Play all" writes it, the eleven entries one after the other,
// about 240,000 events; and the writer alone on that file's events, to tell it from the
// arranging. Goal: under 50 ms for the whole export.
#include <benchmark/benchmark.h>

#include <vector>

#include "document/rhythm_loader.h"
#include "exchange/midi_export.h"
#include "platform/midi_file.h"
#include "render/render.h"

namespace {

using namespace brondel;

constexpr int kPlayAllEntries = 11;

TPartStream EmptyPart() {
  TPartStream empty;
  AppendRecord(empty, TRhythmRecord::End());
  AppendRecord(empty, TRhythmRecord::Wait(0));
  return empty;
}

// The longest drum part that leaves room for four empty parts: notes every 24 ticks, keys and
// velocities varying, then the end record; an even number of records, so no filler.
TPartStream LongestDrumPart() {
  const std::size_t records = (kMaxSectionDataSize - 4 * EmptyPart().size()) / kRecordSize / 2 * 2;
  TPartStream stream;
  for (std::size_t i = 0; i + 1 < records; ++i) {
    AppendRecord(stream, TRhythmRecord::Note(24, static_cast<std::uint8_t>(36 + i % 5),
                                             static_cast<std::uint8_t>(60 + (i % 4) * 20)));
  }
  AppendRecord(stream, TRhythmRecord::End(24));
  return stream;
}

TRhythmSlot SharedDrumPart() {
  TRhythmSlot slot;
  slot.fileName = "shared.ckf";
  slot.header.SetTempo(120);
  slot.header.SetTimeSignature(0x22);
  const TPartStream drums = LongestDrumPart();
  for (auto& section : slot.streams) {
    section.fill(EmptyPart());
    section[0] = drums;
  }
  for (int s = 0; s < kSectionCount; ++s) {
    slot.eventCounts[static_cast<std::size_t>(s)] = CountSectionEvents(slot, s);
  }
  return slot;
}

// Every entry of "Play all" plays the same section here.
std::vector<TEventBuffer> PlayAllBuffers(const TRhythmSlot& slot) {
  std::vector<TRenderEvent> events;
  TEventBuffer buffer;
  RenderSectionEvents(slot, 0, events, buffer);
  return std::vector<TEventBuffer>(kPlayAllEntries, buffer);
}

void ExportLargestFile(benchmark::State& state) {
  const TRhythmSlot slot = SharedDrumPart();
  const std::vector<TEventBuffer> buffers = PlayAllBuffers(slot);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const TMidiExport exported = ExportMidiFile(slot, "shared Play all", buffers);
    if (!exported.refusal.empty()) state.SkipWithError(exported.refusal.c_str());
    bytes = exported.bytes.size();
    benchmark::DoNotOptimize(exported.bytes.data());
  }
  state.counters["midi_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(ExportLargestFile)->Unit(benchmark::kMillisecond);

void WriteLargestFile(benchmark::State& state) {
  const TRhythmSlot slot = SharedDrumPart();
  const TMidiExport exported = ExportMidiFile(slot, "shared Play all", PlayAllBuffers(slot));
  const platform::TMidiFileRead read = platform::ReadMidiFile(exported.bytes);
  if (!read.error.empty()) state.SkipWithError(read.error.c_str());
  for (auto _ : state) {
    const platform::TMidiFileBytes written = platform::WriteMidiFile(read.file);
    if (!written.error.empty()) state.SkipWithError(written.error.c_str());
    benchmark::DoNotOptimize(written.bytes.data());
  }
  std::size_t events = 0;
  for (const platform::TMidiFileTrack& track : read.file.tracks) events += track.events.size();
  state.counters["events"] = static_cast<double>(events);
}
BENCHMARK(WriteLargestFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
