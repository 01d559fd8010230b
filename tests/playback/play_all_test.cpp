// Play all: ten renders first, then eleven entries in the fixed order with the lists (and the
// grid, for the main file) following; Stop lets the remaining entries pass silently.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/playback/playback_fixture.h"

namespace brondel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr int kIntro1 = 0, kVar1 = 2, kVar2 = 3, kFill1 = 4, kFill2 = 5, kFill3 = 6, kFill4 = 7,
              kEnd1 = 8, kEnd2 = 9;
const std::vector<int> kSequence = {kIntro1, kVar1, kFill1, kVar1, kFill2, kVar2,
                                    kFill3,  kVar2, kFill4, kVar1, kEnd1};

std::vector<std::pair<int, int>> EntriesOf(int slot, const std::vector<int>& sections) {
  std::vector<std::pair<int, int>> entries;
  for (const int section : sections) entries.emplace_back(slot, section);
  return entries;
}

using PlayAll = PlaybackTest;

TEST_F(PlayAll, FullRunPlaysTheElevenEntriesInOrder) {
  playback.PlayAllCommand(kMainSlot);
  EXPECT_THAT(QueuedSections(), ElementsAreArray(kSequence));
  EXPECT_EQ(std::count(kSequence.begin(), kSequence.end(), kVar1), 3);
  EXPECT_EQ(std::count(kSequence.begin(), kSequence.end(), kVar2), 2);
  for (std::size_t entry = 0; entry < kSequence.size(); ++entry) {
    EXPECT_EQ(midi.Queued()[entry], SectionBuffer(kMainSlot, kSequence[entry]))
        << "entry " << entry + 1;
  }
  EXPECT_THAT(host.Entries(), ElementsAreArray(EntriesOf(kMainSlot, kSequence)));
  EXPECT_THAT(host.Messages(), IsEmpty());
  EXPECT_FALSE(playback.StopFlag());
}

TEST_F(PlayAll, MainFileRendersAllTenFirstAndShowsEachEntryBeforeItPlays) {
  playback.PlayAllCommand(kMainSlot);
  std::vector<std::string> expected = {"stop", "division 96"};
  expected.insert(expected.end(), kSectionCount, "grid");  // one per render
  for (const int section : kSequence) {
    const std::vector<std::string> entry = {
        "entry 0 " + std::string(kSectionNames[static_cast<std::size_t>(section)]),
        "grid",
        "prepare",
        "out",
        "restart",
        "wait",
        "handed back: played to its end",
        "unprepare -> 0"};
    expected.insert(expected.end(), entry.begin(), entry.end());
  }
  EXPECT_THAT(log, ElementsAreArray(expected));
}

TEST_F(PlayAll, IntroTwoAndEndTwoAreRenderedThoughNeverPlayed) {
  playback.PlayAllCommand(kImportSlot);
  std::vector<TRenderEvent> endTwo;
  TEventBuffer unused;
  RenderSectionEvents(docs.slots[kImportSlot], kEnd2, endTwo, unused);
  ASSERT_EQ(playback.RenderEvents(kImportSlot).size(), endTwo.size());
  EXPECT_EQ(playback.RenderEvents(kImportSlot).back().Data1, endTwo.back().Data1);
  EXPECT_THAT(QueuedSections(), ElementsAreArray(kSequence));
}

TEST_F(PlayAll, ImportFileUsesItsTempoAndLeavesTheGridAlone) {
  playback.PlayAllCommand(kImportSlot);
  EXPECT_EQ(host.GridRefreshes(), 0);
  EXPECT_EQ(Count("division"), 1);
  EXPECT_EQ(midi.TimeDivision(), kImportTempo);
  EXPECT_THAT(host.Entries(), ElementsAreArray(EntriesOf(kImportSlot, kSequence)));
}

TEST_F(PlayAll, SlotNotLoadedDoesNothingAndKeepsTheStopFlag) {
  Unload(kImportSlot);
  playback.SetStopFlag(true);
  playback.PlayAllCommand(kImportSlot);
  EXPECT_TRUE(playback.StopFlag());
  EXPECT_THAT(log, IsEmpty());
}

TEST_F(PlayAll, StopInEntryThreeLetsTheRestPassSilentlyToEndOne) {
  host.OnWait([&] { midi.FinishBuffer(); });
  host.OnWait([&] { midi.FinishBuffer(); });
  host.OnWait([&] { playback.Stop(); });
  playback.PlayAllCommand(kMainSlot);
  EXPECT_THAT(QueuedSections(), ElementsAre(kIntro1, kVar1, kFill1));
  EXPECT_THAT(host.Entries(), ElementsAreArray(EntriesOf(kMainSlot, kSequence)));
  EXPECT_EQ(host.Entries().back(), std::make_pair(kMainSlot, kEnd1));
  EXPECT_EQ(host.GridRefreshes(), kSectionCount + 11);
  EXPECT_EQ(host.Waits(), 3);
  EXPECT_TRUE(playback.StopFlag());
  EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(PlayAll, RefusingServiceShowsOneMessagePerEntry) {
  midi.RefuseAll(platform::kMidiNoDriver);
  playback.PlayAllCommand(kMainSlot);
  std::vector<std::string> expected = {"OPEN error 6"};
  expected.insert(expected.end(), 11, "Prepare  error 6");
  EXPECT_THAT(host.Messages(), ElementsAreArray(expected));
  EXPECT_EQ(host.Entries().size(), 11u);
}

TEST_F(PlayAll, NestedPlayEndsTheEntryAndItsDivisionStaysForTheRest) {
  host.OnWait([&] { midi.FinishBuffer(); });
  host.OnWait([&] { playback.PlaySection(kImportSlot, kEnd2); });
  playback.PlayAllCommand(kMainSlot);
  // The nested play comes after entry 2, which it cut short.
  EXPECT_THAT(QueuedSections(), ElementsAre(kIntro1, kVar1, kEnd2, kFill1, kVar1, kFill2, kVar2,
                                            kFill3, kVar2, kFill4, kVar1, kEnd1));
  EXPECT_EQ(midi.Queued()[2], SectionBuffer(kImportSlot, kEnd2));
  EXPECT_EQ(Count("division"), 2);
  EXPECT_EQ(midi.TimeDivision(), kImportTempo);
}

TEST_F(PlayAll, NestedRunHasItsOwnBuffersAndTheOuterGoesOnAfterIt) {
  host.OnWait([&] { playback.PlayAllCommand(kImportSlot); });
  playback.PlayAllCommand(kMainSlot);
  const std::vector<int> queued = QueuedSections();
  ASSERT_EQ(queued.size(), 22u);
  EXPECT_EQ(queued[0], kIntro1);  // the outer run's first entry, cut short
  EXPECT_EQ(std::vector<int>(queued.begin() + 1, queued.begin() + 12), kSequence);
  EXPECT_EQ(std::vector<int>(queued.begin() + 12, queued.end()),
            std::vector<int>(kSequence.begin() + 1, kSequence.end()));
  EXPECT_EQ(midi.Queued()[1], SectionBuffer(kImportSlot, kIntro1));
  EXPECT_EQ(midi.Queued()[12], SectionBuffer(kMainSlot, kVar1));
}

}  // namespace
}  // namespace brondel::test
