// arrange: the song's MIDI file is the chord engine's song exported (markers and chord names
// included), the same for a chart given inline or as a file and from run to run; a WAV file as
// long as the song; charts and options that cannot be used are refused with the bar and word.
#include <gtest/gtest.h>

#include <filesystem>

#include "chords/song.h"
#include "exchange/midi_export.h"
#include "platform/midi_file.h"
#include "platform/offline_synth.h"
#include "tests/support/test_files.h"
#include "tests/tool/tool_test_support.h"

namespace brondel {
namespace {

void WriteText(const std::string& path, const std::string& text) {
  test::WriteBytes(path, {text.begin(), text.end()});
}

using test::FileBytes;
using test::RunTool;

const char* const kChart = "C | Am | Dm7 G7 | [Fill] C . . C7 | F | Fm6 | C/G G7sus4 | C";

std::string PopBeat() {
  return test::SourcePath("examples/pop_beat.ckf").string();
}

std::vector<std::uint8_t> ExpectedMidi(const chords::TArrangeOptions& options) {
  const TLoadedRhythm rhythm = test::LoadRhythm(PopBeat());
  const chords::TSongResult song =
      chords::ArrangeSong(rhythm.slot, chords::ParseChart(kChart).chart, options);
  std::vector<TMidiText> texts;
  for (const chords::TSongLabel& label : song.song.Labels()) {
    texts.push_back(
        {label.tick, label.marker ? platform::kMetaMarker : platform::kMetaText, label.text});
  }
  return ExportMidiFile(rhythm.slot, "pop_beat song", {chords::SongBuffer(song.song)}, texts).bytes;
}

TEST(ToolArrange, TheMidiFileIsTheSongWithMarkersAndChordNames) {
  test::TTempDir dir;
  const auto run =
      RunTool({"arrange", PopBeat(), "--chords", kChart, "--intro", "2", "--variation", "2",
               "--fill-every", "3", "--ending", "1", "--repeat", "2", "-o", dir.File("song.mid")});
  ASSERT_EQ(run.status, 0) << run.err;
  chords::TArrangeOptions options;
  options.intro = 2;
  options.variation = 2;
  options.fillEvery = 3;
  options.ending = 1;
  options.repeat = 2;
  const std::vector<std::uint8_t> bytes = FileBytes(dir.File("song.mid"));
  EXPECT_EQ(bytes, ExpectedMidi(options));
  const platform::TMidiFileRead read = platform::ReadMidiFile(bytes);
  ASSERT_EQ(read.error, "");
  std::vector<std::string> markers;
  for (const platform::TMidiFileEvent& event : read.file.tracks[0].events) {
    if (platform::MetaType(event) == platform::kMetaMarker) {
      const auto data = platform::MetaData(event);
      markers.emplace_back(data.begin(), data.end());
    }
  }
  ASSERT_GE(markers.size(), 3u);
  EXPECT_EQ(markers.front(), "Intro2");
  EXPECT_EQ(markers[1], "Var2");
  EXPECT_EQ(markers.back(), "End1");
}

TEST(ToolArrange, AChartFileAndTheSameChartInlineGiveTheSameBytesEveryTime) {
  test::TTempDir dir;
  WriteText(dir.File("chart.txt"), std::string(kChart) + "\n");
  ASSERT_EQ(RunTool({"arrange", PopBeat(), "--chords-file", dir.File("chart.txt"), "-o",
                     dir.File("a.mid")})
                .status,
            0);
  const auto piped = RunTool({"arrange", PopBeat(), "--chords", kChart, "-o", "-"});
  ASSERT_EQ(piped.status, 0);
  const std::vector<std::uint8_t> file = FileBytes(dir.File("a.mid"));
  EXPECT_EQ(std::vector<std::uint8_t>(piped.out.begin(), piped.out.end()), file);
  EXPECT_EQ(file, ExpectedMidi({}));
}

TEST(ToolArrange, AWavFileLastsTheSong) {
  bool haveSoundfont = false;
  for (const std::string& path : platform::GeneralMidiSoundfonts()) {
    haveSoundfont = haveSoundfont || std::filesystem::exists(path);
  }
  if (!haveSoundfont) GTEST_SKIP() << "no General MIDI soundfont installed";
  test::TTempDir dir;
  const auto run = RunTool({"arrange", PopBeat(), "--chords", "C | G7", "-o", dir.File("s.wav")});
  ASSERT_EQ(run.status, 0) << run.err;
  const TLoadedRhythm rhythm = test::LoadRhythm(PopBeat());
  const chords::TSongResult song =
      chords::ArrangeSong(rhythm.slot, chords::ParseChart("C | G7").chart, {});
  const auto frames =
      platform::OfflineFrameCount(chords::SongBuffer(song.song), StreamTimeDivision(rhythm.slot));
  ASSERT_TRUE(frames);
  EXPECT_EQ(FileBytes(dir.File("s.wav")).size(), 44 + *frames * 4);  // 16-bit stereo
}

TEST(ToolArrange, RefusalsNameWhatIsWrong) {
  test::TTempDir dir;
  const std::string out = dir.File("song.mid");
  const auto badChord = RunTool({"arrange", PopBeat(), "--chords", "C | Hm7 | G", "-o", out});
  EXPECT_EQ(badChord.status, 1);
  EXPECT_NE(badChord.err.find("--chords: bar 2: 'Hm7' is not a chord"), std::string::npos)
      << badChord.err;
  WriteText(dir.File("chart.txt"), "C | G\n[Var3] C\n");
  const auto badFile =
      RunTool({"arrange", PopBeat(), "--chords-file", dir.File("chart.txt"), "-o", out});
  EXPECT_EQ(badFile.status, 1);
  EXPECT_NE(badFile.err.find("chart.txt: bar 3: '[Var3]' is not a section cue"), std::string::npos)
      << badFile.err;
  const auto ended = RunTool({"arrange", PopBeat(), "--chords", "[End2] C | G", "-o", out});
  EXPECT_EQ(ended.status, 1);
  EXPECT_NE(ended.err.find("cannot arrange: bar 2: the song has ended before it"),
            std::string::npos)
      << ended.err;
  for (const std::vector<std::string>& usage :
       std::vector<std::vector<std::string>>{{"--chords", "C", "--chords-file", "x.txt"},
                                             {},
                                             {"--chords", "C", "--intro", "3"},
                                             {"--chords", "C", "--variation", "0"},
                                             {"--chords", "C", "--repeat", "0"},
                                             {"--chords", "C", "--fill-every", "x"}}) {
    std::vector<std::string> words = {"arrange", PopBeat(), "-o", out};
    words.insert(words.end(), usage.begin(), usage.end());
    EXPECT_EQ(RunTool(words).status, 2) << words.back();
  }
  EXPECT_EQ(test::FilesIn(dir.Path()), std::vector<std::string>{"chart.txt"});
}

}  // namespace
}  // namespace brondel
