// wav: the file is a 44.1 kHz 16-bit stereo WAV exactly as long as the section, silent before the
// first note, sounding from the note's own sample on and wherever the notes of a section are. It
// is written as it is rendered, the same to the byte as libsndfile wrote it before, to a file or
// to the standard output; memory stays small however long the section, a section of more than
// an hour is refused unless allowed, and a render that fails leaves an existing file as it was.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>

#include "document/rhythm_builder.h"
#include "platform/offline_synth.h"
#include "tests/support/child_process.h"
#include "tests/support/test_files.h"
#include "tests/tool/tool_test_support.h"
#include "tools/wav_file.h"

namespace brondel {
namespace {

using test::RunTool;

constexpr double kFramesPerQuarter = 22050;  // 500,000 us a quarter note at 44,100 Hz

struct TWav {
  int channels = 0;
  int sampleRate = 0;
  int bits = 0;
  std::vector<std::int16_t> samples;  // interleaved

  std::size_t Frames() const { return samples.size() / 2; }
  // RMS of both channels over frames [from, to).
  double Rms(std::size_t from, std::size_t to) const {
    double sum = 0;
    for (std::size_t i = 2 * from; i < 2 * std::min(to, Frames()); ++i) {
      const double v = samples[i] / 32768.0;
      sum += v * v;
    }
    return to > from ? std::sqrt(sum / (2.0 * static_cast<double>(to - from))) : 0;
  }
};

std::uint32_t Le(const std::vector<std::uint8_t>& b, std::size_t at, int size) {
  std::uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
  return v;
}

// Reads the RIFF chunks; the "fmt " and "data" chunks must both be there.
TWav ReadWav(const std::vector<std::uint8_t>& bytes) {
  TWav wav;
  EXPECT_GE(bytes.size(), 12u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "WAVE");
  EXPECT_EQ(Le(bytes, 4, 4) + 8, bytes.size());
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                         bytes.begin() + static_cast<std::ptrdiff_t>(at) + 4);
    const std::uint32_t size = Le(bytes, at + 4, 4);
    if (id == "fmt ") {
      EXPECT_EQ(Le(bytes, at + 8, 2), 1u);  // PCM
      wav.channels = static_cast<int>(Le(bytes, at + 10, 2));
      wav.sampleRate = static_cast<int>(Le(bytes, at + 12, 4));
      wav.bits = static_cast<int>(Le(bytes, at + 22, 2));
    } else if (id == "data") {
      for (std::size_t i = 0; i + 1 < size; i += 2) {
        wav.samples.push_back(static_cast<std::int16_t>(Le(bytes, at + 8 + i, 2)));
      }
    }
    at += 8 + size + (size & 1);
  }
  return wav;
}

std::size_t FrameOf(std::uint32_t tick, int tempo) {
  return static_cast<std::size_t>(std::llround(tick * kFramesPerQuarter / tempo));
}

bool HaveSoundfont() {
  for (const std::string& path : platform::GeneralMidiSoundfonts()) {
    if (std::filesystem::exists(path)) return true;
  }
  return false;
}

TEST(ToolWav, ANoteSoundsFromItsOwnSampleAndTheFileEndsWithTheSection) {
  if (!HaveSoundfont()) GTEST_SKIP() << "no General MIDI soundfont installed";
  // One snare hit at tick 200 and one at 400, the part ending at 480; tempo 96.
  TRhythmBuilder builder(96, 0x22);
  builder.Settings(0, PartSettings(0, 0, 127, 64, 0, 0));
  builder.Part(4, 0,
               TPartBuilder()
                   .Wait(200)
                   .Note(0, 38, 120)
                   .Note(100, 38, 0)
                   .Wait(100)
                   .Note(0, 38, 120)
                   .End(80));
  test::TTempDir dir;
  const std::string file = dir.File("snare.ckf");
  test::WriteBytes(file, builder.CkfFile());
  const auto run = RunTool({"wav", file, "Fill1", "-o", dir.File("snare.wav")});
  ASSERT_EQ(run.status, 0) << run.err;
  const TWav wav = ReadWav(test::FileBytes(dir.File("snare.wav")));
  EXPECT_EQ(wav.channels, 2);
  EXPECT_EQ(wav.sampleRate, 44100);
  EXPECT_EQ(wav.bits, 16);
  EXPECT_EQ(wav.Frames(), FrameOf(480, 96));
  const std::size_t hit = FrameOf(200, 96);
  EXPECT_LT(wav.Rms(0, hit), 1e-4);  // only the set-up messages before the first note
  EXPECT_GT(wav.Rms(hit, hit + 4410), 1e-2);
  EXPECT_GT(wav.Rms(FrameOf(400, 96), FrameOf(480, 96)), 1e-2);
  // The onset: the synthesizer starts a note at its next 64-sample block, and the snare's attack
  // takes under 100 samples to be heard; a tick is 230 samples here.
  std::size_t first = 0;
  while (first < wav.samples.size() && std::abs(wav.samples[first]) < 8) ++first;
  EXPECT_GE(first / 2, hit);
  EXPECT_LE(first / 2, hit + 64 + 100);
}

