// A playback host for tests on the manual clock: every wait moves the clock on by one step, then
// runs the steps whose time has come, each once (a step may start a play of its own, which waits
// in turn); a play still going after a minute of waits (since the host was made or cleared) is
// stopped and reported. RecordedPlaybackTest is the playback tests' fixture around it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/midi/testing/midi_testing.h"
#include "playback/playback.h"

namespace brondel::test {

class ClockHost final : public IPlaybackHost {
 public:
  static constexpr platform::MidiMicros kStep = std::chrono::milliseconds(10);
  static constexpr platform::MidiMicros kGiveUp = std::chrono::seconds(60);

  explicit ClockHost(platform::ManualMidiClock& clock) : clock_(clock) {}

  void At(platform::MidiMicros time, std::function<void()> action) {
    steps_.push_back({time, std::move(action), false});
  }
  void SetPlayback(TPlayback& playback) { playback_ = &playback; }
  /// Forgets the steps, done or not, and starts counting the waits anew (a test that plays many
  /// times on one clock).
  void Clear() {
    steps_.clear();
    waits_ = 0;
  }
  /// Called at every wait, after the steps.
  std::function<void()> everyWait;

  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ShowPartSettings() override {}
  void ShowPlayAllEntry(int, int section) override { entries.push_back(section); }
  void WaitForEvents() override {
    clock_.Advance(kStep);
    for (std::size_t i = 0; i < steps_.size(); ++i) {
      if (steps_[i].done || clock_.Now() < steps_[i].time) continue;
      steps_[i].done = true;
      const std::function<void()> action = steps_[i].action;
      action();
      clock_.Advance(std::chrono::milliseconds(0));  // the stream's thread takes in the step
    }
    if (everyWait) everyWait();
    if (++waits_ > kGiveUp / kStep && playback_ != nullptr) {
      ADD_FAILURE() << "the play did not end";
      playback_->Stop();
    }
  }

  std::vector<std::string> messages;
  std::vector<int> entries;

 private:
  struct TStep {
    platform::MidiMicros time;
    std::function<void()> action;
    bool done;
  };
  platform::ManualMidiClock& clock_;
  std::vector<TStep> steps_;
  TPlayback* playback_ = nullptr;
  std::int64_t waits_ = 0;
};

/// A TPlayback on a recording device and a manual clock that its ClockHost moves on by a step at
/// every wait, with `slot` in the main slot and the stream open.
class RecordedPlaybackTest : public ::testing::Test {
 protected:
  explicit RecordedPlaybackTest(const TRhythmSlot& slot) {
    docs.slots[kMainSlot] = slot;
    host.SetPlayback(playback);
    playback.OpenMidiStream();
  }

  platform::ManualMidiClock clock;
  std::shared_ptr<platform::RecordingMidiDevice> recorder =
      std::make_shared<platform::RecordingMidiDevice>("Recorder", clock);
  std::unique_ptr<platform::IMidiService> midi = platform::MakeMidiService({recorder});
  ClockHost host{clock};
  TRhythmDocuments docs;
  TPlayback playback{docs, *midi, host};
};

}  // namespace brondel::test
