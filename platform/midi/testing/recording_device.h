// A device for tests and measurements, never listed to users: it records every message with its
// time on the clock it is given, and can be told to refuse any stream call with a chosen code.
//
//   ManualMidiClock clock;                         // or SystemMidiClock() for real time
//   auto recorder = std::make_shared<RecordingMidiDevice>("Recorder", clock);
//   auto service = MakeMidiService({recorder});
//   ... StreamOpen, PrepareHeader, StreamOut, StreamRestart ...
//   clock.Advance(std::chrono::milliseconds(5));  // returns once the due messages were sent
//   recorder->Messages();
//   recorder->FailCall(MidiCall::kPrepare, kMidiNotReady);  // or FailEveryCall(kMidiError)
//
// Threads: every member is safe from any thread; mutex_ guards all the device's state.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi/testing/midi_testing.h."
#endif

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/midi/engine/midi_device.h"

namespace brondel::platform {

/// One message as the recording device received it.
struct RecordedMessage {
  MidiMicros due{0};   // when the engine meant it to sound (on the device's clock)
  MidiMicros sent{0};  // the clock's time when it arrived
  MidiMessage message;
  bool silencing = false;  // recorded by Silence (an ending), not by Send
};

class RecordingMidiDevice final : public IMidiDevice {
 public:
  /// A device shown as `name`, timed on `clock`, which must outlive it.
  RecordingMidiDevice(std::string name, IMidiClock& clock);

  std::string Name() const override { return name_; }
  MidiResult Open() override;
  bool IsOpen() const override;
  void Send(const MidiMessage& message, MidiMicros due) override;
  /// Records the endings (due now) and counts the call.
  void Silence(std::span<const MidiMessage> endings) override;
  MidiResult Close() override;
  IMidiClock& Clock() override { return clock_; }
  MidiResult Admit(MidiCall call) override;
  /// 0 unless a test sets another.
  MidiMicros OutputLatency() const override;

  /// The latency the device reports from now on, as a device that sounds later would.
  void SetOutputLatency(MidiMicros latency);
  /// Retract takes back, as a device with a queue does, every message sent that does not end a
  /// note and has not been played: one that would sound (its due time plus the latency) after
  /// now, or that arrived just now (a queue plays it at its next period). Off unless a test
  /// turns it on; then Messages no longer has those.
  void SetTakesBack(bool takesBack);
  void Retract() override;
  /// Every later `call` fails with `code`; a code of 0 lets it succeed again.
  void FailCall(MidiCall call, MidiResult code);
  /// Every later call of any kind fails with `code`; 0 clears every failure.
  void FailEveryCall(MidiResult code);
  /// The messages received so far, in order.
  std::vector<RecordedMessage> Messages() const;
  /// How often Silence was called.
  int SilenceCount() const;
  /// Forgets the messages and the Silence count.
  void ClearRecording();

 private:
  void Record(const MidiMessage& message, MidiMicros due, bool silencing);

  const std::string name_;
  IMidiClock& clock_;
  mutable std::mutex mutex_;  // guards every member below
  bool open_ = false;
  std::map<MidiCall, MidiResult> failures_;
  MidiResult failEverything_ = kMidiNoError;
  std::vector<RecordedMessage> messages_;
  bool takesBack_ = false;
  int silenceCount_ = 0;
  MidiMicros latency_{0};
};

}  // namespace brondel::platform
