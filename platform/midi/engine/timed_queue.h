// Messages on their way from a stream's thread to a real-time thread (an audio callback, JACK's
// process callback), each with the time it is meant for. Neither side ever blocks or allocates,
// as a real-time thread must not.
//
// Threads: one producer and one consumer. Push and MarkStale belong to the producer; Front,
// IsStale and Pop to the consumer. The producer may be more than one thread (a device's Send on
// the stream's thread, its Silence on Stop's caller) as long as their calls never overlap and a
// lock orders them: the stream engine makes every call into a device under the stream's mutex,
// whose release and acquire also make each push visible to the next producer.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/midi_service.h"

namespace brondel::platform {

class TimedMessageQueue {
 public:
  struct Entry {
    std::int64_t time = 0;  // in the owner's unit; what it means is the owner's business
    std::uint32_t generation = 0;
    MidiMessage message;
  };

  /// Room for `capacity` entries (rounded up to a power of two).
  explicit TimedMessageQueue(std::size_t capacity);

  /// Adds a message at the back; false (and nothing added) when the queue is full.
  bool Push(const MidiMessage& message, std::int64_t time);
  /// Marks every entry pushed so far as stale: the taker drops it, or treats it apart.
  void MarkStale() { generation_.fetch_add(1, std::memory_order_release); }
  /// The entry at the front, or nullptr when the queue is empty (taking thread only).
  const Entry* Front() const;
  /// True when `entry` was pushed before the last MarkStale.
  bool IsStale(const Entry& entry) const;
  /// Removes the front entry (taking thread only).
  void Pop() { head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

 private:
  std::vector<Entry> entries_;
  std::size_t mask_;
  std::atomic<std::size_t> head_{0};  // next entry to take
  std::atomic<std::size_t> tail_{0};  // next free place
  std::atomic<std::uint32_t> generation_{0};
};

}  // namespace brondel::platform
