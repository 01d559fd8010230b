#include "platform/midi/input/input_queue.h"

#include <cerrno>
#include <ctime>

namespace brondel::platform {
namespace {

std::size_t PowerOfTwoAtLeast(std::size_t size) {
  std::size_t power = 1;
  while (power < size) power <<= 1;
  return power;
}

// `until` on the steady clock as the monotonic clock's timespec (the steady clock is the
// monotonic clock on the systems we build for).
timespec MonotonicTime(std::chrono::steady_clock::time_point until) {
  const auto since = until.time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
  timespec time{};
  time.tv_sec = static_cast<time_t>(seconds.count());
  time.tv_nsec = static_cast<long>(std::chrono::nanoseconds(since - seconds).count());
  return time;
}

}  // namespace

TInputQueue::TInputQueue(std::size_t capacity)
    : entries_(PowerOfTwoAtLeast(capacity)), mask_(entries_.size() - 1) {
  sem_init(&ready_, 0, 0);
}

TInputQueue::~TInputQueue() {
  sem_destroy(&ready_);
}

bool TInputQueue::Push(const MidiMessage& message, std::int64_t time) {
  const std::uint64_t pushed = pushed_.load(std::memory_order_relaxed);
  if (pushed - popped_.load(std::memory_order_acquire) == entries_.size()) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  entries_[pushed & mask_] = {message, time};
  // Sequentially consistent with the taker's flag and count: either it sees this entry before it
  // sleeps, or this push sees it sleeping and posts.
  pushed_.store(pushed + 1);
  if (sleeping_.exchange(false)) sem_post(&ready_);
  return true;
}

bool TInputQueue::Pop(Entry& entry) {
  const std::uint64_t popped = popped_.load(std::memory_order_relaxed);
  if (popped == pushed_.load(std::memory_order_acquire)) return false;
  entry = entries_[popped & mask_];
  popped_.store(popped + 1, std::memory_order_release);
  return true;
}

void TInputQueue::Wait(std::chrono::steady_clock::time_point until) {
  sleeping_.store(true);
  if (popped_.load(std::memory_order_relaxed) != pushed_.load()) {
    sleeping_.store(false);
    return;
  }
  const timespec deadline = MonotonicTime(until);
  while (sem_clockwait(&ready_, CLOCK_MONOTONIC, &deadline) != 0 && errno == EINTR) {
  }
  sleeping_.store(false);
  // A post that came after the wait ended is taken now, so the next wait sleeps.
  while (sem_trywait(&ready_) == 0) {
  }
}

void TInputQueue::Wake() {
  sleeping_.store(false);
  sem_post(&ready_);
}

}  // namespace brondel::platform
