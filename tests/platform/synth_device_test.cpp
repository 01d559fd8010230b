// The built-in synthesizer: where it looks for its soundfont (the same for the live and the
// offline synthesizer), which audio driver it takes, the codes it gives when
// it cannot play, and that the notes it is sent are heard (through FluidSynth's file driver,
// which needs no sound card).
#include <gtest/gtest.h>

#include <unistd.h>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/midi/synth/fluid_synth.h"
#include "platform/midi/synth/synth_device.h"
#include "platform/offline_synth.h"
#include "tests/platform/stream_test_support.h"

namespace brondel::platform {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

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

// A folder laid out as the systems lay out their soundfonts, in a temporary folder.
class SoundfontLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root / "sf2");
    fs::create_directories(root / "soundfonts");
    for (const char* name : {"sf2/FluidR3_GM.sf2", "sf2/TimGM6mb.sf2", "soundfonts/FluidR3_GM.sf2",
                             "soundfonts/zeta.sf2", "soundfonts/alpha.sf2", "mine.sf2"}) {
      std::ofstream(root / name) << "RIFF";
    }
    std::ofstream(root / "soundfonts/notes.txt") << "not a soundfont";
    fs::create_symlink(root / "sf2/TimGM6mb.sf2", root / "alternative");
    fs::create_symlink(root / "alternative", root / "sf2/default-GM.sf2");
    fs::create_symlink(root / "soundfonts/FluidR3_GM.sf2", root / "soundfonts/default.sf2");
  }
  void TearDown() override { fs::remove_all(root); }

  SoundfontPlaces Places() const {
    return {(root / "mine.sf2").string(),
            (root / "sf2/default-GM.sf2").string(),
            (root / "soundfonts").string(),
            {(root / "sf2/FluidR3_GM.sf2").string(), (root / "sf2/TimGM6mb.sf2").string()}};
  }
  std::string Real(const std::string& name) const { return fs::canonical(root / name).string(); }

  const fs::path root =
      fs::temp_directory_path() / ("brondel_soundfonts_" + std::to_string(::getpid()) + "_" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(SoundfontLookup, TheNamedFileThenTheDefaultLinkThenTheFolderThenTheKnownFiles) {
  // The folder's default.sf2 leads to its FluidR3_GM.sf2, which is tried once.
  EXPECT_EQ(
      SoundfontCandidates(Places()),
      (std::vector<std::string>{(root / "mine.sf2").string(), Real("sf2/TimGM6mb.sf2"),
                                Real("soundfonts/FluidR3_GM.sf2"), Real("soundfonts/alpha.sf2"),
                                Real("soundfonts/zeta.sf2"), (root / "sf2/FluidR3_GM.sf2").string(),
                                (root / "sf2/TimGM6mb.sf2").string()}));
  EXPECT_EQ(FindSoundfont(SoundfontCandidates(Places())), (root / "mine.sf2").string());
}

TEST_F(SoundfontLookup, WhatIsMissingIsPassedOver) {
  SoundfontPlaces places = Places();
  places.named = (root / "missing.sf2").string();
  fs::remove(root / "alternative");  // a link whose file went away
  fs::remove(root / "soundfonts/default.sf2");
  fs::remove(root / "soundfonts/FluidR3_GM.sf2");
  EXPECT_EQ(FindSoundfont(SoundfontCandidates(places)), Real("soundfonts/alpha.sf2"));
  places.folder = (root / "no-such-folder").string();
  EXPECT_EQ(FindSoundfont(SoundfontCandidates(places)), (root / "sf2/FluidR3_GM.sf2").string());
}

TEST_F(SoundfontLookup, TheEnvironmentNamesTheSoundfontOfBothSynthesizers) {
  ::setenv("BRONDEL_SOUNDFONT", (root / "mine.sf2").c_str(), 1);
  const std::vector<std::string> offline = GeneralMidiSoundfonts();
  const SynthOptions live = DefaultSynthOptions();
  ::unsetenv("BRONDEL_SOUNDFONT");
  ASSERT_FALSE(offline.empty());
  EXPECT_EQ(offline.front(), (root / "mine.sf2").string());
  EXPECT_EQ(live.soundfonts, offline);
  EXPECT_EQ(GeneralMidiSoundfonts().back(), "/usr/share/sounds/sf2/TimGM6mb.sf2");
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
