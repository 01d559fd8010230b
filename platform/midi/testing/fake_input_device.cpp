#include "platform/midi/testing/fake_input_device.h"

#include <utility>
#include <vector>

namespace brondel::platform {

MidiResult FakeMidiInputDevice::Open(TInputQueue& queue) {
  const std::lock_guard lock(mutex_);
  if (failCode_ != kMidiNoError) return std::exchange(failCode_, kMidiNoError);
  failure_.clear();
  gone_.clear();
  queue_ = &queue;
  return kMidiNoError;
}

std::string FakeMidiInputDevice::Gone() {
  ++goneAsked_;
  const std::lock_guard lock(mutex_);
  return gone_;
}

std::chrono::steady_clock::time_point FakeMidiInputDevice::TimeOf(std::int64_t time) const {
  return std::chrono::steady_clock::time_point(std::chrono::microseconds(time));
}

void FakeMidiInputDevice::Close() {
  const std::lock_guard lock(mutex_);
  queue_ = nullptr;
}

void FakeMidiInputDevice::FailOpen(MidiResult code, std::string reason) {
  const std::lock_guard lock(mutex_);
  failCode_ = code;
  failure_ = std::move(reason);
}

bool FakeMidiInputDevice::Receive(std::initializer_list<std::uint8_t> bytes, std::int64_t micros) {
  const std::lock_guard lock(mutex_);
  if (queue_ == nullptr || !gone_.empty()) return false;
  const std::vector<std::uint8_t> wire(bytes);
  if (!PassedOnInput(wire.data(), wire.size())) return true;
  return queue_->Push(InputMessage(wire.data(), wire.size()), micros);
}

void FakeMidiInputDevice::Disappear(std::string reason) {
  const std::lock_guard lock(mutex_);
  gone_ = std::move(reason);
}

bool FakeMidiInputDevice::IsOpen() const {
  const std::lock_guard lock(mutex_);
  return queue_ != nullptr;
}

}  // namespace brondel::platform
