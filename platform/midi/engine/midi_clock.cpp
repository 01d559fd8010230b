#include "platform/midi/engine/midi_clock.h"

namespace brondel::platform {
namespace {

class SteadySleeper final : public IMidiSleeper {
 public:
  SteadySleeper(std::chrono::steady_clock::time_point origin, std::condition_variable& wake)
      : origin_(origin), wake_(wake) {}

  void Sleep(std::unique_lock<std::mutex>& lock, std::optional<MidiMicros> due) override {
    if (due) {
      wake_.wait_until(lock, origin_ + *due);
    } else {
      wake_.wait(lock);
    }
  }

 private:
  const std::chrono::steady_clock::time_point origin_;
  std::condition_variable& wake_;
};

}  // namespace

MidiMicros SteadyMidiClock::Now() const {
  return std::chrono::duration_cast<MidiMicros>(std::chrono::steady_clock::now() - origin_);
}

std::unique_ptr<IMidiSleeper> SteadyMidiClock::MakeSleeper(std::condition_variable& wake,
                                                           std::mutex&) {
  return std::make_unique<SteadySleeper>(origin_, wake);
}

SteadyMidiClock& SystemMidiClock() {
  static SteadyMidiClock clock;
  return clock;
}

}  // namespace brondel::platform
