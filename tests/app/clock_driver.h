// Drives a manual MIDI clock from the window's event loop, so that a play waiting in the window
// advances through its buffer deterministically, and runs scripted user actions once their
// moment has come (each in its own event, as a user's click would be).
#pragma once

#include <QTimer>
#include <functional>
#include <vector>

#include "platform/midi/testing/midi_testing.h"

class TClockDriver {
 public:
  /// Every millisecond of real time the clock moves on by `step`.
  TClockDriver(brondel::platform::ManualMidiClock& clock, brondel::platform::MidiMicros step)
      : clock_(clock), step_(step) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start(1);
  }

  /// Runs `action` once, as soon as `when` holds after a clock step.
  void At(std::function<bool()> when, std::function<void()> action) {
    triggers_.push_back({std::move(when), std::move(action), false});
  }

  int Fired() const {
    int fired = 0;
    for (const auto& t : triggers_) fired += t.fired ? 1 : 0;
    return fired;
  }

 private:
  struct TTrigger {
    std::function<bool()> when;
    std::function<void()> action;
    bool fired;
  };

  void Tick() {
    clock_.Advance(step_);
    for (auto& trigger : triggers_) {
      if (trigger.fired || !trigger.when()) continue;
      trigger.fired = true;
      // The action may itself wait in the event loop (a nested play); a timer event of its own
      // keeps this timer free to go on ticking meanwhile.
      QTimer::singleShot(0, trigger.action);
    }
  }

  brondel::platform::ManualMidiClock& clock_;
  brondel::platform::MidiMicros step_;
  QTimer timer_;
  std::vector<TTrigger> triggers_;
};
