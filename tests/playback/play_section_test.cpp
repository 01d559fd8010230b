// Playing a buffer: the section and part double-clicks, Stop, and commands nested inside a
// waiting play. The scripted host decides what happens during each pass of the wait loop.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/playback/playback_fixture.h"

namespace brondel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Call = FakeMidiService::Call;

constexpr int kVar1 = 2;
constexpr int kVar2 = 3;

using PlaySection = PlaybackTest;

TEST_F(PlaySection, PlaysToItsEndWithOneHostWaitPerPass) {
  host.IdleWait();  // the first pass finds the buffer still playing
  playback.PlaySection(kMainSlot, kVar1);
  EXPECT_THAT(log, ElementsAre("grid", "stop", "division 96", "prepare", "out", "restart", "wait",
                               "unprepare -> 65", "wait", "handed back: played to its end",
                               "unprepare -> 0"));
  EXPECT_THAT(midi.Queued(), ElementsAre(SectionBuffer(kMainSlot, kVar1)));
  const platform::TMidiHeader& header = playback.StreamHeader();
  EXPECT_EQ(header.dwBufferLength, SectionBuffer(kMainSlot, kVar1).size());
  EXPECT_EQ(header.dwBytesRecorded, header.dwBufferLength);
  EXPECT_EQ(header.dwFlags & platform::kHeaderPrepared, 0u);
  EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(PlaySection, ImportFileUsesItsOwnTempoAndLeavesTheGridAlone) {
  playback.PlaySection(kImportSlot, kVar2);
  EXPECT_THAT(log, ElementsAre("stop", "division 120", "prepare", "out", "restart", "wait",
                               "handed back: played to its end", "unprepare -> 0"));
  EXPECT_THAT(midi.Queued(), ElementsAre(SectionBuffer(kImportSlot, kVar2)));
}

TEST_F(PlaySection, SlotNotLoadedOnlyClearsTheStopFlag) {
  Unload(kImportSlot);
  playback.SetStopFlag(true);
  playback.PlaySection(kImportSlot, kVar1);
  EXPECT_FALSE(playback.StopFlag());
  EXPECT_THAT(log, IsEmpty());
}

TEST_F(PlaySection, NoSelectedSectionPlaysNothing) {
  playback.PlaySection(kMainSlot, -1);
  playback.PlaySection(kMainSlot, kSectionCount);
  EXPECT_THAT(log, IsEmpty());
}

TEST_F(PlaySection, StopEndsThePlayAtOnceWithoutAMessage) {
  host.OnWait([&] { playback.Stop(); });
  playback.PlaySection(kMainSlot, kVar1);
  EXPECT_THAT(log, ElementsAre("grid", "stop", "division 96", "prepare", "out", "restart", "wait",
                               "stop", "handed back: stopped", "unprepare -> 0"));
  EXPECT_TRUE(playback.StopFlag());
  EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(PlaySection, StopFlagEndsTheWaitWhileTheStreamStillHoldsTheBuffer) {
  midi.Refuse(Call::Stop, platform::kMidiNotReady);
  host.OnWait([&] { playback.Stop(); });
  playback.PlaySection(kMainSlot, kVar1);
  EXPECT_THAT(host.Messages(), ElementsAre("OPEN error 67"));
  EXPECT_EQ(log.back(), "unprepare -> 65");
  EXPECT_EQ(host.Waits(), 1);
  // Left prepared; the next play starts from a fresh header.
  EXPECT_NE(playback.StreamHeader().dwFlags & platform::kHeaderPrepared, 0u);
}

TEST_F(PlaySection, AfterStopNothingPlaysUntilAPlayCommandClearsTheFlag) {
  playback.Stop();
  EXPECT_THAT(log, ElementsAre("stop"));
  TEventBuffer buffer = SectionBuffer(kMainSlot, kVar1);
  playback.PlayEventBuffer(buffer);
  EXPECT_EQ(playback.StreamHeader().lpData, nullptr);
  EXPECT_THAT(midi.Queued(), IsEmpty());
  playback.PlaySection(kMainSlot, kVar1);
  EXPECT_THAT(QueuedSections(), ElementsAre(kVar1));
}

TEST_F(PlaySection, SecondPlayInsideTheFirstEndsItAndBothReturn) {
  host.OnWait([&] { playback.PlaySection(kImportSlot, kVar2); });
  playback.PlaySection(kMainSlot, kVar1);
  EXPECT_THAT(log, ElementsAre(
                       // outer play
                       "grid", "stop", "division 96", "prepare", "out", "restart", "wait",
                       // nested play: its time division stops the outer buffer
                       "stop", "handed back: stopped", "division 120", "prepare", "out", "restart",
                       "wait", "handed back: played to its end", "unprepare -> 0",
                       // back in the outer wait: the header is free, the outer play ends
                       "unprepare -> 0"));
  EXPECT_THAT(midi.Queued(),
              ElementsAre(SectionBuffer(kMainSlot, kVar1), SectionBuffer(kImportSlot, kVar2)));
  EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(PlaySection, NestedSectionClickOnAnEmptySlotLeavesThePlayRunning) {
  Unload(kImportSlot);
  host.OnWait([&] { playback.PlaySection(kImportSlot, kVar1); });
  playback.PlaySection(kMainSlot, kVar1);
  EXPECT_THAT(log, ElementsAre("grid", "stop", "division 96", "prepare", "out", "restart", "wait",
                               "unprepare -> 65", "wait", "handed back: played to its end",
                               "unprepare -> 0"));
}

TEST_F(PlaySection, NestedPartClickOnAnEmptySlotEndsThePlay) {
  Unload(kImportSlot);
  host.OnWait([&] { playback.PlayPart(kImportSlot, 0, 0); });
  playback.PlaySection(kMainSlot, kVar1);
  EXPECT_THAT(log, ElementsAre("grid", "stop", "division 96", "prepare", "out", "restart", "wait",
                               "stop", "handed back: stopped", "division 0", "unprepare -> 0"));
  EXPECT_EQ(midi.Queued().size(), 1u);
}

TEST_F(PlaySection, StreamClosedUnderAWaitingPlayEndsIt) {
  host.OnWait([&] {  // what Exit does
    playback.SetStopFlag(true);
    playback.CloseMidiStream();
  });
  playback.PlaySection(kMainSlot, kVar1);
  EXPECT_EQ(host.Waits(), 1);
  EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(PlaySection, DeviceChangeUnderAWaitingPlayEndsIt) {
  host.OnWait([&] { playback.ChangeOutputDevice(1); });
  playback.PlaySection(kMainSlot, kVar1);
  EXPECT_THAT(std::vector<std::string>(log.end() - 4, log.end()),
              ElementsAre("close", "handed back: stream closed", "open 1", "unprepare -> 0"));
  EXPECT_EQ(host.Waits(), 1);
}

TEST_F(PlaySection, RefusingServiceShowsTheDivisionThenThePrepareFailure) {
  midi.RefuseAll(platform::kMidiNoDriver);
  playback.OpenMidiStream();
  playback.PlaySection(kMainSlot, kVar1);
  EXPECT_THAT(host.Messages(), ElementsAre("OPEN error 6", "OPEN error 6", "Prepare  error 6"));
  EXPECT_THAT(midi.Queued(), IsEmpty());
  EXPECT_EQ(host.Waits(), 0);
}

TEST_F(PlaySection, QueueFailureShowsOutAndUnprepares) {
  midi.Refuse(Call::Out, platform::kMidiNotReady);
  playback.PlaySection(kMainSlot, kVar1);
  EXPECT_THAT(std::vector<std::string>(log.end() - 4, log.end()),
              ElementsAre("prepare", "out refused 67", "message: OUT  error 67", "unprepare -> 0"));
  EXPECT_EQ(host.Waits(), 0);
}

TEST_F(PlaySection, RestartFailureShowsResetAndUnprepares) {
  midi.Refuse(Call::Restart, platform::kMidiNotReady);
  playback.PlaySection(kMainSlot, kVar1);
  EXPECT_THAT(std::vector<std::string>(log.end() - 3, log.end()),
              ElementsAre("restart refused 67", "message: RESET  error 67", "unprepare -> 65"));
  EXPECT_EQ(host.Waits(), 0);
}

TEST_F(PlaySection, UnprepareErrorEndsTheWaitSilently) {
  midi.Refuse(Call::Unprepare, platform::kMidiInvalidHandle);
  playback.PlaySection(kMainSlot, kVar1);
  EXPECT_EQ(host.Waits(), 1);
  EXPECT_THAT(host.Messages(), IsEmpty());
}

using RenderCommand = PlaybackTest;

TEST_F(RenderCommand, StopFlagOnEntryRendersNothingAndTouchesNothing) {
  TEventBuffer first;
  playback.RenderSection(kMainSlot, kVar1, first);
  const std::vector<TRenderEvent> before = playback.RenderEvents(kMainSlot);
  playback.SetStopFlag(true);
  TEventBuffer buffer;
  playback.RenderSection(kMainSlot, kVar2, buffer);
  EXPECT_THAT(buffer, IsEmpty());
  EXPECT_EQ(host.GridRefreshes(), 1);
  ASSERT_EQ(playback.RenderEvents(kMainSlot).size(), before.size());
  EXPECT_TRUE(std::equal(before.begin(), before.end(), playback.RenderEvents(kMainSlot).begin(),
                         [](const TRenderEvent& a, const TRenderEvent& b) {
                           return a.Time == b.Time && a.Status == b.Status && a.Data1 == b.Data1 &&
                                  a.Data2 == b.Data2;
                         }));
}

TEST_F(RenderCommand, OnlyTheMainFileRefreshesTheGrid) {
  TEventBuffer importBuffer;
  playback.RenderSection(kImportSlot, kVar1, importBuffer);
  EXPECT_EQ(host.GridRefreshes(), 0);
  EXPECT_EQ(importBuffer, SectionBuffer(kImportSlot, kVar1));
  TEventBuffer mainBuffer;
  playback.RenderSection(kMainSlot, kVar1, mainBuffer);
  EXPECT_EQ(host.GridRefreshes(), 1);
  EXPECT_EQ(mainBuffer, SectionBuffer(kMainSlot, kVar1));
}

using PlayPart = PlaybackTest;

TEST_F(PlayPart, PlaysThePartOfTheSelectedSectionAlone) {
  playback.SetStopFlag(true);
  playback.PlayPart(kMainSlot, kVar1, kChord1);
  EXPECT_THAT(log,
              ElementsAre("stop", "division 96", "stop", "stop", "division 96", "prepare", "out",
                          "restart", "wait", "handed back: played to its end", "unprepare -> 0"));
  TEventBuffer expected;
  RenderPartPreview(docs.slots[kMainSlot], kVar1, kChord1, expected);
  EXPECT_THAT(midi.Queued(), ElementsAre(expected));
  EXPECT_EQ(Decode(midi.Queued()[0]).size(), 9u);
}

TEST_F(PlayPart, PartOfTwoRecordsIsReportedEmptyAndNotPlayed) {
  docs.slots[kImportSlot].streams[kVar1][kBass] = {};
  AppendRecord(docs.slots[kImportSlot].streams[kVar1][kBass], Note(0, 40, 90));
  AppendRecord(docs.slots[kImportSlot].streams[kVar1][kBass], End(96));
  playback.PlayPart(kImportSlot, kVar1, kBass);    // a note and the end record
  playback.PlayPart(kImportSlot, kVar1, kChord3);  // the end record and its filler
  EXPECT_THAT(host.Messages(), ElementsAre("This part is empty!", "This part is empty!"));
  EXPECT_THAT(midi.Queued(), IsEmpty());
  EXPECT_EQ(log.back(), "message: This part is empty!");
}

TEST_F(PlayPart, NoSelectionStopsTheStreamButPlaysAndShowsNothing) {
  playback.PlayPart(kMainSlot, kVar1, -1);
  playback.PlayPart(kMainSlot, -1, kDrums);
  playback.PlayPart(kMainSlot, kVar1, kPartCount);
  EXPECT_EQ(Count("division"), 6);
  EXPECT_EQ(Count("prepare"), 0);
  EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(PlayPart, SlotNotLoadedClearsTheFlagAndSetsTheDivisionOnly) {
  Unload(kImportSlot);
  playback.SetStopFlag(true);
  playback.PlayPart(kImportSlot, 0, 0);
  EXPECT_FALSE(playback.StopFlag());
  EXPECT_THAT(log, ElementsAre("stop", "division 0"));
}

TEST_F(PlayPart, PreviewNeverRefreshesTheGrid) {
  playback.PlayPart(kMainSlot, kVar1, kDrums);
  EXPECT_EQ(host.GridRefreshes(), 0);
  EXPECT_EQ(midi.Queued().size(), 1u);
}

}  // namespace
}  // namespace brondel::test
