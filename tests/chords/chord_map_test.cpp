// Notes on chords: the break point, invert on and off, the slash bass, N.C., the drums; and the
// retrigger rule over timed notes.
#include <gtest/gtest.h>

#include <vector>

#include "chords/chord_map.h"

namespace brondel::chords {
namespace {

constexpr int kChord1 = 2;
constexpr std::uint8_t C3 = 48, E3 = 52, G3 = 55, C4 = 60, E4 = 64, G4 = 67, Bb4 = 70;

TChordSymbol Chord(const char* name) {
  return *ParseChordSymbol(name);
}

std::vector<int> Mapped(const TPartPlaySettings& settings, int part,
                        const std::vector<std::uint8_t>& keys, const char* chord) {
  std::vector<int> mapped;
  for (const std::uint8_t key : keys) {
    const std::optional<std::uint8_t> played = MapNote(settings, part, key, Chord(chord));
    mapped.push_back(played ? *played : -1);
  }
  return mapped;
}

TEST(MapNote, BreakPointFMovesRootsFromFDownAnOctave) {
  TPartPlaySettings breakF;
  breakF.breakPoint = 5;
  breakF.invert = false;
  for (const int part : {kBassPart, kChord1}) {
    EXPECT_EQ(Mapped(breakF, part, {C3, E3, G3}, "D"),
              (std::vector<int>{50, 54, 57}));  // D3 F#3 A3
    EXPECT_EQ(Mapped(breakF, part, {C3, E3, G3}, "E"),
              (std::vector<int>{52, 56, 59}));  // E3 G#3 B3
    EXPECT_EQ(Mapped(breakF, part, {C3, E3, G3}, "F"), (std::vector<int>{41, 45, 48}));  // F2 A2 C3
    EXPECT_EQ(Mapped(breakF, part, {C3, E3, G3}, "C"), (std::vector<int>{48, 52, 55}));
    EXPECT_EQ(Mapped(breakF, part, {C3, E3, G3}, "B"), (std::vector<int>{47, 51, 54}));
  }
  // The default break point F#: F still goes up, F# goes down.
  const TPlaySettings defaults = DefaultPlaySettings();
  EXPECT_EQ(Mapped(defaults[kBassPart], kBassPart, {C3}, "F"), std::vector<int>{53});
  EXPECT_EQ(Mapped(defaults[kBassPart], kBassPart, {C3}, "F#"), std::vector<int>{42});
  EXPECT_EQ(Mapped(defaults[kBassPart], kBassPart, {C3, E3}, "Am"), (std::vector<int>{45, 48}));
}

TEST(MapNote, InvertOffMovesTheVoicingInParallel) {
  TPartPlaySettings off = DefaultPlaySettings()[kChord1];
  off.invert = false;
  EXPECT_EQ(Mapped(off, kChord1, {C4, E4, G4}, "F"), (std::vector<int>{65, 69, 72}));  // F A C
  EXPECT_EQ(Mapped(off, kChord1, {C4, E4, G4, Bb4}, "G7"), (std::vector<int>{55, 59, 62, 65}));
}

TEST(MapNote, InvertOnTakesTheNearestInversion) {
  const TPartPlaySettings on = DefaultPlaySettings()[kChord1];
  ASSERT_TRUE(on.invert);
  EXPECT_EQ(Mapped(on, kChord1, {C4, E4, G4}, "F"), (std::vector<int>{60, 65, 69}));  // C F A
  EXPECT_EQ(Mapped(on, kChord1, {C4, E4, G4}, "C"), (std::vector<int>{60, 64, 67}));
  EXPECT_EQ(Mapped(on, kChord1, {C4, E4, G4}, "G"), (std::vector<int>{59, 62, 67}));   // B D G
  EXPECT_EQ(Mapped(on, kChord1, {C4, E4, G4}, "Am"), (std::vector<int>{60, 64, 69}));  // C E A
  EXPECT_EQ(Mapped(on, kChord1, {C4, E4, G4}, "Dm"), (std::vector<int>{62, 65, 69}));  // D F A
  // The same voices wherever they were recorded, in any order and octave.
  EXPECT_EQ(Mapped(on, kChord1, {G3, C4, E4}, "F"), (std::vector<int>{57, 60, 65}));  // A C F
  EXPECT_EQ(Mapped(on, kChord1, {E3, G4, C4 + 12}, "G"), (std::vector<int>{50, 67, 71}));
  // The seventh is no voice: it takes its table's tone at its nearest.
  EXPECT_EQ(Mapped(on, kChord1, {C4, E4, G4, Bb4}, "F7"), (std::vector<int>{60, 65, 69, 75}));
  EXPECT_EQ(Mapped(on, kChord1, {C4, E4, G4, 71}, "Dm7"), (std::vector<int>{62, 65, 69, 72}));
  // A triad keeps its third on a seventh chord.
  EXPECT_EQ(Mapped(on, kChord1, {E4, G4, C4 + 12}, "G7"), (std::vector<int>{62, 67, 71}));
  // A tie goes to the first assignment in the order C, E, G on root, third, fifth: on F# the
  // inversions a semitone and more up and down both move six semitones in all.
  EXPECT_EQ(Mapped(on, kChord1, {C4, E4, G4}, "F#"), (std::vector<int>{58, 61, 66}));
  // A note that is no voice takes its table's pitch class at its nearest: D, the ninth, on F is
  // G a fourth up; B on a triad is the root.
  EXPECT_EQ(Mapped(on, kChord1, {62, 71}, "F"), (std::vector<int>{67, 65}));
  // The break point has no say.
  TPartPlaySettings low = on;
  low.breakPoint = 0;
  EXPECT_EQ(Mapped(low, kChord1, {C4, E4, G4}, "F"), (std::vector<int>{60, 65, 69}));
}

TEST(MapNote, ASlashBassReplacesTheRootInTheBassOnly) {
  const TPlaySettings settings = DefaultPlaySettings();
  EXPECT_EQ(Mapped(settings[kBassPart], kBassPart, {C3, E3, G3}, "C/E"),
            (std::vector<int>{52, 52, 55}));
  EXPECT_EQ(Mapped(settings[kBassPart], kBassPart, {C3}, "C/G"), std::vector<int>{43});
  EXPECT_EQ(Mapped(settings[kBassPart], kBassPart, {C3, G3}, "G/B"), (std::vector<int>{47, 50}));
  EXPECT_EQ(Mapped(settings[kChord1], kChord1, {C4, E4, G4}, "C/E"),
            (std::vector<int>{60, 64, 67}));
}

TEST(MapNote, DrumsNeverMoveAndNoChordSilences) {
  const TPlaySettings settings = DefaultPlaySettings();
  EXPECT_EQ(Mapped(settings[kDrumsPart], kDrumsPart, {36, 38, 42}, "F#m7"),
            (std::vector<int>{36, 38, 42}));
  EXPECT_EQ(Mapped(settings[kDrumsPart], kDrumsPart, {36}, "N.C."), std::vector<int>{36});
  EXPECT_EQ(Mapped(settings[kBassPart], kBassPart, {C3}, "N.C."), std::vector<int>{-1});
  EXPECT_EQ(Mapped(settings[kChord1], kChord1, {C4}, "N.C."), std::vector<int>{-1});
}

TEST(MapNote, KeysStayWithinMidisRange) {
  TPartPlaySettings off = DefaultPlaySettings()[kChord1];
  off.invert = false;
  EXPECT_EQ(Mapped(off, kChord1, {127}, "F"), std::vector<int>{120});  // G9 to C10, back an octave
  EXPECT_EQ(Mapped(off, kChord1, {0}, "B"), std::vector<int>{11});     // C-1 to B-2, up an octave
}

TTimedNote Chord1Note(std::uint8_t key, std::uint64_t on, std::uint64_t off) {
  return {kChord1, key, 100, on, off};
}

std::vector<TTimedNote> Follow(const std::vector<TTimedNote>& notes,
                               const std::vector<TChordChange>& changes, bool retrigger) {
  TPlaySettings settings = DefaultPlaySettings();
  for (TPartPlaySettings& part : settings) part.retrigger = retrigger;
  return FollowChords(notes, changes, settings);
}

TEST(FollowChords, RetriggerRepitchesHeldNotesAtTheChange) {
  // G, the fifth of C, is the A of Am's nearest inversion.
  const std::vector<TChordChange> changes = {{0, Chord("C")}, {200, Chord("Am")}};
  EXPECT_EQ(Follow({Chord1Note(G4, 0, 400)}, changes, true),
            (std::vector<TTimedNote>{Chord1Note(G4, 0, 200), Chord1Note(69, 200, 400)}));
  EXPECT_EQ(Follow({Chord1Note(G4, 0, 400)}, changes, false),
            (std::vector<TTimedNote>{Chord1Note(G4, 0, 200)}));
  // A note that ends at the change, or starts there, is not held across it.
  EXPECT_EQ(Follow({Chord1Note(G4, 0, 200), Chord1Note(G4, 200, 300)}, changes, false),
            (std::vector<TTimedNote>{Chord1Note(G4, 0, 200), Chord1Note(69, 200, 300)}));
}

TEST(FollowChords, AKeyTheNewChordKeepsSoundsOn) {
  // G stays G on C/E and on Em: one note until F takes it to A.
  const std::vector<TChordChange> changes = {
      {0, Chord("C")}, {100, Chord("C/E")}, {200, Chord("Em")}, {300, Chord("F")}};
  EXPECT_EQ(Follow({Chord1Note(G4, 50, 400)}, changes, true),
            (std::vector<TTimedNote>{Chord1Note(G4, 50, 300), Chord1Note(69, 300, 400)}));
}

TEST(FollowChords, NoChordSilencesAndTheNextChordBringsBack) {
  const std::vector<TChordChange> changes = {
      {0, Chord("C")}, {100, Chord("N.C.")}, {200, Chord("F")}};
  EXPECT_EQ(Follow({Chord1Note(E4, 0, 400)}, changes, true),
            (std::vector<TTimedNote>{Chord1Note(E4, 0, 100), Chord1Note(65, 200, 400)}));
  EXPECT_EQ(Follow({Chord1Note(E4, 0, 400)}, changes, false),
            (std::vector<TTimedNote>{Chord1Note(E4, 0, 100)}));
  EXPECT_EQ(Follow({Chord1Note(E4, 120, 150)}, changes, true), std::vector<TTimedNote>{});
}

TEST(FollowChords, DrumsAndNotesBeforeTheFirstChangeAreAsRecorded) {
  const TTimedNote kick{kDrumsPart, 36, 120, 0, 500};
  const std::vector<TChordChange> changes = {{100, Chord("D")}, {300, Chord("N.C.")}};
  EXPECT_EQ(Follow({kick, Chord1Note(C4, 0, 50)}, changes, true),
            (std::vector<TTimedNote>{kick, Chord1Note(C4, 0, 50)}));
  // Started before the first change and held across it: re-pitched there.
  EXPECT_EQ(Follow({Chord1Note(C4, 0, 200)}, changes, true),
            (std::vector<TTimedNote>{Chord1Note(C4, 0, 100), Chord1Note(62, 100, 200)}));
}

}  // namespace
}  // namespace brondel::chords
