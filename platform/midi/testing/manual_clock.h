// A clock that stands still until a test moves it on, so that every due time can be checked
// exactly: Advance returns only when every stream timed on it has done what is due, and so tests
// see a settled state.
//
// Threads: Advance comes from the test's thread (or a window test's timer); each stream's thread
// sleeps in its sleeper. sleepersMutex_ guards sleepers_ and is held through an Advance, so a
// stream's sleeper cannot go away while Advance waits on it.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi/testing/midi_testing.h."
#endif

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/midi/engine/midi_clock.h"

namespace brondel::platform {

class ManualMidiClock final : public IMidiClock {
 public:
  MidiMicros Now() const override { return MidiMicros(now_.load()); }
  /// A sleeper that sleeps until woken, whatever its due time: only Advance moves the time.
  std::unique_ptr<IMidiSleeper> MakeSleeper(std::condition_variable& wake,
                                            std::mutex& mutex) override;
  /// Moves the time on by `step` (0 just lets what is due now happen) and returns once every
  /// stream on this clock has played what is due and reported the buffers it handed back.
  void Advance(MidiMicros step);

 private:
  class Sleeper;

  std::atomic<MidiMicros::rep> now_{0};
  std::mutex sleepersMutex_;        // guards sleepers_; held through every Advance
  std::vector<Sleeper*> sleepers_;  // one per stream thread timed on this clock
};

}  // namespace brondel::platform
