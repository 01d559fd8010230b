#include "platform/midi/engine/timed_queue.h"

#include "platform/midi/engine/stream_events.h"

namespace brondel::platform {

// One block of entries. The producer fills it from the front and publishes each entry through
// `written`; once it is full, `next` leads to the block filled after it.
struct TimedMessageQueue::Block {
  explicit Block(std::size_t size) : entries(size) {}

  std::vector<Entry> entries;
  std::atomic<std::size_t> written{0};
  std::atomic<Block*> next{nullptr};
};

TimedMessageQueue::TimedMessageQueue(std::size_t blockEntries)
    : blockEntries_(blockEntries > 0 ? blockEntries : 1) {
  blocks_.push_back(std::make_unique<Block>(blockEntries_));
  tail_ = oldest_ = head_ = blocks_.back().get();
  taking_.store(head_, std::memory_order_relaxed);
}

TimedMessageQueue::~TimedMessageQueue() = default;

void TimedMessageQueue::Push(const MidiMessage& message, std::int64_t time) {
  std::size_t index = tail_->written.load(std::memory_order_relaxed);
  if (index == blockEntries_) {
    Block* fresh = FreshBlock();
    tail_->next.store(fresh, std::memory_order_release);
    tail_ = fresh;
    index = 0;
  }
  tail_->entries[index] = {time, generation_.load(std::memory_order_relaxed), message};
  tail_->written.store(index + 1, std::memory_order_release);
  ++pushed_;
}

TimedMessageQueue::Block* TimedMessageQueue::FreshBlock() {
  // The taker has moved past every block before the one it reads: the oldest of those can be
  // filled again. Its acquire pairs with the taker's release, so the taker is done reading it.
  if (oldest_ != taking_.load(std::memory_order_acquire)) {
    Block* reused = oldest_;
    oldest_ = reused->next.load(std::memory_order_relaxed);
    reused->written.store(0, std::memory_order_relaxed);
    reused->next.store(nullptr, std::memory_order_relaxed);
    return reused;
  }
  blocks_.push_back(std::make_unique<Block>(blockEntries_));
  return blocks_.back().get();
}

const TimedMessageQueue::Entry* TimedMessageQueue::Front() {
  if (headIndex_ == blockEntries_) {
    Block* next = head_->next.load(std::memory_order_acquire);
    if (next == nullptr) return nullptr;
    head_ = next;
    headIndex_ = 0;
    taking_.store(head_, std::memory_order_release);
  }
  if (headIndex_ == head_->written.load(std::memory_order_acquire)) return nullptr;
  return &head_->entries[headIndex_];
}

const TimedMessageQueue::Entry* TimedMessageQueue::FrontToPlay(bool& atOnce) {
  while (const Entry* entry = Front()) {
    atOnce = IsStale(*entry);
    if (!atOnce || EndsANote(entry->message)) return entry;
    Pop();
  }
  return nullptr;
}

void TimedMessageQueue::Pop() {
  ++headIndex_;
  popped_.store(popped_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

bool TimedMessageQueue::IsStale(const Entry& entry) const {
  // Compared as a difference, so that the counter may wrap.
  const auto age = generation_.load(std::memory_order_acquire) - entry.generation;
  return static_cast<std::int32_t>(age) > 0;
}

}  // namespace brondel::platform
