#include "platform/midi/testing/recording_device.h"

#include "platform/midi/engine/stream_events.h"

namespace brondel::platform {

RecordingMidiDevice::RecordingMidiDevice(std::string name, IMidiClock& clock)
    : name_(std::move(name)), clock_(clock) {}

MidiResult RecordingMidiDevice::Open() {
  std::lock_guard guard(mutex_);
  open_ = true;
  return kMidiNoError;
}

bool RecordingMidiDevice::IsOpen() const {
  std::lock_guard guard(mutex_);
  return open_;
}

void RecordingMidiDevice::Send(const MidiMessage& message, MidiMicros due) {
  std::lock_guard guard(mutex_);
  Record(message, due, false);
}

void RecordingMidiDevice::Silence(std::span<const MidiMessage> endings) {
  std::lock_guard guard(mutex_);
  const MidiMicros now = clock_.Now();
  for (const MidiMessage& message : endings) Record(message, now, true);
  ++silenceCount_;
}

MidiResult RecordingMidiDevice::Close() {
  std::lock_guard guard(mutex_);
  open_ = false;
  return kMidiNoError;
}

MidiResult RecordingMidiDevice::Admit(MidiCall call) {
  std::lock_guard guard(mutex_);
  if (failEverything_ != kMidiNoError) return failEverything_;
  const auto failure = failures_.find(call);
  return failure == failures_.end() ? kMidiNoError : failure->second;
}

MidiMicros RecordingMidiDevice::OutputLatency() const {
  std::lock_guard guard(mutex_);
  return latency_;
}

void RecordingMidiDevice::SetOutputLatency(MidiMicros latency) {
  std::lock_guard guard(mutex_);
  latency_ = latency;
}

void RecordingMidiDevice::FailCall(MidiCall call, MidiResult code) {
  std::lock_guard guard(mutex_);
  failures_[call] = code;
}

void RecordingMidiDevice::FailEveryCall(MidiResult code) {
  std::lock_guard guard(mutex_);
  failEverything_ = code;
  if (code == kMidiNoError) failures_.clear();
}

std::vector<RecordedMessage> RecordingMidiDevice::Messages() const {
  std::lock_guard guard(mutex_);
  return messages_;
}

int RecordingMidiDevice::SilenceCount() const {
  std::lock_guard guard(mutex_);
  return silenceCount_;
}

void RecordingMidiDevice::ClearRecording() {
  std::lock_guard guard(mutex_);
  messages_.clear();
  silenceCount_ = 0;
}

void RecordingMidiDevice::SetTakesBack(bool takesBack) {
  std::lock_guard guard(mutex_);
  takesBack_ = takesBack;
}

void RecordingMidiDevice::Retract() {
  std::lock_guard guard(mutex_);
  if (!takesBack_) return;
  const MidiMicros now = clock_.Now();
  std::erase_if(messages_, [&](const RecordedMessage& m) {
    return !m.silencing && !EndsANote(m.message) && (m.sent == now || m.due + latency_ > now);
  });
}

void RecordingMidiDevice::Record(const MidiMessage& message, MidiMicros due, bool silencing) {
  messages_.push_back({due, clock_.Now(), message, silencing});
}

}  // namespace brondel::platform
