// arrange: a whole song from a rhythm and a chord chart (chords/song.h), written as a Standard
// MIDI File with markers and chord names, or rendered to a WAV file like wav's.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <utility>

#include "chords/chart.h"
#include "chords/song.h"
#include "exchange/midi_export.h"
#include "platform/file_io.h"
#include "platform/midi_file.h"
#include "tools/commands.h"
#include "tools/rhythm_input.h"

namespace brondel::tool {

namespace {

namespace fs = std::filesystem;

// A chart file is text; far larger than any song's chart.
constexpr std::size_t kMaxChartFileSize = 1024 * 1024;
// So many bars of the chart played over and over would still fit the timeline's 64 bits.
constexpr std::size_t kMaxRepeatDigits = 4;

std::string ChartText(const TCommandLine& line) {
  if (line.Has("--chords") == line.Has("--chords-file")) {
    throw TUsageError("give the chart with either --chords or --chords-file");
  }
  if (line.Has("--chords")) return line.Value("--chords");
  const std::string path = line.Value("--chords-file");
  const platform::TReadResult read = platform::ReadWholeFile(path, kMaxChartFileSize);
  if (read.tooLarge) throw TFileError(path, "cannot read: more than 1 MiB, too large for a chart");
  if (!read.ok) throw TFileError(path, "cannot read: " + read.error);
  return {read.bytes.begin(), read.bytes.end()};
}

// An option taking 1 or 2 (--intro, --variation, --ending); none when not given.
std::optional<int> OneOrTwo(const TCommandLine& line, std::string_view option) {
  if (!line.Has(option)) return std::nullopt;
  const std::string text = line.Value(option);
  if (text != "1" && text != "2") {
    throw TUsageError(std::string(option) + " takes 1 or 2, not '" + text + "'");
  }
  return text[0] - '0';
}

// An option taking a whole number from 1 on (--fill-every, --repeat).
int Count(const TCommandLine& line, std::string_view option, int absent) {
  if (!line.Has(option)) return absent;
  const std::string text = line.Value(option);
  const std::optional<std::uint64_t> count = WholeNumber(text, kMaxRepeatDigits);
  if (!count || *count == 0) {
    throw TUsageError(std::string(option) + " takes a whole number from 1 to 9999, not '" + text +
                      "'");
  }
  return static_cast<int>(*count);
}

chords::TArrangeOptions ArrangeOptions(const TCommandLine& line) {
  chords::TArrangeOptions options;
  options.intro = OneOrTwo(line, "--intro");
  options.variation = OneOrTwo(line, "--variation").value_or(1);
  options.ending = OneOrTwo(line, "--ending");
  options.fillEvery = Count(line, "--fill-every", 0);
  options.repeat = Count(line, "--repeat", 1);
  return options;
}

// ".wav" in any letter case.
bool WantsWav(const std::string& out) {
  std::string extension = FileExtension(out);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".wav";
}

std::vector<TMidiText> SongTexts(const chords::TSong& song) {
  std::vector<TMidiText> texts;
  for (const chords::TSongLabel& label : song.Labels()) {
    texts.push_back(
        {label.tick, label.marker ? platform::kMetaMarker : platform::kMetaText, label.text});
  }
  return texts;
}

}  // namespace

int RunArrange(const TCommandLine& line, TConsole& console) {
  const std::string& path = line.positional[0];
  const chords::TArrangeOptions options = ArrangeOptions(line);
  const std::string chartText = ChartText(line);
  const chords::TChartRead chart = chords::ParseChart(chartText);
  if (!chart.error.empty()) {
    throw TFileError(line.Has("--chords-file") ? line.Value("--chords-file") : "--chords",
                     chart.error);
  }
  TRhythmDocuments docs = OpenAsMainFile(path, console.err);
  const TRhythmSlot& slot = docs.slots[kMainSlot];
  const chords::TSongResult song = chords::ArrangeSong(slot, chart.chart, options);
  if (!song.refusal.empty()) throw TFileError(path, "cannot arrange: " + song.refusal);
  const TEventBuffer buffer = chords::SongBuffer(song.song);
  const std::string out = line.Value("-o");
  if (WantsWav(out)) {
    return WriteWav(line, console, path, "the song", buffer, StreamTimeDivision(slot));
  }
  TMidiExport exported = ExportMidiFile(slot, fs::path(path).stem().string() + " song", {buffer},
                                        SongTexts(song.song));
  if (!exported.refusal.empty()) throw TFileError(path, exported.refusal);
  WriteOutput(out, exported.bytes, console.out);
  return kExitOk;
}

}  // namespace brondel::tool
