#include "platform/midi/engine/timed_queue.h"

#include <bit>

namespace brondel::platform {

TimedMessageQueue::TimedMessageQueue(std::size_t capacity)
    : entries_(std::bit_ceil(capacity)), mask_(entries_.size() - 1) {}

bool TimedMessageQueue::Push(const MidiMessage& message, std::int64_t time) {
  const std::size_t tail = tail_.load(std::memory_order_relaxed);
  if (tail - head_.load(std::memory_order_acquire) >= entries_.size()) return false;
  entries_[tail & mask_] = {time, generation_.load(std::memory_order_relaxed), message};
  tail_.store(tail + 1, std::memory_order_release);
  return true;
}

const TimedMessageQueue::Entry* TimedMessageQueue::Front() const {
  const std::size_t head = head_.load(std::memory_order_relaxed);
  if (head == tail_.load(std::memory_order_acquire)) return nullptr;
  return &entries_[head & mask_];
}

bool TimedMessageQueue::IsStale(const Entry& entry) const {
  // Compared as a difference, so that the counter may wrap.
  const auto age = generation_.load(std::memory_order_acquire) - entry.generation;
  return static_cast<std::int32_t>(age) > 0;
}

}  // namespace brondel::platform
