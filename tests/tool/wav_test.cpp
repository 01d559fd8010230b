// wav: the file is a 44.1 kHz 16-bit stereo WAV exactly as long as the section, silent before the
// first note, sounding from the note's own sample on and wherever the notes of a section are.
#include <gtest/gtest.h>

#include <cmath>

#include "document/rhythm_builder.h"
#include "platform/offline_synth.h"
#include "tests/support/test_files.h"
#include "tests/tool/tool_test_support.h"

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

}  // namespace
}  // namespace brondel