TEST(ToolWav, AnExampleSectionSoundsWhereverItsNotesAre) {
  if (!HaveSoundfont()) GTEST_SKIP() << "no General MIDI soundfont installed";
  test::TTempDir dir;
  const std::string file = test::ExampleRhythmPaths().front();
  const TLoadedRhythm rhythm = test::LoadRhythm(file);
  const int tempo = rhythm.slot.header.Tempo();
  const auto run = RunTool({"wav", file, "Var1", "-o", dir.File("var1.wav")});
  ASSERT_EQ(run.status, 0) << run.err;
  const TWav wav = ReadWav(test::FileBytes(dir.File("var1.wav")));
  std::vector<TRenderEvent> events;
  TEventBuffer buffer;
  RenderSectionEvents(rhythm.slot, 2, events, buffer);
  std::uint32_t tick = 0;
  int notes = 0;
  for (const TRenderEvent& event : events) {
    tick += event.Time;
    if ((event.Status & 0xF0) != 0x90 || event.Data1 > 127 || event.Data2 == 0) continue;
    ++notes;
    const std::size_t at = FrameOf(tick, tempo);
    EXPECT_GT(wav.Rms(at, at + 2205), 1e-3) << "note " << int{event.Data1} << " at tick " << tick;
  }
  EXPECT_GT(notes, 10);
  EXPECT_EQ(wav.Frames(), FrameOf(tick, tempo));
}

// --- Written as it is rendered ---

const std::string kTool = BRONDEL_TOOL_BINARY;

// What libsndfile makes of 16-bit stereo samples in -1 to 1, clipped: the WAV files the tool
// wrote with it before it streamed them.
std::vector<std::uint8_t> LibsndfileWav(const std::vector<float>& samples, int channels) {
  const test::TTempDir dir;
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(dir.File("reference.wav").c_str(), SFM_WRITE, &info);
  EXPECT_NE(file, nullptr);
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()) / channels);
  sf_close(file);
  return test::FileBytes(dir.File("reference.wav"));
}

TEST(ToolWav, TheFileIsTheOneLibsndfileWroteToTheByteToAFileAndToTheStandardOutput) {
  if (!HaveSoundfont()) GTEST_SKIP() << "no General MIDI soundfont installed";
  const std::string file = test::ExampleRhythmPaths().front();
  TLoadedRhythm rhythm = test::LoadRhythm(file);
  std::vector<TRenderEvent> events;
  TEventBuffer buffer;
  RenderSectionEvents(rhythm.slot, 2, events, buffer);
  std::vector<float> samples;
  ASSERT_EQ(platform::RenderStreamOffline(buffer, rhythm.slot.header.Tempo(),
                                          [&samples](std::span<const float> block) {
                                            samples.insert(samples.end(), block.begin(),
                                                           block.end());
                                            return true;
                                          }),
            "");
  const std::vector<std::uint8_t> reference = LibsndfileWav(samples, 2);

  test::TTempDir dir;
  ASSERT_EQ(RunTool({"wav", file, "Var1", "-o", dir.File("var1.wav")}).status, 0);
  EXPECT_TRUE(test::FileBytes(dir.File("var1.wav")) == reference);
  const auto piped = RunTool({"wav", file, "Var1", "-o", "-"});
  ASSERT_EQ(piped.status, 0) << piped.err;
  EXPECT_TRUE(piped.out == std::string(reference.begin(), reference.end()));
  EXPECT_EQ(piped.err, "");
}

