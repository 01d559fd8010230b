#include "platform/midi/testing/manual_clock.h"

#include <algorithm>

namespace brondel::platform {

// One stream's thread as the manual clock sees it: asleep (it has done all that is due at the
// clock's time and waits), awake, or ended. Its own flags are guarded by the stream's mutex.
class ManualMidiClock::Sleeper final : public IMidiSleeper {
 public:
  Sleeper(ManualMidiClock& clock, std::condition_variable& wake, std::mutex& mutex)
      : clock_(clock), wake_(wake), mutex_(mutex) {
    std::lock_guard guard(clock_.sleepersMutex_);
    clock_.sleepers_.push_back(this);
  }

  // Runs on the stream's thread as it ends: an Advance waiting for it stops waiting first.
  ~Sleeper() override {
    {
      std::lock_guard guard(mutex_);
      ended_ = true;
    }
    settled_.notify_all();
    std::lock_guard guard(clock_.sleepersMutex_);
    std::erase(clock_.sleepers_, this);
  }

  Sleeper(const Sleeper&) = delete;
  Sleeper& operator=(const Sleeper&) = delete;

  void Sleep(std::unique_lock<std::mutex>& lock, std::optional<MidiMicros>) override {
    asleep_ = true;
    settled_.notify_all();
    wake_.wait(lock);
    asleep_ = false;
  }

  /// Wakes the stream's thread and returns once it sleeps again, having seen the clock's new
  /// time, or has ended. Holding the stream's mutex to wake it means the thread is either asleep
  /// or has yet to read the time.
  void CatchUp() {
    std::unique_lock lock(mutex_);
    asleep_ = false;
    wake_.notify_all();
    settled_.wait(lock, [this] { return asleep_ || ended_; });
  }

 private:
  ManualMidiClock& clock_;
  std::condition_variable& wake_;
  std::mutex& mutex_;
  std::condition_variable settled_;  // CatchUp waits on it for the thread to sleep or end
  bool asleep_ = false;
  bool ended_ = false;
};

std::unique_ptr<IMidiSleeper> ManualMidiClock::MakeSleeper(std::condition_variable& wake,
                                                           std::mutex& mutex) {
  return std::make_unique<Sleeper>(*this, wake, mutex);
}

void ManualMidiClock::Advance(MidiMicros step) {
  std::lock_guard guard(sleepersMutex_);
  now_ += step.count();
  for (Sleeper* sleeper : sleepers_) sleeper->CatchUp();
}

}  // namespace brondel::platform
