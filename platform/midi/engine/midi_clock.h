// The clocks the stream engine times its events on. Every real device uses the system's steady
// clock; the testing library adds a manual clock that tests move on by hand. A clock also decides
// how a stream's thread sleeps until its next due time, so that a manual clock can know when
// every stream timed on it has caught up, without the engine doing anything for tests.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace brondel::platform {

using MidiMicros = std::chrono::microseconds;

/// How one stream's thread sleeps; made by the clock the stream is timed on, for that thread only.
class IMidiSleeper {
 public:
  virtual ~IMidiSleeper() = default;
  /// Blocks until the clock may have reached `due` (none: no time limit) or the stream's wake-up
  /// is notified; `lock` holds the stream's mutex. The caller looks again at what woke it.
  virtual void Sleep(std::unique_lock<std::mutex>& lock, std::optional<MidiMicros> due) = 0;
};

class IMidiClock {
 public:
  virtual ~IMidiClock() = default;
  /// Time since the clock's origin; it never goes back. Called from any thread.
  virtual MidiMicros Now() const = 0;
  /// A sleeper for the thread of a stream that is woken through `wake` under `mutex`. The stream
  /// makes it before its thread starts and the thread ends it as it ends.
  virtual std::unique_ptr<IMidiSleeper> MakeSleeper(std::condition_variable& wake,
                                                    std::mutex& mutex) = 0;
};

/// The system's steady clock, counted from the clock's creation.
class SteadyMidiClock final : public IMidiClock {
 public:
  MidiMicros Now() const override;
  /// A sleeper that waits on `wake` until the due time comes (or for ever without one).
  std::unique_ptr<IMidiSleeper> MakeSleeper(std::condition_variable& wake,
                                            std::mutex& mutex) override;

 private:
  const std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
};

/// The one steady clock that every real device shares.
SteadyMidiClock& SystemMidiClock();

}  // namespace brondel::platform
