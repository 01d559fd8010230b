// MIDI input: the queue from a device's thread to the input's, and the input service over fake
// devices: messages in order with their times on the input's own thread, a burst too large for
// the queue counted, a device that goes away reported once, opening and closing refusals, and no
// callback after a close.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/midi/input/input_device.h"
#include "platform/midi/input/input_queue.h"
#include "platform/midi/jack/jack_input.h"
#include "platform/midi/testing/midi_testing.h"

namespace brondel::platform {
namespace {

using namespace std::chrono_literals;

MidiMessage NoteOn(int key) {
  return MidiMessage{{0x90, static_cast<std::uint8_t>(key), 100}, 3};
}

TEST(InputQueue, KeepsOrderAcrossTheRingsEndAndDropsWhatAFullQueueCannotHold) {
  TInputQueue queue(3);
  EXPECT_EQ(queue.Capacity(), 4u);
  TInputQueue::Entry entry;
  EXPECT_FALSE(queue.Pop(entry));
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(queue.Push(NoteOn(round * 4 + i), round * 4 + i));
    EXPECT_FALSE(queue.Push(NoteOn(99), 99)) << "full";
    for (int i = 0; i < 4; ++i) {
      ASSERT_TRUE(queue.Pop(entry));
      EXPECT_EQ(entry.time, round * 4 + i);
      EXPECT_EQ(entry.message, NoteOn(round * 4 + i));
    }
    EXPECT_FALSE(queue.Pop(entry));
  }
  EXPECT_EQ(queue.Dropped(), 3u);
}

TEST(InputQueue, HandsEveryMessageOverBetweenTwoThreadsAndWakesTheTaker) {
  TInputQueue queue(64);
  constexpr int kCount = 200'000;
  std::thread pusher([&] {
    for (int i = 0; i < kCount; ++i) {
      while (!queue.Push(NoteOn(i % 128), i)) std::this_thread::yield();
    }
  });
  int expected = 0;
  TInputQueue::Entry entry;
  while (expected < kCount) {
    queue.Wait(std::chrono::steady_clock::now() + 1s);
    while (queue.Pop(entry)) ASSERT_EQ(entry.time, expected++);
  }
  pusher.join();
  EXPECT_FALSE(queue.Pop(entry));
}

TEST(InputQueue, AWaitEndsAtItsTimeOrAtAWake) {
  TInputQueue queue(4);
  const auto start = std::chrono::steady_clock::now();
  queue.Wait(start + 30ms);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
  std::thread waker([&] {
    std::this_thread::sleep_for(20ms);
    queue.Wake();
  });
  const auto woken = std::chrono::steady_clock::now();
  queue.Wait(woken + 10s);
  EXPECT_LT(std::chrono::steady_clock::now() - woken, 5s);
  waker.join();
  ASSERT_TRUE(queue.Push(NoteOn(60), 1));
  const auto ready = std::chrono::steady_clock::now();
  queue.Wait(ready + 10s);
  EXPECT_LT(std::chrono::steady_clock::now() - ready, 1s) << "an entry waiting: no sleep";
}

TEST(InputFilter, PassesShortMessagesButNotSystemExclusiveClockOrSensing) {
  const auto passes = [](std::vector<std::uint8_t> bytes) {
    return PassedOnInput(bytes.data(), bytes.size());
  };
  EXPECT_TRUE(passes({0x90, 60, 100}));
  EXPECT_TRUE(passes({0xC3, 5}));
  EXPECT_TRUE(passes({0xFA})) << "start";
  EXPECT_TRUE(passes({0xF2, 1, 2})) << "song position";
  EXPECT_FALSE(passes({}));
  EXPECT_FALSE(passes({0x90, 60})) << "too short";
  EXPECT_FALSE(passes({0xC3, 5, 6})) << "too long";
  EXPECT_FALSE(passes({0x90, 60, 128})) << "a status byte as data";
  EXPECT_FALSE(passes({60, 100})) << "running status";
  EXPECT_FALSE(passes({0xF8}));
  EXPECT_FALSE(passes({0xFE}));
  EXPECT_FALSE(passes({0xF0, 1, 0xF7}));
  EXPECT_FALSE(passes({0x90, 60, 100, 0}));
}

// What an input's callbacks were given, and on which thread.
class TListener {
 public:
  TInputCallbacks Callbacks() {
    return {[this](const TInputMessage& message) {
              const std::lock_guard lock(mutex_);
              messages_.push_back(message);
              threads_.push_back(std::this_thread::get_id());
              changed_.notify_all();
            },
            [this](const std::string& reason) {
              const std::lock_guard lock(mutex_);
              lost_.push_back(reason);
              changed_.notify_all();
            }};
  }
  /// Waits until `count` messages have come (at most 10 s).
  std::vector<TInputMessage> Messages(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, 10s, [&] { return messages_.size() >= count; });
    return messages_;
  }
  std::vector<std::string> Lost(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, 10s, [&] { return lost_.size() >= count; });
    return lost_;
  }
  std::vector<std::thread::id> Threads() {
    const std::lock_guard lock(mutex_);
    return threads_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<TInputMessage> messages_;
  std::vector<std::thread::id> threads_;
  std::vector<std::string> lost_;
};

