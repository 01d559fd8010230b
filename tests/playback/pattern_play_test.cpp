// The pattern window's play and the play position, on the real stream engine: a recording device
// on a manual clock that the host moves on by 10 ms at every wait, running scripted steps once
// their time has come. Var1 lasts one bar of 400 ticks at tempo 100 (5 ms a tick): 2 s.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/midi/testing/midi_testing.h"
#include "playback/playback.h"
#include "tests/playback/clock_host.h"
#include "tests/support/test_rhythm.h"

namespace brondel::test {
namespace {

using namespace std::chrono_literals;
using platform::MidiMicros;
using platform::RecordedMessage;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int kVar1 = 2;
constexpr int kFill1 = 4;
constexpr MidiMicros kBar = 2000ms;

// Drums: a kick at 0 and 200, a snare at 100 and 300, each 20 ticks long; the end at 400.
// Bass: the note it starts at 350 sounds over the seam, ended by the part's first record.
TestRhythm LoopRhythm() {
  TestRhythm rhythm(100);
  for (int section : {kVar1, kFill1}) {
    rhythm.Sound(section, kDrums, {.tone = static_cast<std::uint8_t>(section)})
        .Part(section, kDrums,
              {Note(0, 36, 100), Note(20, 36, 0), Note(80, 38, 100), Note(20, 38, 0),
               Note(80, 36, 100), Note(20, 36, 0), Note(80, 38, 100), Note(20, 38, 0), End(80),
               Filler()})
        .Part(section, kBass, {Note(0, 40, 0), Wait(350), Note(0, 40, 90), Wait(50), End(0)});
  }
  return rhythm;
}

class PatternPlay : public RecordedPlaybackTest {
 protected:
  PatternPlay() : RecordedPlaybackTest(LoopRhythm().slot) {}

  /// The due times of the recorded messages equal to status, data1, data2.
  std::vector<MidiMicros> DueTimes(std::uint8_t status, std::uint8_t data1,
                                   std::uint8_t data2) const {
    std::vector<MidiMicros> times;
    for (const RecordedMessage& m : recorder->Messages()) {
      if (m.message.bytes[0] == status && m.message.bytes[1] == data1 &&
          m.message.bytes[2] == data2) {
        times.push_back(m.due);
      }
    }
    return times;
  }
  std::vector<MidiMicros> Kicks() const { return DueTimes(0x99, 36, 100); }
  std::vector<MidiMicros> BassNotes() const { return DueTimes(0x9A, 40, 90); }

  /// The messages recorded from `from` on, as "status data1 data2".
  std::vector<std::string> MessagesFrom(MidiMicros from) const {
    std::vector<std::string> texts;
    for (const RecordedMessage& m : recorder->Messages()) {
      if (m.due < from) continue;
      char text[16];
      std::snprintf(text, sizeof text, "%02X %02X %02X", m.message.bytes[0], m.message.bytes[1],
                    m.message.bytes[2]);
      texts.emplace_back(text);
    }
    return texts;
  }

