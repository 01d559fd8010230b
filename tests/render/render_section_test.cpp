// Section rendering, byte for byte: the set-up block, one event per record that is not a wait,
// the exchange sort (whose order of equal times is part of the output), deltas, 16-bit times.
// Expected orders were worked out by hand from the sort; comments give the generated times.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

#include "render/render.h"
#include "tests/support/stream_events.h"
#include "tests/support/test_rhythm.h"

namespace brondel::test {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Field;

constexpr int kVar1 = 2;
constexpr std::size_t kSetupRecords = 30;

TEventBuffer Render(const TestRhythm& rhythm, int section) {
  std::vector<TRenderEvent> events;
  TEventBuffer buffer;
  RenderSectionEvents(rhythm.slot, section, events, buffer);
  return buffer;
}

// The records after the 30 set-up records, which every section buffer starts with.
std::vector<StreamEvent> AfterSetup(const TEventBuffer& buffer) {
  std::vector<StreamEvent> events = Decode(buffer);
  EXPECT_GE(events.size(), kSetupRecords);
  events.erase(events.begin(), events.begin() + std::min(kSetupRecords, events.size()));
  return events;
}

TEST(RenderSection, RecordIsTwelveLittleEndianBytes) {
  TEventBuffer buffer;
  AppendStreamEvent(buffer, 0x01020304, 0x99, 0x24, 0xFC);
  EXPECT_THAT(buffer, ElementsAre(0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0, 0x99, 0x24, 0xFC, 0x00));
}

TEST(RenderSection, EmptyPartsGiveSetupThenFiveEndNoteOnsInTimeOrder) {
  TestRhythm rhythm;
  rhythm.Part(kVar1, kDrums, {End(40), Filler()})
      .Part(kVar1, kBass, {End(10), Filler()})
      .Part(kVar1, kChord1, {End(30), Filler()})
      .Part(kVar1, kChord2, {End(20), Filler()})
      .Part(kVar1, kChord3, {End(50), Filler()});
  const TEventBuffer buffer = Render(rhythm, kVar1);
  ASSERT_EQ(buffer.size(), 35u * 12u);
  const auto all = Decode(buffer);
  EXPECT_THAT(std::vector<StreamEvent>(all.begin(), all.begin() + 30),
              Each(Field(&StreamEvent::delta, 0u)));
  EXPECT_THAT(AfterSetup(buffer), ElementsAre(Ev(10, 0x9A, 0xFC, 0),    // bass at 10
                                              Ev(10, 0x9C, 0xFC, 0),    // chord2 at 20
                                              Ev(10, 0x9B, 0xFC, 0),    // chord1 at 30
                                              Ev(10, 0x99, 0xFC, 0),    // drums at 40
                                              Ev(10, 0x9D, 0xFC, 0)));  // chord3 at 50
}

TEST(RenderSection, SetupBlockGivesEachPartItsSoundInPartOrder) {
  TestRhythm rhythm;
  for (int part = 0; part < kPartCount; ++part) {
    const auto p = static_cast<std::uint8_t>(part);
    rhythm.Sound(kVar1, part,
                 {.tone = static_cast<std::uint8_t>(1 + p),
                  .bank = static_cast<std::uint8_t>(10 + p),
                  .volume = static_cast<std::uint8_t>(100 + p),
                  .pane = static_cast<std::uint8_t>(64 + p),
                  .reverb = static_cast<std::uint8_t>(40 + p),
                  .chorus = static_cast<std::uint8_t>(20 + p)});
  }
  rhythm.Part(kVar1, kDrums, {Note(0, 36, 100), End(0)});
  const auto events = Decode(Render(rhythm, kVar1));
  ASSERT_EQ(events.size(), 36u);
  EXPECT_THAT(std::vector<StreamEvent>(events.begin(), events.begin() + 31),
              ElementsAreArray({
                  Ev(0, 0xC9, 1, 0),    Ev(0, 0xB9, 0, 10),  Ev(0, 0xB9, 7, 100),
                  Ev(0, 0xB9, 10, 64),  Ev(0, 0xB9, 91, 40), Ev(0, 0xB9, 93, 20),
                  Ev(0, 0xCA, 2, 0),    Ev(0, 0xBA, 0, 11),  Ev(0, 0xBA, 7, 101),
                  Ev(0, 0xBA, 10, 65),  Ev(0, 0xBA, 91, 41), Ev(0, 0xBA, 93, 21),
                  Ev(0, 0xCB, 3, 0),    Ev(0, 0xBB, 0, 12),  Ev(0, 0xBB, 7, 102),
                  Ev(0, 0xBB, 10, 66),  Ev(0, 0xBB, 91, 42), Ev(0, 0xBB, 93, 22),
                  Ev(0, 0xCC, 4, 0),    Ev(0, 0xBC, 0, 13),  Ev(0, 0xBC, 7, 103),
                  Ev(0, 0xBC, 10, 67),  Ev(0, 0xBC, 91, 43), Ev(0, 0xBC, 93, 23),
                  Ev(0, 0xCD, 5, 0),    Ev(0, 0xBD, 0, 14),  Ev(0, 0xBD, 7, 104),
                  Ev(0, 0xBD, 10, 68),  Ev(0, 0xBD, 91, 44), Ev(0, 0xBD, 93, 24),
                  Ev(0, 0x99, 36, 100),  // the note at time 0 follows with delta 0
              }));
}

TEST(RenderSection, SettingBytesPassUncheckedIntoTheMessages) {
  TestRhythm rhythm;
  rhythm.Sound(kVar1, kBass, {.tone = 130, .volume = 200});
  const auto events = Decode(Render(rhythm, kVar1));
  ASSERT_EQ(events.size(), 35u);
  EXPECT_EQ(events[6], Ev(0, 0xCA, 130, 0));
  EXPECT_EQ(events[8], Ev(0, 0xBA, 7, 200));
}

TEST(RenderSection, EqualTimesLeaveTheSortInItsOwnOrder) {
  TestRhythm rhythm;
  // Generated after the set-up block: drums note 5, drums end 5, bass end 3, then 7, 8, 9.
  rhythm.Part(kVar1, kDrums, {Note(5, 36, 100), End(0)})
      .Part(kVar1, kBass, {End(3), Filler()})
      .Part(kVar1, kChord1, {End(7), Filler()})
      .Part(kVar1, kChord2, {End(8), Filler()})
      .Part(kVar1, kChord3, {End(9), Filler()});
  EXPECT_THAT(AfterSetup(Render(rhythm, kVar1)),
              ElementsAre(Ev(3, 0x9A, 0xFC, 0),  // third generated
                          Ev(2, 0x99, 0xFC, 0),  // second
                          Ev(0, 0x99, 36, 100),  // first
                          Ev(2, 0x9B, 0xFC, 0), Ev(1, 0x9C, 0xFC, 0), Ev(1, 0x9D, 0xFC, 0)));
}

// Drums at 10 and 20, bass at 0, 10 and 20; both end records at 120.
TestRhythm DrumsAndBass() {
  TestRhythm rhythm;
  rhythm.Part(kVar1, kDrums, {Note(10, 36, 100), Note(10, 38, 101), End(100), Filler()})
      .Part(kVar1, kBass, {Note(0, 40, 90), Note(10, 41, 91), Note(10, 43, 92), End(100)});
  return rhythm;
}

TEST(RenderSection, DrumsAndBassInterleaveWhenTheOtherPartsComeLater) {
  TestRhythm rhythm = DrumsAndBass();
  // Chord parts: a note at 30 and the end record at 40 each.
  rhythm.Part(kVar1, kChord1, {Note(30, 60, 70), End(10)})
      .Part(kVar1, kChord2, {Note(30, 64, 71), End(10)})
      .Part(kVar1, kChord3, {Note(30, 67, 72), End(10)});
  EXPECT_THAT(AfterSetup(Render(rhythm, kVar1)),
              ElementsAre(Ev(0, 0x9A, 40, 90),    // bass 0
                          Ev(10, 0x99, 36, 100),  // drums 10
                          Ev(0, 0x9A, 41, 91),    // bass 10
                          Ev(10, 0x99, 38, 101),  // drums 20
                          Ev(0, 0x9A, 43, 92),    // bass 20
                          Ev(10, 0x9B, 60, 70), Ev(0, 0x9C, 64, 71), Ev(0, 0x9D, 67, 72),
                          Ev(10, 0x9C, 0xFC, 0),  // the chord ends at 40 come out 2, 1, 3
                          Ev(0, 0x9B, 0xFC, 0), Ev(0, 0x9D, 0xFC, 0),
                          Ev(80, 0x99, 0xFC, 0),  // drums end, then bass end, at 120
                          Ev(0, 0x9A, 0xFC, 0)));
}

TEST(RenderSection, EndRecordsAtZeroMakeTheSortSwapBassAndDrums) {
  // The three chord parts hold only their end records, at time 0, generated last: moving
  // them to the front reorders the events at 10, 20 and 120.
  EXPECT_THAT(AfterSetup(Render(DrumsAndBass(), kVar1)),
              ElementsAre(Ev(0, 0x9A, 40, 90),  // bass 0
                          Ev(0, 0x9B, 0xFC, 0), Ev(0, 0x9C, 0xFC, 0), Ev(0, 0x9D, 0xFC, 0),
                          Ev(10, 0x9A, 41, 91),    // bass 10 before drums 10
                          Ev(0, 0x99, 36, 100),    //
                          Ev(10, 0x9A, 43, 92),    // bass 20 before drums 20
                          Ev(0, 0x99, 38, 101),    //
                          Ev(100, 0x9A, 0xFC, 0),  // bass end before drums end
                          Ev(0, 0x99, 0xFC, 0)));
}

TEST(RenderSection, WaitRecordAddsBothDelayBytes) {
  TestRhythm rhythm;
  const TRhythmRecord wait532{0x10, 0xFF, 0x02};
  rhythm.Part(kVar1, kDrums, {Note(4, 36, 100), wait532, Note(4, 38, 100), End(0)});
  EXPECT_THAT(AfterSetup(Render(rhythm, kVar1)),
              ElementsAre(Ev(0, 0x9A, 0xFC, 0), Ev(0, 0x9B, 0xFC, 0), Ev(0, 0x9C, 0xFC, 0),
                          Ev(0, 0x9D, 0xFC, 0), Ev(4, 0x99, 36, 100),
                          Ev(532, 0x99, 38, 100),  // 0x10 + 0x200 + 4 after the first note
                          Ev(0, 0x99, 0xFC, 0)));
}

TEST(RenderSection, WaitsInARowAddUp) {
  TestRhythm rhythm;
  rhythm.Part(kVar1, kDrums, {Wait(0x20), Wait(0x10), Note(0, 36, 100), End(0)});
  EXPECT_THAT(AfterSetup(Render(rhythm, kVar1)),
              ElementsAre(Ev(0, 0x9A, 0xFC, 0), Ev(0, 0x9B, 0xFC, 0), Ev(0, 0x9C, 0xFC, 0),
                          Ev(0, 0x9D, 0xFC, 0), Ev(48, 0x99, 36, 100), Ev(0, 0x99, 0xFC, 0)));
}

TEST(RenderSection, RunningTimeWrapsAt65536AndSortsThere) {
  TestRhythm rhythm;
  // 65535 + 101 wraps to 100, between the bass notes at 50 and 150.
  rhythm.Part(kVar1, kDrums, {Wait(0xFFFF), Note(101, 36, 100), End(0), Filler()})
      .Part(kVar1, kBass, {Note(50, 40, 90), Note(100, 41, 91), End(0), Filler()});
  EXPECT_THAT(AfterSetup(Render(rhythm, kVar1)),
              ElementsAre(Ev(0, 0x9B, 0xFC, 0), Ev(0, 0x9C, 0xFC, 0), Ev(0, 0x9D, 0xFC, 0),
                          Ev(50, 0x9A, 40, 90), Ev(50, 0x99, 36, 100), Ev(0, 0x99, 0xFC, 0),
                          Ev(50, 0x9A, 0xFC, 0), Ev(0, 0x9A, 41, 91)));
}

TEST(RenderSection, FillerThatIsNotAWaitYieldsAnEvent) {
  TestRhythm rhythm;
  rhythm.Part(kVar1, kDrums, {End(5), TRhythmRecord{0, 0, 0}});
  EXPECT_THAT(AfterSetup(Render(rhythm, kVar1)),
              ElementsAre(Ev(0, 0x9A, 0xFC, 0), Ev(0, 0x9B, 0xFC, 0), Ev(0, 0x9C, 0xFC, 0),
                          Ev(0, 0x9D, 0xFC, 0), Ev(5, 0x99, 0xFC, 0), Ev(0, 0x99, 0, 0)));
}

TEST(RenderSection, RenderEventArrayHoldsTheBufferOrderWithDeltas) {
  TestRhythm rhythm = DrumsAndBass();
  std::vector<TRenderEvent> events(3, TRenderEvent{7, 1, 2, 3});  // left from an earlier render
  TEventBuffer buffer;
  RenderSectionEvents(rhythm.slot, kVar1, events, buffer);
  const auto decoded = Decode(buffer);
  ASSERT_EQ(events.size(), decoded.size());
  for (std::size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(Ev(events[i].Time, events[i].Status, events[i].Data1, events[i].Data2), decoded[i])
        << "event " << i;
  }
}

TEST(RenderSection, WrongEventCountNeitherOverrunsNorChangesTheBuffer) {
  TestRhythm rhythm = DrumsAndBass();
  const TEventBuffer right = Render(rhythm, kVar1);
  ASSERT_EQ(right.size(), (30u + 10u) * 12u);
  for (const std::int32_t count : {0, 3, 9, 11, 1000, -5}) {
    rhythm.EventCount(kVar1, count);
    EXPECT_EQ(Decode(Render(rhythm, kVar1)), Decode(right)) << "event count " << count;
  }
}

TEST(RenderSection, AppendsAfterWhatTheBufferHolds) {
  TestRhythm rhythm;
  std::vector<TRenderEvent> events;
  TEventBuffer buffer;
  AppendStreamEvent(buffer, 9, 0x90, 1, 2);
  RenderSectionEvents(rhythm.slot, kVar1, events, buffer);
  const auto decoded = Decode(buffer);
  ASSERT_EQ(decoded.size(), 36u);
  EXPECT_EQ(decoded[0], Ev(9, 0x90, 1, 2));
  EXPECT_EQ(decoded[1], Ev(0, 0xC9, 0, 0));
}

// Chord1's three events at tick 10 follow the bass's two at tick 10 in the events, and the sort's
// exchanges then put the bass's note-off before its note-on: the note sounds. With chord1 empty
// (its end record alone, at 0) the sort plays them the other way round and cuts the note.
TestRhythm BassNoteOrderedByChord1() {
  TestRhythm rhythm;
  rhythm.Part(kVar1, kDrums, {Note(0, 36, 100), Note(20, 36, 0), End(40), Filler()})
      .Part(kVar1, kBass, {Note(10, 40, 0), Note(0, 40, 90), End(50), Filler()})
      .Part(kVar1, kChord1, {Note(10, 60, 80), Note(0, 60, 0), End(0), Filler()});
  return rhythm;
}

TEventBuffer RenderMix(const TestRhythm& rhythm, const TPartMix& mix) {
  std::vector<TRenderEvent> events;
  TEventBuffer buffer;
  RenderSectionEvents(rhythm.slot, kVar1, events, buffer, mix);
  return buffer;
}

TEST(RenderSection, AMutedPartKeepsItsPlacesSilentSoTheOthersSoundAsInTheWholeSection) {
  const TestRhythm rhythm = BassNoteOrderedByChord1();
  TPartMix mix;
  mix.muted[kChord1] = true;
  const auto whole = Decode(Render(rhythm, kVar1));
  const auto mixed = Decode(RenderMix(rhythm, mix));
  ASSERT_EQ(mixed.size(), whole.size());
  for (std::size_t i = 0; i < whole.size(); ++i) {
    const bool chord1 = (whole[i].status & 0x0F) == 11;
    EXPECT_EQ(mixed[i], chord1 ? Ev(whole[i].delta, 0, 0, 0) : whole[i]) << "record " << i;
  }
  // What that keeps: the bass's note at 10 sounds in the whole section, and still sounds with
  // chord1 muted; left out altogether, chord1's events would have let the sort cut it.
  const auto bassAt10 = [](const std::vector<StreamEvent>& events) {
    std::vector<std::uint8_t> velocities;
    for (const StreamEvent& e : events) {
      if (e.status == 0x9A && e.data1 == 40) velocities.push_back(e.data2);
    }
    return velocities;
  };
  EXPECT_THAT(bassAt10(mixed), ElementsAre(0, 90));
  TestRhythm without = rhythm;
  without.Part(kVar1, kChord1, {End(), Filler()});
  EXPECT_THAT(bassAt10(Decode(Render(without, kVar1))), ElementsAre(90, 0));
}

TEST(RenderSection, SoloSoundsOnlyTheSoloedPartsMuteWinsAndTheLengthStays) {
  const TestRhythm rhythm = BassNoteOrderedByChord1();
  const auto sounding = [](const std::vector<StreamEvent>& events) {
    std::set<int> parts;
    std::uint64_t ticks = 0;
    for (const StreamEvent& e : events) {
      ticks += e.delta;
      if (e.status != 0) parts.insert((e.status & 0x0F) - 9);
    }
    return std::pair(parts, ticks);
  };
  TPartMix mix;
  mix.soloed[kBass] = mix.soloed[kChord1] = true;
  mix.muted[kChord1] = true;
  EXPECT_EQ(sounding(Decode(RenderMix(rhythm, mix))),
            std::pair(std::set<int>{kBass}, std::uint64_t{60}));
  // Every part soloed, or none muted: every part sounds, and the buffer is the section's own.
  mix = {};
  mix.soloed.fill(true);
  EXPECT_EQ(RenderMix(rhythm, mix), Render(rhythm, kVar1));
  EXPECT_EQ(RenderMix(rhythm, {}), Render(rhythm, kVar1));
}

}  // namespace
}  // namespace brondel::test