std::chrono::steady_clock::time_point At(std::int64_t micros) {
  return std::chrono::steady_clock::time_point(std::chrono::microseconds(micros));
}

// A JACK keyboard that closes disconnects its port a moment before the port goes; the watch
// that falls between the two must not report the going as a disconnection.
TEST(JackInputGoneReason, ADisconnectionCountsOnlyWhenTheNextWatchFindsItStill) {
  bool before = false;
  const TJackSourceWatch fine{false, true, true};
  const TJackSourceWatch disconnected{false, true, false};
  const TJackSourceWatch portGone{false, false, false};
  const TJackSourceWatch serverGone{true, true, true};
  EXPECT_EQ(JackInputGoneReason("keys:out", fine, before), "");
  EXPECT_EQ(JackInputGoneReason("keys:out", disconnected, before), "");
  EXPECT_EQ(JackInputGoneReason("keys:out", portGone, before), "keys:out has gone");

  before = false;
  EXPECT_EQ(JackInputGoneReason("keys:out", disconnected, before), "");
  EXPECT_EQ(JackInputGoneReason("keys:out", disconnected, before),
            "keys:out is no longer connected");

  before = false;  // re-patched between two watches: nothing has gone
  EXPECT_EQ(JackInputGoneReason("keys:out", disconnected, before), "");
  EXPECT_EQ(JackInputGoneReason("keys:out", fine, before), "");
  EXPECT_EQ(JackInputGoneReason("keys:out", disconnected, before), "");

  EXPECT_EQ(JackInputGoneReason("keys:out", serverGone, before), "the JACK server has stopped");
  EXPECT_EQ(JackInputGoneReason("keys:out", portGone, before), "keys:out has gone");
}

TEST(MidiInputService, ListsItsDevicesAndDeliversEachMessageInOrderWithItsTime) {
  auto keys = std::make_shared<FakeMidiInputDevice>("Keys");
  auto pads = std::make_shared<FakeMidiInputDevice>("Pads");
  const auto service = MakeMidiInputService({keys, pads});
  EXPECT_EQ(service->InputDeviceNames(), (std::vector<std::string>{"Keys", "Pads"}));
  TListener listener;
  MidiInputHandle handle = 0;
  ASSERT_EQ(service->OpenInput(1, listener.Callbacks(), &handle), kMidiNoError);
  EXPECT_NE(handle, 0u);
  EXPECT_TRUE(pads->IsOpen());
  EXPECT_FALSE(keys->IsOpen());
  constexpr int kCount = 3000;
  for (int i = 0; i < kCount; ++i) {
    ASSERT_TRUE(pads->Receive({0x90, static_cast<std::uint8_t>(i % 128), 1}, 1000 + i));
    if (i % 500 == 0) std::this_thread::sleep_for(2ms);
  }
  ASSERT_TRUE(pads->Receive({0xF8}, 0)) << "a clock tick is not passed on";
  ASSERT_TRUE(pads->Receive({0x80, 5, 0}, 9000));
  const auto messages = listener.Messages(kCount + 1);
  ASSERT_EQ(messages.size(), kCount + 1u);
  for (int i = 0; i < kCount; ++i) {
    EXPECT_EQ(messages[i].message, (MidiMessage{{0x90, static_cast<std::uint8_t>(i % 128), 1}, 3}));
    EXPECT_EQ(messages[i].time, At(1000 + i));
  }
  EXPECT_EQ(messages.back().message, (MidiMessage{{0x80, 5, 0}, 3}));
  for (const auto thread : listener.Threads()) EXPECT_NE(thread, std::this_thread::get_id());
  EXPECT_EQ(service->CloseInput(handle), kMidiNoError);
  EXPECT_FALSE(pads->IsOpen());
  EXPECT_FALSE(pads->Receive({0x90, 1, 1}, 1)) << "closed";
  EXPECT_EQ(service->CloseInput(handle), kMidiInvalidHandle);
}

