// The pieces between the stream's thread and an audio thread: the queue that hands messages over
// without blocking, and the loop that learns where the audio buffers fall in time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

#include "platform/midi/engine/stream_events.h"
#include "platform/midi/engine/timed_queue.h"
#include "platform/midi/synth/buffer_clock.h"
#include "tests/platform/stream_test_support.h"

namespace brondel::platform {
namespace {

std::vector<std::int64_t> TakeTimes(TimedMessageQueue& queue) {
  std::vector<std::int64_t> times;
  while (const TimedMessageQueue::Entry* entry = queue.Front()) {
    times.push_back(entry->time);
    queue.Pop();
  }
  return times;
}

TEST(TimedMessageQueue, NeverRefusesAndHandsEverythingOverInOrder) {
  // A burst far beyond one block waits in order: nothing is refused or dropped.
  TimedMessageQueue queue(4);
  for (std::int64_t time = 0; time < 3000; ++time) queue.Push(Msg(0x99, 61, 0), time);
  EXPECT_EQ(queue.Pending(), 3000u);
  std::vector<std::int64_t> wanted(3000);
  for (std::size_t i = 0; i < wanted.size(); ++i) wanted[i] = static_cast<std::int64_t>(i);
  EXPECT_EQ(TakeTimes(queue), wanted);
  EXPECT_EQ(queue.Pending(), 0u);
  EXPECT_EQ(queue.Front(), nullptr);
}

TEST(TimedMessageQueue, BlocksLeftBehindAreFilledAgainInOrder) {
  // Pushes and pops that run on past many blocks, the taker a little behind: the blocks it has
  // finished with are filled again, and the order never breaks.
  TimedMessageQueue queue(3);
  std::int64_t pushed = 0;
  std::int64_t taken = 0;
  for (int round = 0; round < 1000; ++round) {
    for (int i = 0; i < 1 + round % 7; ++i) queue.Push(Msg(0x90, 60, 100), pushed++);
    for (int i = 0; i < 1 + (round + 3) % 7; ++i) {
      const TimedMessageQueue::Entry* entry = queue.Front();
      if (entry == nullptr) break;
      ASSERT_EQ(entry->time, taken++);
      queue.Pop();
    }
  }
  for (const std::int64_t time : TakeTimes(queue)) ASSERT_EQ(time, taken++);
  EXPECT_EQ(taken, pushed);
}

TEST(TimedMessageQueue, ATakerOnAnotherThreadGetsEveryEntryInOrder) {
  TimedMessageQueue queue(16);
  constexpr std::int64_t kCount = 200'000;
  std::thread taker([&queue] {
    std::int64_t next = 0;
    while (next < kCount) {
      const TimedMessageQueue::Entry* entry = queue.Front();
      if (entry == nullptr) {
        std::this_thread::yield();
        continue;
      }
      ASSERT_EQ(entry->time, next);
      ++next;
      queue.Pop();
    }
  });
  for (std::int64_t time = 0; time < kCount; ++time) queue.Push(Msg(0x90, 60, 100), time);
  taker.join();
  EXPECT_EQ(queue.Pending(), 0u);
}

TEST(TimedMessageQueue, MarkStaleTouchesOnlyWhatWasQueuedBefore) {
  TimedMessageQueue queue(8);
  queue.Push(Msg(0x90, 60, 100), 10);
  queue.MarkStale();
  queue.Push(Msg(0x80, 60, 0), 0);
  ASSERT_NE(queue.Front(), nullptr);
  EXPECT_TRUE(queue.IsStale(*queue.Front()));
  queue.Pop();
  ASSERT_NE(queue.Front(), nullptr);
  EXPECT_FALSE(queue.IsStale(*queue.Front()));
  queue.MarkStale();
  EXPECT_TRUE(queue.IsStale(*queue.Front()));
}

TEST(TimedMessageQueue, FrontToPlaySkipsStaleEntriesButThoseThatEndANote) {
  TimedMessageQueue queue(2);  // small blocks: the skipping crosses them
  queue.Push(Msg(0x90, 60, 100), 10);
  queue.Push(Msg(0xB0, 7, 90), 11);
  queue.Push(Msg(0x80, 60, 0), 12);
  queue.Push(Msg(0x99, 36, 0), 13);
  queue.Push(Msg(0xC0, 5), 14);
  queue.MarkStale();
  queue.Push(Msg(0x90, 62, 100), 20);
  std::vector<std::pair<std::int64_t, bool>> played;  // time, and whether it goes at once
  bool atOnce = false;
  while (const TimedMessageQueue::Entry* entry = queue.FrontToPlay(atOnce)) {
    played.emplace_back(entry->time, atOnce);
    queue.Pop();
  }
  EXPECT_THAT(played, testing::ElementsAre(testing::Pair(12, true), testing::Pair(13, true),
                                           testing::Pair(20, false)));
  // Stale entries at the back are taken off too: nothing is left pending.
  queue.Push(Msg(0x90, 64, 100), 30);
  queue.MarkStale();
  EXPECT_EQ(queue.FrontToPlay(atOnce), nullptr);
  EXPECT_EQ(queue.Pending(), 0u);
}

TEST(TimedMessageQueue, NoteOffsAndVelocityZeroNoteOnsEndNotes) {
  EXPECT_TRUE(EndsANote(Msg(0x89, 36, 0)));
  EXPECT_TRUE(EndsANote(Msg(0x80, 60, 64)));
  EXPECT_TRUE(EndsANote(Msg(0x9A, 40, 0)));
  EXPECT_FALSE(EndsANote(Msg(0x9A, 40, 1)));
  EXPECT_FALSE(EndsANote(Msg(0xB9, 123, 0)));
  EXPECT_FALSE(EndsANote(Msg(0xC9, 0)));
}

constexpr int kFrames = 256;

TEST(BufferClock, LearnsTheTrueRateOfTheDriver) {
  // Asked for 48 kHz, the driver runs at 44.1 kHz: a buffer lasts 5805 us, not 5333 us.
  const double period = kFrames * 1e6 / 44'100;
  BufferClock clock;
  double now = 1'000'000;
  for (int i = 0; i < 600; ++i, now += period) clock.Tick(now, kFrames, 48'000);
  const double last = now - period;
  EXPECT_NEAR(clock.Period(), period, 1.0);
  EXPECT_LE(std::labs(clock.FrameAt(last + period / 2) - kFrames / 2), 1);
  EXPECT_LE(std::labs(clock.FrameAt(last + period) - kFrames), 1);
}

TEST(BufferClock, SmoothsTheJitterOfTheCallbacksAway) {
  // Callbacks come up to 800 us (38 frames) late; a moment 400 us into each buffer must keep
  // its frame (whatever the constant lateness makes it) to within a few.
  const double period = kFrames * 1e6 / 48'000;
  BufferClock clock;
  long lowest = kFrames;
  long highest = 0;
  for (int i = 0; i < 2000; ++i) {
    const double bufferStart = 1'000'000 + i * period;
    clock.Tick(bufferStart + (i * 7919 % 800), kFrames, 48'000);
    if (i < 1000) continue;
    const long frame = clock.FrameAt(bufferStart + 400);
    lowest = std::min(lowest, frame);
    highest = std::max(highest, frame);
  }
  EXPECT_LE(highest - lowest, 10);
}

TEST(BufferClock, StartsAfreshAfterAnOverrunOrANewBufferSize) {
  const double period = kFrames * 1e6 / 48'000;
  BufferClock clock;
  double now = 0;
  for (int i = 0; i < 100; ++i, now += period) clock.Tick(now, kFrames, 48'000);
  const double late = now + 50'000;
  clock.Tick(late, kFrames, 48'000);
  EXPECT_EQ(clock.FrameAt(late), 0);

  clock.Tick(late + period, 512, 48'000);
  EXPECT_DOUBLE_EQ(clock.Period(), 512 * 1e6 / 48'000);
  EXPECT_EQ(clock.FrameAt(late + period), 0);
}

}  // namespace
}  // namespace brondel::platform
