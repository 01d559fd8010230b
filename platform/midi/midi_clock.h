// The clocks the stream engine times its events on: the system's steady clock for real devices,
// and a manual clock that tests move on by hand so that every due time can be checked exactly.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace brondel::platform {

using MidiMicros = std::chrono::microseconds;

/// Something that waits on a manual clock: it is told each time the clock moves on.
class IMidiClockListener {
 public:
  virtual ~IMidiClockListener() = default;
  /// Returns once everything due at `now` has been done.
  virtual void CatchUp(MidiMicros now) = 0;
};

class IMidiClock {
 public:
  virtual ~IMidiClock() = default;
  /// Time since the clock's origin; it never goes back.
  virtual MidiMicros Now() const = 0;
  /// Blocks on `wake` (whose mutex `lock` holds) until Now() may have reached `deadline` or
  /// `wake` is notified; the caller checks again what woke it.
  virtual void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                         MidiMicros deadline) = 0;
  /// Registers a listener that CatchUp is called on whenever the time jumps (manual clocks).
  virtual void AddListener(IMidiClockListener* listener) = 0;
  /// Unregisters it; once this returns, CatchUp is no longer running on it.
  virtual void RemoveListener(IMidiClockListener* listener) = 0;
};

/// The system's steady clock, counted from the first use in this process.
class SteadyMidiClock final : public IMidiClock {
 public:
  MidiMicros Now() const override;
  void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                 MidiMicros deadline) override;
  void AddListener(IMidiClockListener*) override {}
  void RemoveListener(IMidiClockListener*) override {}

 private:
  std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
};

/// The one steady clock that every real device shares.
SteadyMidiClock& SystemMidiClock();

/// A clock that stands still until Advance moves it; Advance returns only when every stream
/// timed on it has played what is due, so tests see a settled state.
class ManualMidiClock final : public IMidiClock {
 public:
  MidiMicros Now() const override { return MidiMicros(now_.load()); }
  void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                 MidiMicros deadline) override;
  void AddListener(IMidiClockListener* listener) override;
  void RemoveListener(IMidiClockListener* listener) override;
  /// Moves the time on by `step` (0 just lets what is due now happen) and waits for the streams.
  void Advance(MidiMicros step);

 private:
  std::atomic<MidiMicros::rep> now_{0};
  std::mutex listenersMutex_;
  std::vector<IMidiClockListener*> listeners_;
};

}  // namespace brondel::platform
