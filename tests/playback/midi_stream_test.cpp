// The one MIDI stream: opening, closing, device changes, the time division and error reports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/playback/playback_fixture.h"

namespace brondel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Call = FakeMidiService::Call;

using MidiStream = PlaybackTest;

TEST_F(MidiStream, OpenFailureShowsOpenPrefixAndTheServiceText) {
  midi.Refuse(Call::Open, platform::kMidiAllocated);
  midi.SetErrorText(platform::kMidiAllocated, "The device is already in use.");
  playback.OpenMidiStream();
  EXPECT_THAT(host.Messages(), ElementsAre("OPEN The device is already in use."));
}

TEST_F(MidiStream, CloseFailureShowsClosePrefixAndKeepsTheHandle) {
  const auto handle = playback.Handle();
  midi.Refuse(Call::Close, platform::kMidiNotReady);
  playback.CloseMidiStream();
  EXPECT_THAT(host.Messages(), ElementsAre("CLOSE error 67"));
  EXPECT_EQ(playback.Handle(), handle);
}

TEST_F(MidiStream, ASelectedDeviceIsWhereTheNextOpenGoes) {
  playback.SelectDevice(3);
  EXPECT_THAT(log, IsEmpty()) << "selecting touches no stream";
  playback.OpenMidiStream();
  EXPECT_THAT(log, ElementsAre("open 3"));
  EXPECT_EQ(playback.DeviceId(), 3u);
}

TEST_F(MidiStream, DeviceChangeClosesThenOpensOnTheEntryIndex) {
  playback.ChangeOutputDevice(2);
  EXPECT_THAT(log, ElementsAre("close", "open 2"));
  EXPECT_EQ(playback.DeviceId(), 2u);
  EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(MidiStream, DeviceChangeWithoutSelectionPicksTheMapper) {
  playback.ChangeOutputDevice(-1);
  EXPECT_EQ(playback.DeviceId(), 0xFFFFFFFFu);
  EXPECT_THAT(log, ElementsAre("close", "open 4294967295"));
}

TEST_F(MidiStream, DeviceChangeOpensEvenWhenTheCloseFails) {
  const auto oldHandle = playback.Handle();
  midi.Refuse(Call::Close, platform::kMidiError);
  playback.ChangeOutputDevice(1);
  EXPECT_THAT(log, ElementsAre("close refused 1", "message: CLOSE error 1", "open 1"));
  EXPECT_NE(playback.Handle(), oldHandle);
}

TEST_F(MidiStream, TimeDivisionStopsThenTakesEachSlotsTempoByte) {
  playback.SetTimeDivision(kImportSlot);
  EXPECT_THAT(log, ElementsAre("stop", "division 120"));
  playback.SetTimeDivision(kMainSlot);
  EXPECT_EQ(midi.TimeDivision(), kMainTempo);
  docs.slots[kMainSlot].header.SetTempo(0);
  playback.SetTimeDivision(kMainSlot);
  EXPECT_EQ(log.back(), "division 0");
  EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(MidiStream, TimeDivisionReportsOnlyItsOwnFailureWithOpenPrefix) {
  midi.Refuse(Call::Stop, platform::kMidiNotReady);
  midi.Refuse(Call::TimeDivision, platform::kMidiInvalidParam);
  playback.SetTimeDivision(kMainSlot);
  EXPECT_THAT(host.Messages(), ElementsAre("OPEN error 11"));
}

TEST_F(MidiStream, ErrorTextIsCutWhereA120ByteBufferWouldCutIt) {
  midi.SetErrorText(40, std::string(200, 'x'));
  midi.SetErrorText(41, std::string("first\0second", 12));
  midi.SetErrorText(42, "");
  playback.ShowMidiError("OUT  ", 40);
  playback.ShowMidiError("RESET  ", 41);
  playback.ShowMidiError("Prepare  ", 42);
  EXPECT_THAT(host.Messages(), ElementsAre("OUT  " + std::string(119, 'x'), "RESET  first",
                                           "Prepare  MIDI error 42"));
}

}  // namespace
}  // namespace brondel::test
