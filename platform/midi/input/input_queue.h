// The messages of an input device on their way from the device's own thread (JACK's real-time
// process thread, RtMidi's reading thread) to the input's thread, which calls the program's
// callbacks. The pushing side never blocks, allocates or takes a lock, as a real-time thread must
// not: the queue has a fixed size, and a message that finds it full is dropped and counted (at
// 4,096 entries that takes a burst the input's thread cannot follow for a long while). A push
// wakes the taking side through a semaphore only when it sleeps; posting a semaphore takes no
// lock.
//
// Threads: one pushing thread at a time (a device has one), one taking thread.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_input.h instead."
#endif

#include <semaphore.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/midi_service.h"

namespace brondel::platform {

class TInputQueue {
 public:
  struct Entry {
    MidiMessage message;
    std::int64_t time = 0;  // in the device's own unit (TimeOf turns it into a time)
  };

  /// Room for `capacity` entries, rounded up to a power of two, all made now.
  explicit TInputQueue(std::size_t capacity);
  ~TInputQueue();
  TInputQueue(const TInputQueue&) = delete;
  TInputQueue& operator=(const TInputQueue&) = delete;

  /// Adds a message at the back and wakes the taker if it sleeps; false (the message dropped and
  /// counted) when the queue is full. Pushing side; safe on a real-time thread.
  bool Push(const MidiMessage& message, std::int64_t time);
  /// Takes the oldest entry; false when there is none. Taking side.
  bool Pop(Entry& entry);
  /// Sleeps until a push, a Wake, or `until` on the steady clock, unless an entry waits already.
  /// Taking side.
  void Wait(std::chrono::steady_clock::time_point until);
  /// Wakes the taker (to close the input). Any thread.
  void Wake();
  /// How many messages were dropped because the queue was full. Any thread.
  std::uint64_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }
  std::size_t Capacity() const { return entries_.size(); }

 private:
  std::vector<Entry> entries_;
  const std::uint64_t mask_;
  std::atomic<std::uint64_t> pushed_{0};  // written by the pusher
  std::atomic<std::uint64_t> popped_{0};  // written by the taker
  std::atomic<std::uint64_t> dropped_{0};
  std::atomic<bool> sleeping_{false};  // the taker is about to wait: the next push posts
  sem_t ready_;
};

}  // namespace brondel::platform
