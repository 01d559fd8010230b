// The pieces between the stream's thread and an audio thread: the queue that hands messages over
// without blocking, and the loop that learns where the audio buffers fall in time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

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

TEST(TimedMessageQueue, HandsEntriesOverInOrderAndRefusesWhenFull) {
  TimedMessageQueue queue(3);  // room for 4
  for (std::int64_t time : {10, 20, 30, 40}) EXPECT_TRUE(queue.Push(Msg(0x90, 60, 100), time));
  EXPECT_FALSE(queue.Push(Msg(0x90, 61, 100), 50));
  ASSERT_NE(queue.Front(), nullptr);
  EXPECT_EQ(queue.Front()->message, Msg(0x90, 60, 100));
  queue.Pop();
  queue.Pop();
  // The freed places are used again, past the end of the storage.
  EXPECT_TRUE(queue.Push(Msg(0x80, 60, 0), 50));
  EXPECT_TRUE(queue.Push(Msg(0x80, 60, 0), 60));
  EXPECT_THAT(TakeTimes(queue), ::testing::ElementsAre(30, 40, 50, 60));
  EXPECT_EQ(queue.Front(), nullptr);
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
