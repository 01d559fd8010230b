// The direct exchange sort against the loop that defines it: every sequence of up to eight
// events over four times, then two million random arrays (fixed seed) shaped as sections make
// them and as they rarely come: parts' ascending runs, runs that wrap past 65535, many equal
// times, descending runs, any 32-bit times. Each event carries its first position in Status, Data1
// and Data2, so that the comparison is event for event and a failure names who went where.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "render/render.h"

namespace brondel {
namespace {

using TTimes = std::vector<std::uint32_t>;

/// A number from 0 to bound - 1.
std::uint32_t Draw(std::mt19937& random, std::size_t bound) {
  return static_cast<std::uint32_t>(random() % bound);
}

std::vector<TRenderEvent> NumberedEvents(const TTimes& times) {
  std::vector<TRenderEvent> events;
  for (std::size_t k = 0; k < times.size(); ++k) {
    events.push_back({times[k], static_cast<std::uint8_t>(k >> 16),
                      static_cast<std::uint8_t>(k >> 8), static_cast<std::uint8_t>(k)});
  }
  return events;
}

std::size_t FirstPosition(const TRenderEvent& event) {
  return std::size_t{event.Status} << 16 | std::size_t{event.Data1} << 8 | event.Data2;
}

std::string Describe(const TTimes& times) {
  std::ostringstream text;
  for (std::size_t k = 0; k < times.size() && k < 80; ++k) text << (k ? " " : "") << times[k];
  if (times.size() > 80) text << " ... (" << times.size() << " events)";
  return text.str();
}

/// Passes when `sort` leaves `times` exactly as ExchangeSortLoop does; otherwise names the
/// first position where they part and which events they put there.
testing::AssertionResult SameAsTheLoop(
    const TTimes& times, void (*sort)(std::vector<TRenderEvent>&) = ExchangeSortDirect) {
  std::vector<TRenderEvent> expected = NumberedEvents(times);
  std::vector<TRenderEvent> actual = expected;
  ExchangeSortLoop(expected);
  sort(actual);
  if (actual.size() != expected.size()) {
    return testing::AssertionFailure() << actual.size() << " events came out of " << times.size();
  }
  for (std::size_t k = 0; k < expected.size(); ++k) {
    const TRenderEvent& a = actual[k];
    const TRenderEvent& e = expected[k];
    if (a.Time != e.Time || a.Status != e.Status || a.Data1 != e.Data1 || a.Data2 != e.Data2) {
      return testing::AssertionFailure()
             << "position " << k << " holds event " << FirstPosition(a) << " (time " << a.Time
             << "), the loop puts event " << FirstPosition(e) << " (time " << e.Time
             << ") there; times: " << Describe(times);
    }
  }
  return testing::AssertionSuccess();
}

// What a section's render generates: 30 set-up events at 0, then five parts, each in record
// order at its 16-bit running time. Steps are often 0 (chords) or a common beat, so parts meet
// at equal times; a wait now and then, of up to 65535 when `wrap`, carries a part past 65535.
TTimes PartRuns(std::mt19937& random, std::size_t size, bool wrap) {
  static constexpr std::uint16_t kSteps[] = {0, 0, 0, 1, 12, 24, 24, 48, 96, 255};
  TTimes times(std::min<std::size_t>(size, 30), 0);
  std::size_t partsLeft = 5;
  while (times.size() < size) {
    const std::size_t left = size - times.size();
    const std::size_t length = partsLeft > 1 ? Draw(random, left + 1) : left;
    std::uint16_t running = 0;
    for (std::size_t k = 0; k < length; ++k) {
      if (Draw(random, 8) == 0) {
        running =
            static_cast<std::uint16_t>(running + (wrap ? Draw(random, 65536) : Draw(random, 400)));
      }
      running = static_cast<std::uint16_t>(running + kSteps[Draw(random, std::size(kSteps))]);
      times.push_back(running);
    }
    if (partsLeft > 1) --partsLeft;
  }
  return times;
}

// Times from a range of one to four values.
TTimes ManyEqualTimes(std::mt19937& random, std::size_t size) {
  const std::uint32_t values = 1 + Draw(random, 4);
  TTimes times(size);
  for (auto& time : times) time = Draw(random, values);
  return times;
}

// Runs that fall (by 0 to 3 each step) from random starts.
TTimes DescendingRuns(std::mt19937& random, std::size_t size) {
  TTimes times;
  while (times.size() < size) {
    std::uint32_t time = Draw(random, 200);
    for (std::size_t run = 1 + Draw(random, 40); run > 0 && times.size() < size; --run) {
      times.push_back(time);
      time -= std::min(time, Draw(random, 4));
    }
  }
  return times;
}

// Any 32-bit times, now and then from a small set of them.
TTimes AnyTimes(std::mt19937& random, std::size_t size) {
  const bool few = Draw(random, 2) == 0;
  const TTimes pool = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
  TTimes times(size);
  for (auto& time : times) {
    time = few ? pool[Draw(random, pool.size())] : static_cast<std::uint32_t>(random());
  }
  return times;
}

TTimes RandomShape(std::mt19937& random, int shape, std::size_t size) {
  switch (shape) {
    case 0:
      return PartRuns(random, size, false);
    case 1:
      return PartRuns(random, size, true);
    case 2:
      return ManyEqualTimes(random, size);
    case 3:
      return DescendingRuns(random, size);
    default:
      return AnyTimes(random, size);
  }
}
constexpr int kShapes = 5;

TEST(ExchangeSort, LoopMakesTheTextbookExchanges) {
  // The loop holds event j in a register; the definition rereads it. Same exchanges.
  std::mt19937 random(4242);
  for (int round = 0; round < 2000; ++round) {
    std::vector<TRenderEvent> events = NumberedEvents(RandomShape(random, round % kShapes, 60));
    std::vector<TRenderEvent> textbook = events;
    for (std::size_t j = 0; j + 1 < textbook.size(); ++j) {
      for (std::size_t i = j + 1; i < textbook.size(); ++i) {
        if (textbook[i].Time < textbook[j].Time) std::swap(textbook[i], textbook[j]);
      }
    }
    ExchangeSortLoop(events);
    for (std::size_t k = 0; k < events.size(); ++k) {
      ASSERT_EQ(FirstPosition(events[k]), FirstPosition(textbook[k])) << "round " << round;
    }
  }
}

TEST(ExchangeSort, EveryShortSequenceOverFourTimes) {
  std::size_t checked = 0;
  for (std::size_t size = 0; size <= 8; ++size) {
    TTimes times(size, 0);
    for (bool more = true; more; ++checked) {
      ASSERT_TRUE(SameAsTheLoop(times));
      // The next sequence, counting in base 4.
      more = false;
      for (std::size_t k = 0; k < size && !more; ++k) {
        more = ++times[k] < 4;
        if (!more) times[k] = 0;
      }
    }
  }
  EXPECT_EQ(checked, 87381u);  // 4^0 + 4^1 + ... + 4^8
}

TEST(ExchangeSort, TwoMillionRandomArraysOfEveryShape) {
  std::mt19937 random(20240611);
  std::size_t events = 0;
  for (int round = 0; round < 2'000'000; ++round) {
    // Mostly short arrays, where every way equal times can meet is near; now and then a longer
    // one, where rows of equal times grow long.
    const std::size_t size = round % 100 ? Draw(random, 41) : Draw(random, 201);
    const TTimes times = RandomShape(random, round % kShapes, size);
    events += times.size();
    ASSERT_TRUE(SameAsTheLoop(times)) << "round " << round;
  }
  RecordProperty("events", static_cast<int>(events));
}

TEST(ExchangeSort, LongArraysOfEveryShape) {
  std::mt19937 random(97);
  for (const std::size_t size : {1000u, 5000u}) {
    for (int round = 0; round < 2 * kShapes; ++round) {
      ASSERT_TRUE(SameAsTheLoop(RandomShape(random, round % kShapes, size)))
          << size << " events, round " << round;
    }
  }
}

TEST(ExchangeSort, ByTimeGivesTheLoopsOrderOnBothSidesOfTheShortLimit) {
  std::mt19937 random(5);
  for (std::size_t size = 0; size < 2 * kShortSortLimit; ++size) {
    for (int shape = 0; shape < kShapes; ++shape) {
      ASSERT_TRUE(SameAsTheLoop(RandomShape(random, shape, size), ExchangeSortByTime))
          << size << " events";
    }
  }
}

}  // namespace
}  // namespace brondel
