// Scripted stand-ins for the MIDI service and the window, for playback tests without threads.
// The fake service "plays" a queued buffer until the test says it has ended (FinishBuffer);
// the fake host runs one scripted step per WaitForEvents, so nested commands, Stop during a
// play and the like happen at exactly the pass a test chooses. Both write one shared log.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/midi_service.h"
#include "playback/playback_host.h"
#include "render/render.h"

namespace brondel::test {

using Log = std::vector<std::string>;

class FakeMidiService : public platform::IMidiService {
 public:
  enum class Call { Open, Close, Stop, TimeDivision, Prepare, Out, Restart, Unprepare };

  explicit FakeMidiService(Log& log) : log_(log) {}

  /// Every later call of this kind answers `code` and does nothing else.
  void Refuse(Call call, platform::MidiResult code) { refusals_[call] = code; }
  /// Every later call of every kind answers `code`.
  void RefuseAll(platform::MidiResult code);
  /// The text ErrorText gives for a code (default "error <code>").
  void SetErrorText(platform::MidiResult code, std::string text) { texts_[code] = text; }

  /// The queued, started buffer has played to its end and is handed back.
  void FinishBuffer();
  /// True while the stream holds a queued buffer that has been started.
  bool Playing() const { return held_ != nullptr && running_; }
  /// Where StreamPosition says the playing buffer is, from now on.
  void SetPosition(std::uint64_t ticks, std::uint32_t repetitions) {
    positionTicks_ = ticks;
    positionRepetitions_ = repetitions;
  }
  /// Copies of every buffer queued, in order.
  const std::vector<TEventBuffer>& Queued() const { return queued_; }
  std::uint32_t TimeDivision() const { return timeDivision_; }

  std::vector<std::string> OutputDeviceNames() override { return {"fake"}; }
  platform::MidiResult StreamOpen(platform::MidiStreamHandle* handle,
                                  std::uint32_t deviceId) override;
  platform::MidiResult StreamClose(platform::MidiStreamHandle handle) override;
  platform::MidiResult StreamStop(platform::MidiStreamHandle handle) override;
  platform::MidiResult StreamSetTimeDivision(platform::MidiStreamHandle handle,
                                             std::uint32_t timeDivision) override;
  platform::MidiResult PrepareHeader(platform::MidiStreamHandle handle,
                                     platform::TMidiHeader* header) override;
  platform::MidiResult StreamOut(platform::MidiStreamHandle handle,
                                 platform::TMidiHeader* header) override;
  platform::MidiResult StreamRestart(platform::MidiStreamHandle handle) override;
  platform::MidiResult UnprepareHeader(platform::MidiStreamHandle handle,
                                       platform::TMidiHeader* header) override;
  /// The playing buffer at the position set (not logged: a window asks it many times), or
  /// nothing while none plays.
  platform::MidiResult StreamPosition(platform::MidiStreamHandle handle,
                                      platform::TStreamPosition* position) override;
  std::string ErrorText(platform::MidiResult code) override;
  void SetBufferDoneNotifier(std::function<void()>) override {}

 private:
  /// Logs the call; the refusal for it, else kMidiInvalidHandle for a handle not valid, else 0.
  platform::MidiResult Enter(Call call, const std::string& entry, bool handleValid);
  bool IsOpen(platform::MidiStreamHandle handle) const { return handle != 0 && handle == open_; }
  void HandBack(const std::string& why);

  Log& log_;
  std::map<Call, platform::MidiResult> refusals_;
  std::map<platform::MidiResult, std::string> texts_;
  platform::MidiStreamHandle open_ = 0;
  platform::MidiStreamHandle nextHandle_ = 1;
  platform::TMidiHeader* held_ = nullptr;
  bool running_ = false;
  std::uint32_t timeDivision_ = 0;
  std::vector<TEventBuffer> queued_;
  std::uint64_t positionTicks_ = 0;
  std::uint32_t positionRepetitions_ = 0;
};

class FakeHost : public IPlaybackHost {
 public:
  FakeHost(Log& log, FakeMidiService& midi) : log_(log), midi_(midi) {}

  /// The next WaitForEvents without a step of its own runs this one instead of the default,
  /// which lets a playing buffer end.
  void OnWait(std::function<void()> step) { steps_.push_back(std::move(step)); }
  /// A wait during which nothing happens (the buffer goes on playing).
  void IdleWait() {
    OnWait([] {});
  }

  void ShowMessage(const std::string& text) override;
  void ShowPartSettings() override;
  void ShowPlayAllEntry(int slot, int section) override;
  void WaitForEvents() override;

  const std::vector<std::string>& Messages() const { return messages_; }
  int GridRefreshes() const { return gridRefreshes_; }
  const std::vector<std::pair<int, int>>& Entries() const { return entries_; }
  int Waits() const { return waits_; }

 private:
  Log& log_;
  FakeMidiService& midi_;
  std::deque<std::function<void()>> steps_;
  std::vector<std::string> messages_;
  int gridRefreshes_ = 0;
  std::vector<std::pair<int, int>> entries_;
  int waits_ = 0;
};

}  // namespace brondel::test