  static TPartMix Muted(int part) {
    TPartMix mix;
    mix.muted[static_cast<std::size_t>(part)] = true;
    return mix;
  }
};

TEST_F(PatternPlay, PositionAtChosenClockTimesIsWhatTheDeviceSounds) {
  recorder->SetOutputLatency(20ms);
  std::vector<std::optional<TPlayingPosition>> seen;
  const auto look = [&] { seen.push_back(playback.PlayingNow()); };
  for (const MidiMicros time : {10ms, 20ms, 530ms, 2010ms, 2030ms, 4320ms}) host.At(time, look);
  host.At(4400ms, [&] { playback.Stop(); });
  host.At(4400ms, look);
  playback.PlayPattern(kMainSlot, kVar1, {}, true);
  // 510 ms of sound is tick 102; the second repetition starts 2 s in, the third 4 s in.
  EXPECT_THAT(seen, ElementsAre(std::nullopt, TPlayingPosition{kMainSlot, kVar1, -1, 0, 0},
                                TPlayingPosition{kMainSlot, kVar1, -1, 102, 0},
                                TPlayingPosition{kMainSlot, kVar1, -1, 398, 0},
                                TPlayingPosition{kMainSlot, kVar1, -1, 2, 1},
                                TPlayingPosition{kMainSlot, kVar1, -1, 60, 2}, std::nullopt));
  EXPECT_THAT(host.messages, IsEmpty());
}

TEST_F(PatternPlay, RepetitionsFollowBackToBackAndStopEndsTheLoop) {
  host.At(3 * kBar + 500ms, [&] { playback.Stop(); });
  playback.PlayPattern(kMainSlot, kVar1, {}, true);
  const MidiMicros stoppedAt = clock.Now();
  EXPECT_EQ(stoppedAt, 3 * kBar + 500ms);  // it returned in the wait that stopped it
  // Each repetition starts exactly one section after the one before: no gap, no overlap.
  EXPECT_THAT(Kicks(), ElementsAre(0ms, 1000ms, 2000ms, 3000ms, 4000ms, 5000ms, 6000ms));
  EXPECT_THAT(DueTimes(0x99, 38, 100),
              ElementsAre(500ms, 1500ms, 2500ms, 3500ms, 4500ms, 5500ms, 6500ms));
  // The bass note held over each seam is ended by the next repetition's first record.
  EXPECT_THAT(DueTimes(0x9A, 40, 0), ElementsAre(0ms, 2000ms, 4000ms, 6000ms));
  EXPECT_THAT(DueTimes(0xB9, 123, 0), ElementsAre(stoppedAt));  // only Stop's endings
  // Stop ended the snare that started as it came; afterwards nothing more is sent.
  EXPECT_THAT(MessagesFrom(stoppedAt), ElementsAre("99 26 64", "89 26 00", "B9 7B 00", "BA 7B 00",
                                                   "BB 7B 00", "BC 7B 00", "BD 7B 00"));
  const std::size_t count = recorder->Messages().size();
  clock.Advance(10s);
  EXPECT_EQ(recorder->Messages().size(), count);
  EXPECT_EQ(playback.PlayingNow(), std::nullopt);
  EXPECT_TRUE(playback.StopFlag());
}

TEST_F(PatternPlay, AMutedPartLeavesAtTheNextRepetitionItsHeldNoteEndedAtTheSeam) {
  // The bass is muted half-way through the second repetition (the third is without it) and
  // unmuted early in the third (the fourth has it again).
  host.At(kBar + 1000ms, [&] { playback.ChangePatternPlay(Muted(kBass), true); });
  host.At(2 * kBar + 100ms, [&] { playback.ChangePatternPlay({}, true); });
  host.At(4 * kBar + 100ms, [&] { playback.Stop(); });
  playback.PlayPattern(kMainSlot, kVar1, {}, true);
  EXPECT_THAT(BassNotes(), ElementsAre(1750ms, 3750ms, 7750ms));
  // The note started at 3.75 s is ended at the seam by the stream: the muted repetition never
  // ends it itself.
  EXPECT_THAT(DueTimes(0x8A, 40, 0), ElementsAre(4000ms));
  EXPECT_THAT(DueTimes(0x9A, 40, 0), ElementsAre(0ms, 2000ms, 6000ms, 8000ms));
  // The drums go on through every repetition, and the bass's set-up is silent while muted.
  EXPECT_THAT(Kicks(),
              ElementsAre(0ms, 1000ms, 2000ms, 3000ms, 4000ms, 5000ms, 6000ms, 7000ms, 8000ms));
  EXPECT_THAT(DueTimes(0xCA, 0, 0), ElementsAre(0ms, 2000ms, 6000ms, 8000ms));
  EXPECT_THAT(host.messages, IsEmpty());
}

TEST_F(PatternPlay, OfChangesWithinOneRepetitionTheLatestIsHeardAtTheNextSeam) {
  host.At(kBar + 200ms, [&] { playback.ChangePatternPlay(Muted(kBass), true); });
  host.At(kBar + 400ms, [&] { playback.ChangePatternPlay(Muted(kDrums), true); });
  host.At(2 * kBar + 100ms, [&] { playback.Stop(); });
  playback.PlayPattern(kMainSlot, kVar1, {}, true);
  EXPECT_THAT(Kicks(), ElementsAre(0ms, 1000ms, 2000ms, 3000ms));
  EXPECT_THAT(BassNotes(), ElementsAre(1750ms, 3750ms));
  EXPECT_THAT(DueTimes(0x9A, 40, 0), ElementsAre(0ms, 2000ms, 4000ms));
}

TEST_F(PatternPlay, LoopSwitchedOffEndsThePlayWithTheRepetitionPlaying) {
  host.At(kBar + 300ms, [&] { playback.ChangePatternPlay({}, false); });
  playback.PlayPattern(kMainSlot, kVar1, {}, true);
  EXPECT_LT(clock.Now(), 2 * kBar + 100ms);  // it returned at the end of the second repetition
  EXPECT_THAT(Kicks(), ElementsAre(0ms, 1000ms, 2000ms, 3000ms));
  // The bass note left sounding at the end gets its note-off there; then All Notes Off.
  EXPECT_THAT(DueTimes(0x8A, 40, 0), ElementsAre(4000ms));
  clock.Advance(1s);
  EXPECT_EQ(DueTimes(0xB9, 123, 0).size(), 1u);
  EXPECT_EQ(playback.PlayingNow(), std::nullopt);
}

TEST_F(PatternPlay, LoopSwitchedOnWhileASinglePlayPlaysLoopsOnInTheNewMix) {
  host.At(500ms, [&] { playback.ChangePatternPlay(Muted(kDrums), true); });
  host.At(2 * kBar + 500ms, [&] { playback.Stop(); });
  playback.PlayPattern(kMainSlot, kVar1, {}, false);
  EXPECT_THAT(Kicks(), ElementsAre(0ms, 1000ms));
  EXPECT_THAT(BassNotes(), ElementsAre(1750ms, 3750ms));
}

TEST_F(PatternPlay, WithEveryPartAudibleItSoundsAsTheSectionDoubleClick) {
  // Each play is followed by a second of silence, so that its endings (the held bass note's
  // note-off, All Notes Off) go out within its own recording.
  playback.PlaySection(kMainSlot, kVar1);
  clock.Advance(1s);
  const std::vector<RecordedMessage> section = recorder->Messages();
  recorder->ClearRecording();
  playback.PlayPattern(kMainSlot, kVar1, {}, false);
  clock.Advance(1s);
  const std::vector<RecordedMessage> pattern = recorder->Messages();
  ASSERT_EQ(pattern.size(), section.size());
  ASSERT_FALSE(section.empty());
  for (std::size_t i = 0; i < section.size(); ++i) {
    EXPECT_EQ(pattern[i].message, section[i].message) << "message " << i;
    const bool ending =
        (section[i].message.bytes[0] & 0xF0) == 0x80 || section[i].message.bytes[1] == 123;
    if (!ending) {  // the endings go out when the clock says
      EXPECT_EQ(pattern[i].due - pattern[0].due, section[i].due - section[0].due) << i;
    }
  }
}

TEST_F(PatternPlay, SoloedBassPlaysAloneForTheWholeSection) {
  TPartMix mix;
  mix.soloed[kBass] = true;
  playback.PlayPattern(kMainSlot, kVar1, mix, false);
  for (const RecordedMessage& m : recorder->Messages()) {
    EXPECT_EQ(m.message.bytes[0] & 0x0F, 10) << "a part other than the bass sounded";
  }
  EXPECT_THAT(BassNotes(), ElementsAre(1750ms));
  EXPECT_GE(clock.Now(), kBar);  // the silent parts keep the section's length
}

TEST_F(PatternPlay, AnotherPlayEndsItAndAChangeMeanwhileQueuesNothing) {
  host.At(kBar + 500ms, [&] { playback.PlaySection(kMainSlot, kFill1); });
  host.At(kBar + 700ms, [&] { playback.ChangePatternPlay(Muted(kBass), true); });
  playback.PlayPattern(kMainSlot, kVar1, {}, true);
  // Var1's drums program is 2, Fill1's 4: Var1 twice (cut in its second), then Fill1 once.
  std::vector<int> programs;
  for (const RecordedMessage& m : recorder->Messages()) {
    if (m.message.bytes[0] == 0xC9) programs.push_back(m.message.bytes[1]);
  }
  EXPECT_THAT(programs, ElementsAre(kVar1, kVar1, kFill1));
  EXPECT_THAT(BassNotes(), ElementsAre(1750ms, kBar + 500ms + 1750ms));
  EXPECT_EQ(playback.PlayingNow(), std::nullopt);
}

TEST_F(PatternPlay, AFileNotLoadedOrNoSectionPlaysNothing) {
  playback.SetStopFlag(true);
  playback.PlayPattern(kImportSlot, kVar1, {}, true);
  EXPECT_FALSE(playback.StopFlag());
  playback.PlayPattern(kMainSlot, -1, {}, true);
  playback.PlayPattern(-1, kVar1, {}, true);
  playback.ChangePatternPlay({}, true);
  clock.Advance(1s);
  EXPECT_THAT(recorder->Messages(), IsEmpty());
}

TEST_F(PatternPlay, ADeviceThatRefusesReportsWithTheBufferPrefixes) {
  recorder->FailCall(platform::MidiCall::kPrepare, platform::kMidiNotReady);
  playback.PlayPattern(kMainSlot, kVar1, {}, true);
  EXPECT_THAT(host.messages,
              ElementsAre("Prepare  " + platform::MidiErrorText(platform::kMidiNotReady)));
}

TEST_F(PatternPlay, PositionTellsTheSectionAndThePartOfEveryPlay) {
  // Play all's entries, each seen as the section it queued last (no latency here).
  std::vector<std::pair<int, int>> mismatches;
  host.everyWait = [&] {
    const std::optional<TPlayingPosition> now = playback.PlayingNow();
    if (now && (host.entries.empty() || now->section != host.entries.back())) {
      mismatches.emplace_back(host.entries.empty() ? -1 : host.entries.back(), now->section);
    }
  };
  playback.PlayAllCommand(kMainSlot);
  EXPECT_THAT(host.entries, ElementsAre(0, 2, 4, 2, 5, 3, 6, 3, 7, 2, 8));
  EXPECT_THAT(mismatches, IsEmpty());

  // A part preview: the bass's note after the wait of 350 sounds at the section's tick 350.
  host.everyWait = nullptr;
  std::optional<TPlayingPosition> inPreview;
  host.At(clock.Now() + 1760ms, [&] { inPreview = playback.PlayingNow(); });
  playback.PlayPart(kMainSlot, kVar1, kBass);
  EXPECT_EQ(inPreview, (TPlayingPosition{kMainSlot, kVar1, kBass, 352, 0}));
}

TEST_F(PatternPlay, AuditionSoundsTheNoteBrieflyWithThePartsSound) {
  playback.AuditionNote(kMainSlot, kVar1, kBass, 45, 77);
  // The clock runs on until the stream has played the audition to its end.
  for (int i = 0; i < 40; ++i) host.WaitForEvents();
  const std::vector<std::string> messages = MessagesFrom(0ms);
  ASSERT_GE(messages.size(), std::size_t{8});
  EXPECT_EQ(messages[0].substr(0, 2), "CA");  // the bass part's program change first
  EXPECT_THAT(DueTimes(0x9A, 45, 77), ElementsAre(0ms));
  // Ended a quarter of a second later (tempo 100: 5 ms a tick).
  EXPECT_THAT(DueTimes(0x9A, 45, 0), ElementsAre(250ms));
  EXPECT_FALSE(playback.PlayingNow());  // no play line for an audition
}

TEST_F(PatternPlay, AuditionIsNotHeardWhileAPlaySounds) {
  bool tried = false;
  host.At(500ms, [&] {
    playback.AuditionNote(kMainSlot, kVar1, kBass, 45, 77);
    tried = true;
  });
  host.At(kBar - 500ms, [&] { playback.Stop(); });
  playback.PlayPattern(kMainSlot, kVar1, {}, true);
  EXPECT_TRUE(tried);
  EXPECT_THAT(DueTimes(0x9A, 45, 77), IsEmpty());  // the loop played on undisturbed
  EXPECT_EQ(Kicks().size(), std::size_t{2});       // at 0 and 1 s, until the Stop at 1.5 s
}

}  // namespace
}  // namespace brondel::test
