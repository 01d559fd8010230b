// Part preview buffers, byte for byte: six set-up records of the one part, then its events in
// record order; a wait replaces the pending delay, and deltas are taken modulo 65536.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "render/render.h"
#include "tests/support/stream_events.h"
#include "tests/support/test_rhythm.h"

namespace brondel::test {
namespace {

using ::testing::ElementsAre;

constexpr int kFill2 = 5;

std::vector<StreamEvent> Preview(const TestRhythm& rhythm, int section, int part) {
  TEventBuffer buffer;
  RenderPartPreview(rhythm.slot, section, part, buffer);
  return Decode(buffer);
}

// The events after the part's six set-up records.
std::vector<StreamEvent> AfterSetup(const TestRhythm& rhythm, int section, int part) {
  std::vector<StreamEvent> events = Preview(rhythm, section, part);
  EXPECT_GE(events.size(), 6u);
  events.erase(events.begin(), events.begin() + std::min<std::ptrdiff_t>(6, std::ssize(events)));
  return events;
}

TEST(PartPreview, Chord1PlaysOnChannel12InRecordOrder) {
  TestRhythm rhythm;
  rhythm
      .Sound(kFill2, kChord1,
             {.tone = 5, .bank = 1, .volume = 200, .pane = 64, .reverb = 40, .chorus = 20})
      .Part(kFill2, kChord1, {Note(0, 60, 80), Note(24, 64, 81), End(24), Filler()});
  EXPECT_THAT(Preview(rhythm, kFill2, kChord1),
              ElementsAre(Ev(0, 0xCB, 5, 0), Ev(0, 0xBB, 0, 1), Ev(0, 0xBB, 7, 200),
                          Ev(0, 0xBB, 10, 64), Ev(0, 0xBB, 91, 40), Ev(0, 0xBB, 93, 20),
                          Ev(0, 0x9B, 60, 80), Ev(24, 0x9B, 64, 81), Ev(24, 0x9B, 0xFC, 0)));
}

TEST(PartPreview, NothingIsSortedAcrossTheWrap) {
  TestRhythm rhythm;
  // In a section the note after the long wait would wrap to 100 and sort before the others.
  rhythm.Part(kFill2, kDrums, {Note(200, 36, 100), Wait(0xFFFF), Note(101, 38, 100), End(0)});
  EXPECT_THAT(AfterSetup(rhythm, kFill2, kDrums),
              ElementsAre(Ev(200, 0x99, 36, 100), Ev(100, 0x99, 38, 100), Ev(0, 0x99, 0xFC, 0)));
}

TEST(PartPreview, WaitRecordDelaysTheNextNoteByBothDelayBytes) {
  TestRhythm rhythm;
  const TRhythmRecord wait532{0x10, 0xFF, 0x02};
  rhythm.Part(kFill2, kBass, {Note(0, 40, 90), wait532, Note(4, 41, 90), End(0)});
  EXPECT_THAT(AfterSetup(rhythm, kFill2, kBass),
              ElementsAre(Ev(0, 0x9A, 40, 90), Ev(532, 0x9A, 41, 90), Ev(0, 0x9A, 0xFC, 0)));
}

TEST(PartPreview, OfWaitsInARowOnlyTheLastDelays) {
  TestRhythm rhythm;
  rhythm.Part(
      kFill2, kBass,
      {TRhythmRecord{0x20, 0xFF, 0x00}, TRhythmRecord{0x10, 0xFF, 0x00}, Note(0, 40, 90), End(0)});
  EXPECT_THAT(AfterSetup(rhythm, kFill2, kBass),
              ElementsAre(Ev(16, 0x9A, 40, 90), Ev(0, 0x9A, 0xFC, 0)));
}

TEST(PartPreview, DeltaWrapsModulo65536) {
  TestRhythm rhythm;
  rhythm.Part(kFill2, kDrums, {Wait(0xFFFF), Note(2, 36, 100), End(0), Filler()});
  EXPECT_THAT(AfterSetup(rhythm, kFill2, kDrums),
              ElementsAre(Ev(1, 0x99, 36, 100), Ev(0, 0x99, 0xFC, 0)));
}

TEST(PartPreview, WaitBeforeTheEndRecordDelaysItsNoteOn) {
  TestRhythm rhythm;
  rhythm.Part(kFill2, kChord3, {Note(0, 67, 70), Wait(96), End(0), Filler()});
  EXPECT_THAT(AfterSetup(rhythm, kFill2, kChord3),
              ElementsAre(Ev(0, 0x9D, 67, 70), Ev(96, 0x9D, 0xFC, 0)));
}

TEST(PartPreview, ConsumedDelayDoesNotCarryOver) {
  TestRhythm rhythm;
  rhythm.Part(kFill2, kDrums, {Wait(50), Note(1, 36, 100), Note(2, 38, 100), End(3), Filler()});
  EXPECT_THAT(AfterSetup(rhythm, kFill2, kDrums),
              ElementsAre(Ev(51, 0x99, 36, 100), Ev(2, 0x99, 38, 100), Ev(3, 0x99, 0xFC, 0)));
}

TEST(PartPreview, ItsTicksAreMappedOntoTheSectionsWhereWaitsFollowOneAnother) {
  TestRhythm rhythm;
  // The section counts both waits (the note at 200), the preview only the last (at 100).
  rhythm.Part(kFill2, kBass,
              {Wait(100), Wait(100), Note(0, 40, 90), Note(30, 40, 0), End(20), Filler()});
  EXPECT_THAT(
      PartPreviewTicks(rhythm.slot, kFill2, kBass),
      ElementsAre(TTickPair{0, 0}, TTickPair{100, 200}, TTickPair{130, 230}, TTickPair{150, 250}));
}

}  // namespace
}  // namespace brondel::test
