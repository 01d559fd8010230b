// brondel-tool arrange's work for a 64-bar song: the chart read, the song arranged (flow, notes,
// chords) and written as a MIDI file with its markers and chord names. Goal: under 20 ms.
#include <benchmark/benchmark.h>

#include <string>

#include "chords/song.h"
#include "document/rhythm_loader.h"
#include "exchange/midi_export.h"
#include "platform/midi_file.h"

namespace {

using namespace brondel;

// 64 bars: a 16-bar chart of changing chords, two chords in some bars, played four times.
const char* const kChart =
    "C | Am | Dm7 G7 | C . . C7 | F | Fm6 | Em7 A7 | Dm7 G7 | "
    "C/E | F#m7b5 B7 | Em | Ebdim7 | Dm7 | G7sus4 G7 | C Am | F G";

TRhythmSlot Example(const char* name) {
  TLoadOutcome loaded = ReadRhythmFile(std::string(BRONDEL_SOURCE_DIR) + "/examples/" + name);
  return loaded.rhythm ? loaded.rhythm->slot : TRhythmSlot{};
}

void ArrangeToMidi(benchmark::State& state, const char* example) {
  const TRhythmSlot slot = Example(example);
  chords::TArrangeOptions options;
  options.intro = 1;
  options.fillEvery = 4;
  options.repeat = 4;
  options.ending = 1;
  std::size_t bytes = 0;
  for (auto _ : state) {
    const chords::TChartRead chart = chords::ParseChart(kChart);
    const chords::TSongResult song = chords::ArrangeSong(slot, chart.chart, options);
    std::vector<TMidiText> texts;
    for (const chords::TSongLabel& label : song.song.Labels()) {
      texts.push_back(
          {label.tick, label.marker ? platform::kMetaMarker : platform::kMetaText, label.text});
    }
    const TMidiExport file = ExportMidiFile(slot, "song", {chords::SongBuffer(song.song)}, texts);
    bytes = file.bytes.size();
    benchmark::DoNotOptimize(file.bytes.data());
  }
  state.counters["midi_bytes"] = static_cast<double>(bytes);
}

// The song alone, without the MIDI file: what the chord engine itself costs.
void ArrangeOnly(benchmark::State& state) {
  const TRhythmSlot slot = Example("pop_beat.ckf");
  const chords::TChart chart = chords::ParseChart(kChart).chart;
  chords::TArrangeOptions options;
  options.repeat = 4;
  for (auto _ : state) {
    const chords::TSongResult song = chords::ArrangeSong(slot, chart, options);
    benchmark::DoNotOptimize(song.song.events.data());
  }
}

BENCHMARK(ArrangeOnly)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ArrangeToMidi, pop_beat, "pop_beat.ckf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ArrangeToMidi, ballad, "ballad.ckf")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
