// Messages on their way from a stream's thread to a real-time thread (an audio callback, JACK's
// process callback), each with the time it is meant for. The taking side never blocks, allocates
// or frees, as a real-time thread must not; the pushing side never refuses a message: when the
// blocks it has are full it adds one (taking back first a block the taker has finished with), so
// a burst of any size waits in order instead of being dropped, and memory follows the largest
// backlog.
//
// Threads: one producer and one consumer. Push, MarkStale and Pending belong to the producer;
// FrontToPlay, Front, IsStale and Pop to the consumer. The producer may be more than one thread (a
// device's Send on the stream's thread, its Silence on Stop's caller) as long as their calls never
// overlap and a lock orders them: the stream engine makes every call into a device under the
// stream's mutex, whose release and acquire also make each push visible to the next producer. Once
// the consumer's thread has ended (its client closed), the producer's thread may take the rest
// itself.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
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

  /// Blocks of `blockEntries` entries each; the first is made now.
  explicit TimedMessageQueue(std::size_t blockEntries);
  ~TimedMessageQueue();
  TimedMessageQueue(const TimedMessageQueue&) = delete;
  TimedMessageQueue& operator=(const TimedMessageQueue&) = delete;

  /// Adds a message at the back, making room for it when the queue is full.
  void Push(const MidiMessage& message, std::int64_t time);
  /// Marks every entry pushed so far as stale: the taker drops it, or treats it apart.
  void MarkStale() { generation_.fetch_add(1, std::memory_order_release); }
  /// How many pushed entries the taker has not popped yet (producer side).
  std::uint64_t Pending() const { return pushed_ - popped_.load(std::memory_order_acquire); }
  /// The entry at the front, or nullptr when the queue is empty (taking thread only).
  const Entry* Front();
  /// True when `entry` was pushed before the last MarkStale.
  bool IsStale(const Entry& entry) const;
  /// The next entry to play, or nullptr when none is left (taking thread only): the stale entries
  /// before it that do not end a note are popped, never to be played. `atOnce` tells whether it
  /// is a stale one that ends a note, which goes at once instead of at its time.
  const Entry* FrontToPlay(bool& atOnce);
  /// Removes the front entry, which Front or FrontToPlay has just given (taking thread only).
  void Pop();

 private:
  struct Block;

  /// A block to fill next: one the taker has left behind, else a new one (producer side).
  Block* FreshBlock();

  const std::size_t blockEntries_;
  std::vector<std::unique_ptr<Block>> blocks_;  // every block made; freed with the queue
  // The producer's side: it writes into tail_, and owns the chain from oldest_ up to tail_.
  Block* tail_;
  Block* oldest_;
  std::uint64_t pushed_ = 0;
  // The consumer's side: it reads head_ at headIndex_, and says which block it is in.
  Block* head_;
  std::size_t headIndex_ = 0;
  std::atomic<Block*> taking_;
  std::atomic<std::uint64_t> popped_{0};
  std::atomic<std::uint32_t> generation_{0};
};

}  // namespace brondel::platform