TEST(ToolWav, SamplesBecomeTheSixteenBitsLibsndfileGivesThem) {
  // Values on and between the steps of 16 and 32 bits, past full scale, and a seeded spread.
  std::vector<float> samples = {0.0f, -0.0f, 1.0f, -1.0f, 1.5f, -1.5f, 0.99999f, -0.003662109608f};
  for (int step = -70'000; step <= 70'000; ++step)
    samples.push_back(static_cast<float>(step) / 65536.0f);
  std::mt19937 random(7);
  std::uniform_real_distribution<float> spread(-1.1f, 1.1f);
  for (int i = 0; i < 100'000; ++i) samples.push_back(spread(random));
  for (int i = 0; i < 100'000; ++i) samples.push_back(spread(random) * 1e-3f);

  const std::vector<std::uint8_t> reference = LibsndfileWav(samples, 1);
  std::vector<std::uint8_t> pcm;
  tool::AppendPcm16(samples, pcm);
  ASSERT_EQ(reference.size(), 44 + pcm.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    ASSERT_TRUE(std::memcmp(&pcm[2 * i], &reference[44 + 2 * i], 2) == 0)
        << "sample " << i << ": " << samples[i];
  }
}

// Var1 of a rhythm at `tempo`: one drum hit, then waits up to `ticks` (at most the 65,535 of the
// timeline). At tempo 1 a tick lasts half a second.
std::string LongRhythm(const test::TTempDir& dir, std::uint8_t tempo, std::uint32_t ticks) {
  TRhythmBuilder builder(tempo, 0x22);
  TPartBuilder part;
  part.Note(0, 36, 100).Note(4, 36, 0);
  for (std::uint32_t left = ticks - 4; left > 0;) {
    const std::uint32_t wait = std::min<std::uint32_t>(left, 60'000);
    part.Wait(static_cast<std::uint16_t>(wait));
    left -= wait;
  }
  builder.Part(2, 0, part.End());
  const std::string path = dir.File("long-" + std::to_string(tempo) + ".ckf");
  test::WriteBytes(path, builder.CkfFile());
  return path;
}

TEST(ToolWav, ASectionOfHoursIsRefusedAtOnceUnlessAllowed) {
  test::TTempDir dir;
  const std::string file = LongRhythm(dir, 1, 65'535);  // 9 hours of audio
  const auto refused = RunTool({"wav", file, "Var1", "-o", dir.File("long.wav")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, file +
                             ": Var1 lasts 9:06:07 of audio, more than the 60 minutes allowed "
                             "(--max-minutes allows more)\n");
  // Allowed, it is still more than a WAV file can count.
  const auto tooLong =
      RunTool({"wav", file, "Var1", "-o", dir.File("long.wav"), "--max-minutes", "600"});
  EXPECT_EQ(tooLong.status, 1);
  EXPECT_EQ(tooLong.err,
            file + ": Var1 lasts 9:06:07 of audio, more than a WAV file holds (6:45:47)\n");
  EXPECT_EQ(test::FilesIn(dir.Path()), std::vector<std::string>{"long-1.ckf"});
  for (const char* limit : {"0", "ten", "-5"}) {
    EXPECT_EQ(RunTool({"wav", file, "Var1", "-o", "-", "--max-minutes", limit}).status, 2) << limit;
  }
}

TEST(ToolWav, AnAllowedLongRenderThatCannotBeWrittenLeavesTheOldFile) {
  if (!HaveSoundfont()) GTEST_SKIP() << "no General MIDI soundfont installed";
  test::TTempDir dir;
  const std::string file = LongRhythm(dir, 9, 65'535);  // an hour and 40 seconds
  const std::string old = dir.File("old.wav");
  test::WriteBytes(old, {'o', 'l', 'd'});
  EXPECT_EQ(RunTool({"wav", file, "Var1", "-o", old}).status, 1);
  // Allowed, it renders into the file beside the old one until the file size limit (a megabyte,
  // six seconds of audio) stops it; the old file stays.
  const auto run = test::RunProgram({kTool, "wav", file, "Var1", "-o", old, "--max-minutes", "61"},
                                    {1 << 20, false, {}, false});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, old + ": cannot write: " + std::strerror(EFBIG) + "\n");
  EXPECT_EQ(test::FileBytes(old), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(test::FilesIn(dir.Path()), (std::vector<std::string>{"long-9.ckf", "old.wav"}));
}

TEST(ToolWav, MemoryStaysSmallHoweverLongTheSection) {
  if (!HaveSoundfont()) GTEST_SKIP() << "no General MIDI soundfont installed";
  // Two minutes of audio would take 40 MB held whole (floats, then the file's bytes); written
  // as it is rendered, the tool holds no more than for a tenth of a second. The soundfont it
  // loads, the same for both, is left out by comparing the two.
  test::TTempDir dir;
  const auto Peak = [&](std::uint32_t ticks) {
    const std::string file = LongRhythm(dir, 100, ticks);
    const auto run = test::RunProgram({kTool, "wav", file, "Var1", "-o", "-"},
                                      {std::nullopt, false, std::nullopt, true});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.peakKilobytes;
  };
  const long tenth = Peak(20);
  const long twoMinutes = Peak(24'000);
  EXPECT_LT(twoMinutes - tenth, 8 * 1024) << "kilobytes more for two minutes than for a tenth";
}

TEST(ToolWav, ProgressIsOneLineRewrittenInPlaceOnlyOnceShown) {
  std::ostringstream terminal;
  tool::TRenderProgress progress(terminal, 60 * 44'100, 44'100, std::chrono::seconds(0));
  progress.Add(30 * 44'100);
  EXPECT_EQ(terminal.str(), "\rbrondel-tool wav: rendered 0:30 of 1:00 (50%)");
  progress.Add(30 * 44'100);  // within a quarter of a second: not shown
  EXPECT_EQ(terminal.str(), "\rbrondel-tool wav: rendered 0:30 of 1:00 (50%)");
  progress.Finish();
  EXPECT_EQ(terminal.str(),
            "\rbrondel-tool wav: rendered 0:30 of 1:00 (50%)"
            "\rbrondel-tool wav: rendered 1:00 of 1:00 (100%)\n");

  std::ostringstream file;
  tool::TRenderProgress quiet(file, 7200 * 44'100, 44'100, std::nullopt);
  quiet.Add(7200 * 44'100);
  quiet.Finish();
  EXPECT_EQ(file.str(), "");
}

}  // namespace
}  // namespace brondel
