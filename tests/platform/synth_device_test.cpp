// The built-in synthesizer: which soundfont and audio driver it takes, the codes it gives when
// it cannot play, and that the notes it is sent are heard (through FluidSynth's file driver,
// which needs no sound card).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/midi/synth/synth_device.h"
#include "tests/platform/stream_test_support.h"

namespace brondel::platform {
namespace {

using namespace std::chrono_literals;

// The largest magnitude among the 16-bit samples of a raw audio file.
int LoudestSample(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  int loudest = 0;
  std::int16_t sample = 0;
  while (file.read(reinterpret_cast<char*>(&sample), sizeof sample)) {
    loudest = std::max(loudest, std::abs(static_cast<int>(sample)));
  }
  return loudest;
}

class SynthToFileTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove(output); }

  SynthOptions ToFile(std::vector<std::string> drivers) const {
    SynthOptions options = DefaultSynthOptions();
    options.audioDrivers = std::move(drivers);
    options.settings = {{"audio.file.name", output.string()},
                        {"audio.file.type", "raw"},
                        {"audio.file.format", "s16"}};
    return options;
  }

  const std::filesystem::path output =
      std::filesystem::temp_directory_path() /
      ("brondel_synth_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
       ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw");
};

TEST(SynthDevice, PrefersTheLargerGeneralMidiSoundfont) {
  const SynthOptions options = DefaultSynthOptions();
  ASSERT_EQ(options.soundfonts.size(), 2u);
  EXPECT_EQ(std::filesystem::path(options.soundfonts[0]).filename(), "FluidR3_GM.sf2");
  EXPECT_EQ(std::filesystem::path(options.soundfonts[1]).filename(), "TimGM6mb.sf2");
}

TEST(SynthDevice, WithoutASoundfontItCannotOpen) {
  SynthDevice synth({{"/nonexistent/FluidR3_GM.sf2", "/nonexistent/TimGM6mb.sf2"}, {"file"}, {}});
  EXPECT_EQ(synth.Open(), kMidiNoSoundfont);
  EXPECT_FALSE(synth.IsOpen());
}

TEST(SynthDevice, WhenNoAudioDriverStartsItCannotOpen) {
  SynthOptions options = DefaultSynthOptions();
  options.audioDrivers = {"no-such-driver", "another-missing-driver"};
  SynthDevice synth(options);
  EXPECT_EQ(synth.Open(), kMidiNoDriver);
  EXPECT_FALSE(synth.IsOpen());
  EXPECT_EQ(synth.AudioDriver(), "");
}

TEST_F(SynthToFileTest, TriesTheDriversInTurnAndSoundsTheNotesItIsSent) {
  SynthDevice synth(ToFile({"no-such-driver", "file"}));
  ASSERT_EQ(synth.Open(), kMidiNoError);
  EXPECT_EQ(synth.AudioDriver(), "file");
  synth.Send(Msg(0xC0, 0), MidiMicros(0));
  synth.Send(Msg(0x90, 60, 127), MidiMicros(0));
  synth.Send(Msg(0x99, 38, 127), MidiMicros(0));  // channel 10: a drum
  std::this_thread::sleep_for(300ms);             // the file driver renders in real time
  EXPECT_EQ(synth.Close(), kMidiNoError);
  EXPECT_GT(LoudestSample(output), 1000);
}

}  // namespace
}  // namespace brondel::platform
