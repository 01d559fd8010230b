// Helpers of the platform tests: a stream-event buffer written the way it reads (delta, status,
// data bytes), readable printing of MIDI messages, and a fixture with a recording device on a
// manual clock behind the service.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/midi/testing/midi_testing.h"

namespace brondel::platform {

/// One stream event as a test writes it.
struct TestEvent {
  std::uint32_t delta;
  std::uint8_t status;
  std::uint8_t data1;
  std::uint8_t data2;
};

/// The 12-byte records of `events`: delta, stream id 0, status + data1 * 256 + data2 * 65536.
inline std::vector<std::uint8_t> StreamBuffer(std::initializer_list<TestEvent> events) {
  std::vector<std::uint8_t> bytes;
  for (const TestEvent& event : events) {
    const std::uint32_t words[] = {
        event.delta, 0,
        static_cast<std::uint32_t>(event.status | event.data1 << 8 | event.data2 << 16)};
    for (std::uint32_t word : words) {
      for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>(word >> shift));
      }
    }
  }
  return bytes;
}

/// A message as written in tests: Msg(0x99, 36, 100).
inline MidiMessage Msg(std::uint8_t status, std::uint8_t data1, std::uint8_t data2 = 0) {
  const bool oneDataByte = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0;
  return {{status, data1, oneDataByte ? std::uint8_t{0} : data2},
          static_cast<std::uint8_t>(oneDataByte ? 2 : 3)};
}

inline void PrintTo(const MidiMessage& message, std::ostream* out) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X %02X %02X", message.bytes[0], message.bytes[1],
                message.bytes[2]);
  *out << std::string(text, message.size == 2 ? 5u : 8u);
}

inline void PrintTo(const RecordedMessage& recorded, std::ostream* out) {
  PrintTo(recorded.message, out);
  *out << " due " << recorded.due.count() << "us sent " << recorded.sent.count() << "us";
}

/// Counts buffer-done notices and remembers whether one came on the calling thread.
class DoneCounter {
 public:
  std::function<void()> Notifier() {
    return [this] {
      std::lock_guard guard(mutex_);
      ++count_;
      onCallerThread_ = onCallerThread_ || std::this_thread::get_id() == caller_;
      changed_.notify_all();
    };
  }
  int Count() const {
    std::lock_guard guard(mutex_);
    return count_;
  }
  bool CameOnCallerThread() const {
    std::lock_guard guard(mutex_);
    return onCallerThread_;
  }
  /// Waits (real time) until `count` notices have come; false after `timeout`.
  bool WaitFor(int count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return count_ >= count; });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
  bool onCallerThread_ = false;
  const std::thread::id caller_ = std::this_thread::get_id();
};

/// A service over one recording device on a manual clock, with one stream open on it.
class RecordedStreamTest : public ::testing::Test {
 public:
  void SetUp() override {
    service->SetBufferDoneNotifier(done.Notifier());
    ASSERT_EQ(service->StreamOpen(&handle, 0), kMidiNoError);
  }

  /// Sets the division, then prepares, queues and starts `buffer` under `header`.
  void Play(const std::vector<std::uint8_t>& buffer, std::uint32_t division) {
    ASSERT_EQ(service->StreamSetTimeDivision(handle, division), kMidiNoError);
    ASSERT_EQ(Queue(buffer, header), kMidiNoError);
    ASSERT_EQ(service->StreamRestart(handle), kMidiNoError);
  }

  /// Prepares and queues `buffer` under `target`; the result of the queueing.
  MidiResult Queue(const std::vector<std::uint8_t>& buffer, TMidiHeader& target) {
    target = {buffer.data(), static_cast<std::uint32_t>(buffer.size()),
              static_cast<std::uint32_t>(buffer.size()), 0};
    const MidiResult prepared = service->PrepareHeader(handle, &target);
    return prepared != kMidiNoError ? prepared : service->StreamOut(handle, &target);
  }

  /// Moves the clock to `time` since its start, letting everything due until then happen.
  void AdvanceTo(MidiMicros time) { clock.Advance(time - clock.Now()); }

  std::vector<MidiMessage> SentMessages() const {
    std::vector<MidiMessage> messages;
    for (const RecordedMessage& recorded : recorder->Messages()) {
      messages.push_back(recorded.message);
    }
    return messages;
  }

  ManualMidiClock clock;
  std::shared_ptr<RecordingMidiDevice> recorder =
      std::make_shared<RecordingMidiDevice>("Recorder", clock);
  DoneCounter done;  // outlives the service, whose threads call it until they end
  std::unique_ptr<IMidiService> service = MakeMidiService({recorder});
  MidiStreamHandle handle = 0;
  TMidiHeader header;
};

}  // namespace brondel::platform
