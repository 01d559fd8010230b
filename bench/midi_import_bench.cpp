// MIDI import times, each as the window does it from the files on disk: a 1 MB Standard MIDI
// File of 100,000 notes (format 0, a note every eighth at 480 ticks a quarter note, note-offs
// as 0x80, an expression controller on every fourth note) imported as the bass of the pop beat's
// Var1, also split into reading and importing; and
// a new rhythm from the ten section files export-midi writes of each example. Goal: under 50 ms
// each.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "document/rhythm_loader.h"
#include "exchange/midi_export.h"
#include "exchange/midi_import.h"
#include "platform/file_io.h"
#include "platform/midi_file.h"
#include "render/render.h"
#include "tests/support/smf_writer.h"

namespace {

using namespace brondel;
namespace fs = std::filesystem;

constexpr int kLargeFileNotes = 100000;
constexpr int kVar1 = 2;
constexpr int kBass = 1;

fs::path Scratch(const std::string& name) {
  const fs::path folder = fs::temp_directory_path() / "brondel-midi-import-bench";
  fs::create_directories(folder);
  return folder / name;
}

void Write(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  if (!platform::WriteFileSafely(path.string(), bytes).empty()) std::abort();
}

TRhythmSlot Example(const std::string& name) {
  const TLoadOutcome loaded =
      ReadRhythmFile((fs::path(BRONDEL_SOURCE_DIR) / "examples" / name).string());
  if (!loaded.rhythm) std::abort();
  return loaded.rhythm->slot;
}

// The 1 MB file: notes on channel 2, keys and velocities varying, a note every eighth lasting
// 200 of its 240 ticks, an expression controller on every fourth.
const std::string& LargeFile() {
  static const std::string path = [] {
    test::TSmfTrackWriter track;
    track.Name("long take").Tempo(0, 500000);
    track.Event(0, {0xC1, 33});
    for (int n = 0; n < kLargeFileNotes; ++n) {
      const auto key = static_cast<std::uint8_t>(28 + n % 24);
      const auto velocity = static_cast<std::uint8_t>(60 + n % 60);
      track.Event(n == 0 ? 0 : 40, {0x91, key, velocity});
      if (n % 4 == 0) track.Event(0, {0xB1, 11, velocity});
      track.Event(200, {0x81, key, 64});
    }
    const std::vector<std::uint8_t> bytes = test::SmfFile(0, 480, {track.End(0)});
    const fs::path file = Scratch("large.mid");
    Write(file, bytes);
    return file.string();
  }();
  return path;
}

void ImportLargeFile(benchmark::State& state) {
  const TRhythmSlot popBeat = Example("pop_beat.ckf");
  const std::string& path = LargeFile();
  for (auto _ : state) {
    TRhythmSlot slot = popBeat;
    const platform::TMidiFileRead read = platform::ReadMidiFileAt(path);
    const auto sources = ListMidiSources(read.file);
    const TMidiImportOutcome outcome =
        ImportMidiPart(slot, path, read.file, {kVar1, kBass, sources[0].source, true});
    if (outcome.refusal) state.SkipWithError(outcome.refusal->Text().c_str());
    benchmark::DoNotOptimize(slot.streams[kVar1][kBass].data());
  }
  state.counters["file_bytes"] = static_cast<double>(fs::file_size(path));
}
BENCHMARK(ImportLargeFile)->Unit(benchmark::kMillisecond);

void ReadLargeFile(benchmark::State& state) {
  const std::string& path = LargeFile();
  for (auto _ : state) {
    const platform::TMidiFileRead read = platform::ReadMidiFileAt(path);
    benchmark::DoNotOptimize(read.file.tracks.data());
  }
}
BENCHMARK(ReadLargeFile)->Unit(benchmark::kMillisecond);

void ImportReadLargeFile(benchmark::State& state) {
  const TRhythmSlot popBeat = Example("pop_beat.ckf");
  const platform::TMidiFileRead read = platform::ReadMidiFileAt(LargeFile());
  const TMidiSource channel2{TMidiSource::TKind::kChannel, 1};
  for (auto _ : state) {
    TRhythmSlot slot = popBeat;
    const TMidiImportOutcome outcome =
        ImportMidiPart(slot, "large.mid", read.file, {kVar1, kBass, channel2, true});
    benchmark::DoNotOptimize(outcome.notices.data());
  }
}
BENCHMARK(ImportReadLargeFile)->Unit(benchmark::kMillisecond);

// The ten files export-midi writes of an example, on disk.
std::vector<std::string> ExportedSections(const std::string& example) {
  const TRhythmSlot slot = Example(example);
  std::vector<std::string> paths;
  for (int section = 0; section < kSectionCount; ++section) {
    std::vector<TRenderEvent> events;
    TEventBuffer buffer;
    RenderSectionEvents(slot, section, events, buffer);
    const fs::path path =
        SectionFileName(Scratch(fs::path(example).stem().string() + ".mid").string(), section);
    Write(path, ExportMidiFile(slot, "bench", {buffer}).bytes);
    paths.push_back(path.string());
  }
  return paths;
}

void FromMidiTenSections(benchmark::State& state, const std::string& example) {
  const std::vector<std::string> paths = ExportedSections(example);
  for (auto _ : state) {
    std::vector<TNamedMidiFile> files;
    for (const std::string& path : paths)
      files.push_back({path, platform::ReadMidiFileAt(path).file});
    const TMidiRhythm made = RhythmFromMidi(files);
    if (!made.rhythm) state.SkipWithError(made.outcome.refusal->Text().c_str());
    benchmark::DoNotOptimize(made.rhythm->slot.streams.data());
  }
}
BENCHMARK_CAPTURE(FromMidiTenSections, pop_beat, std::string("pop_beat.ckf"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FromMidiTenSections, waltz, std::string("waltz.z00"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FromMidiTenSections, ballad, std::string("ballad.ckf"))
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
