// The keyboard's end-to-end check over JACK, run by tests/e2e/jack_keyboard.sh (and its figures
// by bench/keyboard_latency.sh): that script starts a JACK server with the dummy driver, our
// monitor (midi-monitor:input) and our keyboard client "keys" (tests/e2e/keys), then runs this
// case with the server's name in BRONDEL_E2E_JACK_SERVER. It plays a live play of one-bar
// sections, whose bass holds C3 and whose chord holds C4-E4-G4 through every bar, into the
// monitor, with keys:out as the MIDI keyboard: the keyboard's left hand changes the chord, and
// the script measures from each change's key frame to the first re-pitched note's frame. The
// keyboard plays its phrase and ends; BRONDEL_E2E_ROUNDS (default 1) says how many times the
// script starts it, and this case listens to each. Without the server's name it is skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "platform/midi_input.h"
#include "playback/keyboard_play.h"
#include "playback/playback.h"
#include "tests/support/test_rhythm.h"

namespace brondel::test {
namespace {

using namespace std::chrono_literals;

const char* const kServer = std::getenv("BRONDEL_E2E_JACK_SERVER");

class WaitingHost final : public IPlaybackHost {
 public:
  std::function<void()> onWait;
  std::vector<std::string> messages;
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ShowPartSettings() override {}
  void ShowPlayAllEntry(int, int) override {}
  void WaitForEvents() override {
    std::this_thread::sleep_for(2ms);
    if (onWait) onWait();
  }
};

std::optional<std::uint32_t> Find(const std::vector<std::string>& names, const std::string& name) {
  const auto found = std::find(names.begin(), names.end(), name);
  if (found == names.end()) return std::nullopt;
  return static_cast<std::uint32_t>(found - names.begin());
}

TEST(KeyboardJackEndToEnd, TheLeftHandOnKeysOutChangesTheChordOnTheMonitor) {
  if (kServer == nullptr) GTEST_SKIP() << "run by tests/e2e/jack_keyboard.sh";
  const char* const roundsText = std::getenv("BRONDEL_E2E_ROUNDS");
  const int rounds = roundsText != nullptr ? std::atoi(roundsText) : 1;

  TestRhythm rhythm(100);
  rhythm.slot.header.SetTimeSignature(TimeSignatureByte(4, 2));
  for (int section = 0; section < kSectionCount; ++section) {
    rhythm.Part(section, kDrums, {Note(0, 36, 100), Note(20, 36, 0), Wait(380), End(0)})
        .Part(section, kBass, {Note(0, 48, 90), Wait(400), Note(0, 48, 0), End(0)})
        .Part(section, kChord1,
              {Note(0, 60, 80), Note(0, 64, 80), Note(0, 67, 80), Wait(400), Note(0, 60, 0),
               Note(0, 64, 0), Note(0, 67, 0), End(0)});
    rhythm.slot.header.SetBarCount(section, 1);
  }
  TRhythmDocuments docs;
  docs.slots[kMainSlot] = rhythm.slot;

  const auto midi = platform::MakeSystemMidiService();
  const auto inputs = platform::MakeSystemMidiInputService();
  const std::optional<std::uint32_t> monitor =
      Find(midi->OutputDeviceNames(), "midi-monitor:input");
  ASSERT_TRUE(monitor) << "midi-monitor:input is not listed on server " << kServer;
  WaitingHost host;
  TPlayback playback(docs, *midi, host);
  playback.SelectDevice(*monitor);
  playback.OpenMidiStream();
  TKeyboardPlay keyboard(*inputs, playback.LiveControl());

  int heard = 0;
  std::vector<std::string> lost;
  auto lastLook = std::chrono::steady_clock::now() - 1s;
  const auto giveUp = std::chrono::steady_clock::now() + 60s * rounds;
  host.onWait = [&] {
    if (std::optional<std::string> reason = keyboard.TakeLost()) {
      lost.push_back(*reason);
      keyboard.Close();
      if (++heard == rounds) playback.Stop();
    }
    const auto now = std::chrono::steady_clock::now();
    if (now > giveUp) {
      ADD_FAILURE() << "the keyboard did not play " << rounds << " times";
      playback.Stop();
    }
    // The keyboard of the next round, once its port shows.
    if (keyboard.IsOpen() || heard == rounds || now - lastLook < 50ms) return;
    lastLook = now;
    if (const std::optional<std::uint32_t> keys = Find(keyboard.DeviceNames(), "keys:out")) {
      const std::optional<std::string> refusal = keyboard.Open(*keys);
      EXPECT_EQ(refusal, std::nullopt);
    }
  };
  playback.PlayLive({});
  EXPECT_EQ(heard, rounds);
  // Each keyboard's going reported once ("keys:out has gone", or "... is no longer connected"
  // when the next one's port has already come back under its name).
  EXPECT_EQ(lost.size(), static_cast<std::size_t>(rounds));
  for (const std::string& reason : lost) EXPECT_EQ(reason.rfind("keys:out ", 0), 0u) << reason;
  EXPECT_TRUE(host.messages.empty()) << host.messages.front();
  playback.CloseMidiStream();
}

}  // namespace
}  // namespace brondel::test
