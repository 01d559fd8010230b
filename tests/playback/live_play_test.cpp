// Play along on the real stream engine: a recording device on a manual clock that the host
// moves on by 10 ms at every wait, running scripted steps once their time has come. Every
// section lasts one bar of 400 ticks in 4/4 at tempo 100 (5 ms a tick): 2 s a bar, 500 ms a
// beat, the slice the stream asks for. Each section's drums strike key 30 + its number at the
// bar's start, so the recording tells which section played each bar; the bass holds C3 and
// Chord1 holds C4-E4-G4 through the whole bar.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "chords/chord.h"
#include "platform/midi/testing/midi_testing.h"
#include "playback/playback.h"
#include "tests/playback/clock_host.h"
#include "tests/playback/one_bar_sections.h"
#include "tests/support/recorded_notes.h"
#include "tests/support/test_rhythm.h"

namespace brondel::test {
namespace {

using namespace std::chrono_literals;
using platform::MidiMicros;
using platform::RecordedMessage;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int kIntro1 = 0, kVar1 = 2, kVar2 = 3, kFill1 = 4, kFill2 = 5, kEnd1 = 8;
constexpr MidiMicros kBar = kOneBar;
constexpr MidiMicros kTick = 5ms;

chords::TChordSymbol Chord(const char* name) {
  return *chords::ParseChordSymbol(name);
}

class LivePlay : public OneBarLivePlay {
 protected:
  /// Every note-on has a note-off after it, per channel and key, by the end of the recording.
  void ExpectEveryNoteEnded() const {
    for (const auto& [channel, key] : NotesLeftOn(*recorder)) {
      ADD_FAILURE() << "channel " << channel << " key " << key << " left on";
    }
  }
};

TEST_F(LivePlay, AChordChangeMidBarRepitchesTheHeldNotesThereWithRetriggerOn) {
  host.At(1000ms, [&] { playback.Live().SetChord(Chord("F")); });
  host.At(3000ms, [&] { playback.Stop(); });
  playback.PlayLive({});
  // C major until the change; at once, the bass moves to F3 and the chord to its nearest
  // inversion C4-F4-A4 (C4 stays, not cut).
  const MidiMicros change = 1000ms;
  EXPECT_THAT(NoteOns(kBassOn),
              ElementsAre(std::pair{0us, 48}, std::pair{change, 53}, std::pair{kBar, 53}));
  EXPECT_THAT(NoteOns(kChordOn),
              ElementsAre(std::pair{0us, 60}, std::pair{0us, 64}, std::pair{0us, 67},
                          std::pair{change, 65}, std::pair{change, 69}, std::pair{kBar, 60},
                          std::pair{kBar, 65}, std::pair{kBar, 69}));
  EXPECT_EQ(NoteOffs(kBassOn, 48).front(), change);
  EXPECT_EQ(NoteOffs(kChordOn, 64).front(), change);
  EXPECT_EQ(NoteOffs(kChordOn, 60).front(), kBar) << "a key the new chord keeps sounds on";
  EXPECT_THAT(BarSections(), ElementsAre(kVar1, kVar1));
  ExpectEveryNoteEnded();
}

TEST_F(LivePlay, WithAnOutputLatencyTheChangeIsSentAnewFromTheTickTheDeviceSounds) {
  // The device plays each message 30 ms after it is sent: what was sent in the last 30 ms has
  // not been heard, so the change takes effect from the first tick it sounds, not the first
  // tick the stream has yet to send.
  recorder->SetOutputLatency(30ms);
  host.At(1000ms, [&] { playback.Live().SetChord(Chord("F")); });
  host.At(3000ms, [&] { playback.Stop(); });
  playback.PlayLive({});
  // Sent at once, meant for 970 ms: heard 30 ms later, at the change.
  const MidiMicros heard = 970ms;
  EXPECT_THAT(NoteOns(kBassOn),
              ElementsAre(std::pair{0us, 48}, std::pair{heard, 53}, std::pair{kBar, 53}));
  EXPECT_EQ(NoteOffs(kBassOn, 48).front(), heard);
  ExpectEveryNoteEnded();
}

TEST_F(LivePlay, AChordChangeMidBarCutsTheHeldNotesWithRetriggerOff) {
  TPlayback::TLiveStart start;
  for (auto& part : start.play) part.retrigger = false;
  host.At(1000ms, [&] { playback.Live().SetChord(Chord("Dm")); });
  host.At(3000ms, [&] { playback.Stop(); });
  playback.PlayLive(start);
  const MidiMicros change = 1000ms;
  // Cut at the change; the next bar starts on D minor: bass D3, the chord D4-F4-A4.
  EXPECT_THAT(NoteOns(kBassOn), ElementsAre(std::pair{0us, 48}, std::pair{kBar, 50}));
  EXPECT_THAT(NoteOns(kChordOn),
              ElementsAre(std::pair{0us, 60}, std::pair{0us, 64}, std::pair{0us, 67},
                          std::pair{kBar, 62}, std::pair{kBar, 65}, std::pair{kBar, 69}));
  EXPECT_EQ(NoteOffs(kBassOn, 48).front(), change);
  for (int key : {60, 64, 67}) EXPECT_EQ(NoteOffs(kChordOn, key).front(), change) << key;
  ExpectEveryNoteEnded();
}

TEST_F(LivePlay, NoChordSilencesBassAndChordsButNotTheDrums) {
  host.At(2500ms, [&] { playback.Live().SetChord(std::nullopt); });
  host.At(5000ms, [&] { playback.Stop(); });
  playback.PlayLive({});
  EXPECT_EQ(NoteOffs(kBassOn, 48)[1], 2500ms);
  EXPECT_THAT(NoteOns(kBassOn), ElementsAre(std::pair{0us, 48}, std::pair{kBar, 48}));
  EXPECT_THAT(BarSections(), ElementsAre(kVar1, kVar1, kVar1));
  ExpectEveryNoteEnded();
}

TEST_F(LivePlay, AFillAskedInBar3StartsAtBar4AndTheVariationResumesAfterIt) {
  host.At(2 * kBar + 700ms, [&] { playback.Live().AskSection(chords::kAskFill); });
  host.At(5 * kBar + 100ms, [&] { playback.Stop(); });
  playback.PlayLive({});
  EXPECT_THAT(BarSections(), ElementsAre(kVar1, kVar1, kVar1, kFill1, kVar1, kVar1));
  // The fill's notes play under the chord and start on its bar line.
  EXPECT_EQ(NoteOns(kDrumOn)[3].first, 3 * kBar);
  ExpectEveryNoteEnded();
}

TEST_F(LivePlay, AFillThenTheOtherVariationPlaysTheFillLeadingThere) {
  host.At(700ms, [&] {
    playback.Live().AskSection(chords::kAskFill);
    playback.Live().AskSection(kVar2);
  });
  host.At(3 * kBar + 100ms, [&] { playback.Stop(); });
  playback.PlayLive({});
  EXPECT_THAT(BarSections(), ElementsAre(kVar1, kFill2, kVar2, kVar2));
}

TEST_F(LivePlay, AnIntroLeadsIntoTheVariationAndAnEndingEndsThePlay) {
  host.At(kBar + 300ms, [&] { playback.Live().AskSection(kEnd1); });
  playback.PlayLive({.section = kIntro1});
  // The play returned by itself once the ending had played.
  EXPECT_THAT(BarSections(), ElementsAre(kIntro1, kVar1, kEnd1));
  EXPECT_LT(clock.Now(), 4 * kBar);
  ExpectEveryNoteEnded();
  EXPECT_THAT(host.messages, IsEmpty());
}

TEST_F(LivePlay, SyncStartWaitsForTheFirstChord) {
  host.At(1300ms, [&] {
    EXPECT_TRUE(recorder->Messages().empty()) << "nothing plays before the first chord";
    ASSERT_TRUE(playback.LiveNow());
    EXPECT_TRUE(playback.LiveNow()->waiting);
    playback.Live().SetChord(Chord("G"));
  });
  host.At(1300ms + kBar + 500ms, [&] { playback.Stop(); });
  playback.PlayLive({.syncStart = true});
  // Bar 1 starts on the first tick not yet played when the chord came, its first messages at
  // once with the chord; bar 2 a bar after that tick.
  const MidiMicros start = 1300ms;
  ASSERT_FALSE(NoteOns(kDrumOn).empty());
  EXPECT_EQ(NoteOns(kDrumOn).front().first, start);
  EXPECT_EQ(NoteOns(kDrumOn)[1].first, start + kTick + kBar);
  // G with break point F#: down a fourth, the chord its nearest inversion B3-D4-G4.
  EXPECT_EQ(NoteOns(kBassOn).front(), std::pair(start, 43));
  ExpectEveryNoteEnded();
}

TEST_F(LivePlay, StopEndsEveryNoteAndTheControlStopsSteering) {
  host.At(700ms, [&] { playback.Live().SetChord(Chord("A7")); });
  host.At(1200ms, [&] { playback.Stop(); });
  playback.PlayLive({});
  ExpectEveryNoteEnded();
  EXPECT_GT(recorder->SilenceCount(), 0);
  EXPECT_FALSE(playback.LiveNow());
  const std::size_t recorded = recorder->Messages().size();
  playback.Live().SetChord(Chord("C"));  // kept for the next play, nothing sent
  clock.Advance(kBar);
  EXPECT_EQ(recorder->Messages().size(), recorded);
  EXPECT_EQ(playback.Live().Chord(), Chord("C"));
}

TEST_F(LivePlay, ThePlayLineFollowsTheSectionPlaying) {
  std::vector<std::optional<TPlayingPosition>> seen;
  host.At(100ms, [&] { playback.Live().AskSection(kFill1); });
  host.At(kBar + 1000ms, [&] { seen.push_back(playback.PlayingNow()); });
  host.At(2 * kBar + 500ms, [&] {
    seen.push_back(playback.PlayingNow());
    playback.Stop();
  });
  playback.PlayLive({});
  ASSERT_EQ(seen.size(), 2u);
  ASSERT_TRUE(seen[0] && seen[1]);
  EXPECT_EQ(seen[0]->section, kFill1);
  EXPECT_EQ(seen[0]->tick, 200u);
  EXPECT_EQ(seen[1]->section, kVar1);
  EXPECT_EQ(seen[1]->tick, 100u);
}

TEST_F(LivePlay, ASectionWithoutBarsIsRefused) {
  docs.slots[kMainSlot].header.SetBarCount(kVar1, 0);
  playback.PlayLive({});
  EXPECT_THAT(host.messages, ElementsAre("Var1 has no bars"));
  EXPECT_TRUE(recorder->Messages().empty());
}

}  // namespace
}  // namespace brondel::test
