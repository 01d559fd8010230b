// An input device the test plays by hand: each message pushed from the test's thread with the
// time it is to carry, a failure to open, the device going away.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi/testing/midi_testing.h."
#endif

#include <atomic>
#include <mutex>
#include <string>

#include "platform/midi/input/input_device.h"

namespace brondel::platform {

class FakeMidiInputDevice final : public IMidiInputDevice {
 public:
  explicit FakeMidiInputDevice(std::string name) : name_(std::move(name)) {}

  std::string Name() const override { return name_; }
  MidiResult Open(TInputQueue& queue) override;
  std::string FailureReason() const override { return failure_; }
  std::string Gone() override;
  /// `time` is microseconds from the steady clock's epoch.
  std::chrono::steady_clock::time_point TimeOf(std::int64_t time) const override;
  void Close() override;

  /// The next Open fails with `code` and `reason`.
  void FailOpen(MidiResult code, std::string reason);
  /// Receives a message (bytes as the wire has them) at `micros`, as the device's own thread
  /// would: what PassedOnInput refuses is not queued. False when the device is closed, gone, or
  /// the queue was full. One thread at a time.
  bool Receive(std::initializer_list<std::uint8_t> bytes, std::int64_t micros);
  /// From now on the device is gone, for `reason`, and receives nothing.
  void Disappear(std::string reason);
  /// How many times Gone was asked.
  int GoneAsked() const { return goneAsked_.load(); }
  bool IsOpen() const;

 private:
  const std::string name_;
  mutable std::mutex mutex_;  // guards every member below but the counter
  TInputQueue* queue_ = nullptr;
  MidiResult failCode_ = kMidiNoError;
  std::string failure_;
  std::string gone_;
  std::atomic<int> goneAsked_{0};
};

}  // namespace brondel::platform