TEST(MidiInputService, RefusesABadIdASecondOpenAndSaysWhyADeviceWouldNotOpen) {
  auto keys = std::make_shared<FakeMidiInputDevice>("Keys");
  const auto service = MakeMidiInputService({keys});
  TListener listener;
  MidiInputHandle handle = 0;
  EXPECT_EQ(service->OpenInput(1, listener.Callbacks(), &handle), kMidiBadDeviceId);
  EXPECT_EQ(service->ErrorText(kMidiBadDeviceId), "No MIDI input device has this device id.");
  keys->FailOpen(kMidiNotEnabled, "JACK server \"x\" is not running (status 0x11)");
  EXPECT_EQ(service->OpenInput(0, listener.Callbacks(), &handle), kMidiNotEnabled);
  EXPECT_EQ(service->ErrorText(kMidiNotEnabled),
            "The MIDI driver could not open the input device: JACK server \"x\" is not running "
            "(status 0x11).");
  ASSERT_EQ(service->OpenInput(0, listener.Callbacks(), &handle), kMidiNoError);
  MidiInputHandle second = 0;
  EXPECT_EQ(service->OpenInput(0, listener.Callbacks(), &second), kMidiAllocated);
  EXPECT_EQ(second, 0u);
  EXPECT_EQ(service->ErrorText(kMidiNotEnabled), "The MIDI driver could not open the input device.")
      << "the reason belongs to the last failure only";
  EXPECT_EQ(service->OpenInput(0, listener.Callbacks(), nullptr), kMidiInvalidParam);
  EXPECT_EQ(service->CloseInput(handle), kMidiNoError);
  EXPECT_EQ(service->OpenInput(0, listener.Callbacks(), &handle), kMidiNoError) << "free again";
}

TEST(MidiInputService, ADeviceThatGoesIsReportedOnceAndTheInputStaysOpen) {
  auto keys = std::make_shared<FakeMidiInputDevice>("Keys");
  const auto service = MakeMidiInputService({keys}, {16, 5ms});
  TListener listener;
  MidiInputHandle handle = 0;
  ASSERT_EQ(service->OpenInput(0, listener.Callbacks(), &handle), kMidiNoError);
  ASSERT_TRUE(keys->Receive({0x90, 60, 100}, 1));
  EXPECT_EQ(listener.Messages(1).size(), 1u);
  keys->Disappear("Keys has gone");
  EXPECT_EQ(listener.Lost(1), (std::vector<std::string>{"Keys has gone"}));
  const int asked = keys->GoneAsked();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(listener.Lost(1).size(), 1u) << "once";
  EXPECT_EQ(keys->GoneAsked(), asked) << "not asked again once gone";
  EXPECT_EQ(service->CloseInput(handle), kMidiNoError);
}

TEST(MidiInputService, ABurstBeyondTheQueueIsCountedAsLostWhenTheInputCloses) {
  auto keys = std::make_shared<FakeMidiInputDevice>("Keys");
  const auto service = MakeMidiInputService({keys}, {8, 250ms});
  std::mutex gate;
  std::unique_lock held(gate);
  std::atomic<int> received{0};
  TInputCallbacks callbacks;
  callbacks.message = [&](const TInputMessage&) {
    const std::lock_guard wait(gate);  // the input's thread is held up here
    ++received;
  };
  MidiInputHandle handle = 0;
  ASSERT_EQ(service->OpenInput(0, callbacks, &handle), kMidiNoError);
  int refused = 0;
  for (int i = 0; i < 100; ++i) refused += keys->Receive({0x90, 60, 100}, i) ? 0 : 1;
  EXPECT_GE(refused, 100 - 8 - 1);
  held.unlock();
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(service->CloseInput(handle), kMidiMessagesLost);
  EXPECT_EQ(service->ErrorText(kMidiMessagesLost),
            "Some MIDI messages were lost: they came faster than the input could take them.");
  EXPECT_EQ(received.load(), 100 - refused);
}

TEST(MidiInputService, NoCallbackRunsOnceTheInputIsClosed) {
  auto keys = std::make_shared<FakeMidiInputDevice>("Keys");
  const auto service = MakeMidiInputService({keys});
  for (int round = 0; round < 20; ++round) {
    std::atomic<bool> closed{false};
    std::atomic<int> late{0};
    TInputCallbacks callbacks;
    callbacks.message = [&](const TInputMessage&) {
      if (closed.load()) ++late;
    };
    MidiInputHandle handle = 0;
    ASSERT_EQ(service->OpenInput(0, callbacks, &handle), kMidiNoError);
    std::atomic<bool> stop{false};
    std::thread player([&] {
      for (int i = 0; !stop.load(); ++i) keys->Receive({0x90, 60, 100}, i);
    });
    std::this_thread::sleep_for(1ms);
    service->CloseInput(handle);
    closed.store(true);
    std::this_thread::sleep_for(2ms);
    stop.store(true);
    player.join();
    EXPECT_EQ(late.load(), 0);
  }
}

}  // namespace
}  // namespace brondel::platform
