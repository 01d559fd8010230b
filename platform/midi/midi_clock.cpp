#include "platform/midi/midi_clock.h"

namespace brondel::platform {

MidiMicros SteadyMidiClock::Now() const {
  return std::chrono::duration_cast<MidiMicros>(std::chrono::steady_clock::now() - origin_);
}

void SteadyMidiClock::WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                                MidiMicros deadline) {
  wake.wait_until(lock, origin_ + deadline);
}

SteadyMidiClock& SystemMidiClock() {
  static SteadyMidiClock clock;
  return clock;
}

void ManualMidiClock::WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                                MidiMicros) {
  // Only Advance moves the time, and it wakes every listener itself.
  wake.wait(lock);
}

void ManualMidiClock::AddListener(IMidiClockListener* listener) {
  std::lock_guard guard(listenersMutex_);
  listeners_.push_back(listener);
}

void ManualMidiClock::RemoveListener(IMidiClockListener* listener) {
  std::lock_guard guard(listenersMutex_);
  std::erase(listeners_, listener);
}

void ManualMidiClock::Advance(MidiMicros step) {
  // Holding the listeners' mutex keeps a stream from going away while it catches up.
  std::lock_guard guard(listenersMutex_);
  const MidiMicros now(now_ += step.count());
  for (IMidiClockListener* listener : listeners_) listener->CatchUp(now);
}

}  // namespace brondel::platform
