// Reading held keys as a chord: every chord type at every root in every inversion (generated from
// the type table, read back), doubled notes and tensions, the hand-written sample, the ambiguous
// key sets of docs/CHORDS.md, two keys, one key, and the one-finger way.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "chords/chord_recognition.h"

namespace brondel::chords {
namespace {

constexpr int kC3 = 48;

// Keys named as a player reads them: "A2 C3 E3 G3" (C4 is middle C, 60).
std::vector<int> Keys(const std::string& names) {
  static const std::string kLetters = "C D EF G A B";
  std::vector<int> keys;
  std::istringstream in(names);
  std::string name;
  while (in >> name) {
    int pitch = static_cast<int>(kLetters.find(name[0]));
    std::size_t at = 1;
    if (name[at] == '#') ++pitch, ++at;
    if (name[at] == 'b') --pitch, ++at;
    keys.push_back(pitch + 12 * (std::stoi(name.substr(at)) + 1));
  }
  return keys;
}

std::string Read(const std::vector<int>& keys, TFingering fingering = TFingering::kFingered) {
  const std::optional<TChord> chord = RecognizeChord(keys, fingering);
  return chord ? ChordSymbolName(*chord) : "none";
}

std::string ReadNames(const std::string& names, TFingering fingering = TFingering::kFingered) {
  return Read(Keys(names), fingering);
}

// The chord played in an inversion: the tones from `inversion` on, the ones before it an octave
// higher, all from the root's key in the octave of C3.
std::vector<int> Voicing(const TChord& chord, std::size_t inversion) {
  const auto& tones = ChordTypes()[static_cast<std::size_t>(chord.type)].tones;
  std::vector<int> keys;
  for (std::size_t i = 0; i < tones.size(); ++i) {
    const std::size_t tone = (inversion + i) % tones.size();
    keys.push_back(kC3 + chord.root + tones[tone] + (tone < inversion ? 12 : 0));
  }
  return keys;
}

std::vector<TPitchClass> PitchClassesOf(const std::vector<int>& keys) {
  std::set<TPitchClass> pitches;
  for (int key : keys) pitches.insert(key % 12);
  return {pitches.begin(), pitches.end()};
}

TEST(ChordRecognition, AHandWrittenSampleReadsAsAPlayerNamesIt) {
  const std::vector<std::pair<std::string, std::string>> sample = {
      {"C3 E3 G3", "C"},
      {"E3 G3 C4", "C"},
      {"G2 C3 E3", "C"},
      {"A2 C3 E3", "Am"},
      {"C3 E3 A3", "Am"},
      {"G2 B2 D3 F3", "G7"},
      {"B2 D3 F3 G3", "G7"},
      {"F3 G3 B3 D4", "G7"},
      {"D3 F3 A3 C4", "Dm7"},
      {"F3 A3 C4 E4", "FM7"},
      {"C3 Eb3 Gb3 Bb3", "Cm7b5"},
      {"B2 D3 F3", "Bdim"},
      {"C3 E3 G#3", "Caug"},
      {"C3 F3 G3", "Csus4"},
      {"C3 F3 G3 Bb3", "C7sus4"},
      {"C3 D3 G3", "Csus2"},
      {"C3 E3 G3 A3", "C6"},
      {"C3 Eb3 G3 A3", "Cm6"},
      {"C3 D3 E3 G3", "Cadd9"},
      {"C3 E3 G3 Bb3 D4", "C9"},
      {"C3 Eb3 G3 B3", "CmM7"},
      {"C3 E3 Gb3 Bb3", "C7b5"},
      {"C3 E3 G#3 Bb3", "C7#5"},
      {"C3 Eb3 Gb3 A3", "Cdim7"},
      {"Bb2 D3 F3 Ab3", "A#7"},
      {"F#3 A#3 C#4", "F#"},
      {"E2 E3 G#3 B3 E4", "E"},
      // The fifth of a chord of four tones or more may be left out.
      {"C3 E3 Bb3", "C7"},
      {"D3 F3 C4", "Dm7"},
      {"C3 E3 Bb3 D4", "C9"},
      // Tensions on a chord with no type of their own.
      {"C3 E3 G3 B3 D4", "CM7"},
      {"C3 Eb3 G3 Bb3 D4", "Cm7"},
      {"C3 D3 Eb3 G3", "Cm"},
      {"G2 B2 D3 F3 Ab3", "G7"},
      {"G2 B2 D3 F3 A#3", "G7"},
      {"C3 E3 G3 F#4", "C"},
      {"D3 F3 A3 C4 G4", "Dm7"},
      {"G2 B2 D3 F3 E4", "G7"},
      {"C3 E3 G3 Bb3 A4", "C7"},
      {"C3 E3 Bb3 A4", "none"},
      // Sets that are no chord keep the chord held before.
      {"C3 C#3 D3", "none"},
      {"C3 E3 F3 G3", "none"},
      {"C3 Eb3 E3 G3", "none"},
  };
  for (const auto& [keys, name] : sample) EXPECT_EQ(ReadNames(keys), name) << keys;
}

// The inversions whose keys read as another chord of the table, at root C: the one whose root
// is played lowest (docs/CHORDS.md, the ambiguous key sets).
const std::map<std::pair<std::string, std::size_t>, std::string> kReadOtherwise = {
    {{"m7", 1}, "D#6"},      {{"m7b5", 1}, "D#m6"},  {{"dim7", 1}, "D#dim7"},
    {{"dim7", 2}, "F#dim7"}, {{"dim7", 3}, "Adim7"}, {{"aug", 1}, "Eaug"},
    {{"aug", 2}, "G#aug"},   {{"sus4", 1}, "Fsus2"}, {{"sus2", 1}, "Gsus4"},
    {{"sus2", 2}, "Gsus4"},  {{"6", 1}, "Am7"},      {{"6", 2}, "Am7"},
    {{"6", 3}, "Am7"},       {{"m6", 1}, "Am7b5"},   {{"m6", 2}, "Am7b5"},
    {{"m6", 3}, "Am7b5"},    {{"7b5", 1}, "F#7b5"},  {{"7b5", 2}, "F#7b5"},
};

TEST(ChordRecognition, EveryTypeAtEveryRootInEveryInversionReadsBack) {
  std::map<std::pair<std::string, std::size_t>, std::string> readOtherwise;
  for (std::size_t type = 0; type < ChordTypes().size(); ++type) {
    const std::string typeName(ChordTypes()[type].name);
    for (TPitchClass root = 0; root < kPitchClasses; ++root) {
      const TChord played{root, static_cast<int>(type), std::nullopt, false};
      for (std::size_t inversion = 0; inversion < ChordTypes()[type].tones.size(); ++inversion) {
        const std::vector<int> keys = Voicing(played, inversion);
        const std::optional<TChord> read = RecognizeChord(keys, TFingering::kFingered);
        const std::string what =
            ChordSymbolName(played) + " inversion " + std::to_string(inversion);
        ASSERT_TRUE(read) << what;
        EXPECT_EQ(ChordTonePitchClasses(*read), PitchClassesOf(keys)) << what;
        if (inversion == 0) {
          EXPECT_EQ(*read, played) << what;
        }
        if (*read == played) continue;
        // Transposed back to C, so that every root must give the same exceptions.
        const TChord atC{(read->root - root + 12) % 12, read->type, std::nullopt, false};
        const std::string name = ChordSymbolName(atC);
        const auto [entry, added] = readOtherwise.insert({{typeName, inversion}, name});
        EXPECT_EQ(entry->second, name) << what;
      }
    }
  }
  EXPECT_EQ(readOtherwise, kReadOtherwise);
}

TEST(ChordRecognition, DoubledNotesAndOctavesChangeNothing) {
  for (std::size_t type = 0; type < ChordTypes().size(); ++type) {
    for (TPitchClass root = 0; root < kPitchClasses; ++root) {
      const TChord played{root, static_cast<int>(type), std::nullopt, false};
      for (std::size_t inversion = 0; inversion < ChordTypes()[type].tones.size(); ++inversion) {
        std::vector<int> keys = Voicing(played, inversion);
        const std::string plain = Read(keys);
        // The lowest key doubled an octave down, every key an octave up, and the keys shuffled.
        keys.push_back(keys.front() - 12);
        for (std::size_t i = 0, n = keys.size() - 1; i < n; ++i) keys.push_back(keys[i] + 12);
        std::reverse(keys.begin(), keys.end());
        EXPECT_EQ(Read(keys), plain) << ChordSymbolName(played) << " inversion " << inversion;
      }
    }
  }
}

TEST(ChordRecognition, ANinthAboveEveryChordKeepsItsRootAndType) {
  // Where the keys with the ninth are the whole of another chord of the table, that chord: the
  // major triad's is add9, the seventh's 9; Caug with D is E7#5, Csus4 with D is G7sus4.
  const std::map<std::string, std::pair<int, std::string>> becomes = {
      {"", {0, "add9"}}, {"7", {0, "9"}}, {"aug", {4, "7#5"}}, {"sus4", {7, "7sus4"}}};
  for (std::size_t type = 0; type < ChordTypes().size(); ++type) {
    const auto& tones = ChordTypes()[type].tones;
    if (std::find(tones.begin(), tones.end(), 2) != tones.end()) continue;
    const std::string name(ChordTypes()[type].name);
    const auto [shift, expected] = becomes.contains(name) ? becomes.at(name) : std::pair{0, name};
    for (TPitchClass root = 0; root < kPitchClasses; ++root) {
      std::vector<int> keys = Voicing(TChord{root, static_cast<int>(type), std::nullopt, false}, 0);
      keys.push_back(kC3 + root + 14);
      const TChord chord{(root + shift) % 12, *ChordTypeNamed(expected), std::nullopt, false};
      EXPECT_EQ(Read(keys), ChordSymbolName(chord)) << name << " at " << root;
    }
  }
}

TEST(ChordRecognition, TheAmbiguousKeySetsPreferTheLowestKeyAsTheRoot) {
  // The table of docs/CHORDS.md: the same pitch classes, read by the lowest key.
  const std::vector<std::pair<std::string, std::string>> table = {
      {"C3 E3 G3 A3", "C6"},       {"A2 C3 E3 G3", "Am7"},     {"C3 Eb3 G3 A3", "Cm6"},
      {"A2 C3 Eb3 G3", "Am7b5"},   {"C3 Eb3 G3 Bb3", "Cm7"},   {"Eb3 G3 Bb3 C4", "D#6"},
      {"C3 Eb3 Gb3 Bb3", "Cm7b5"}, {"Eb3 Gb3 Bb3 C4", "D#m6"}, {"C3 F3 G3", "Csus4"},
      {"F3 G3 C4", "Fsus2"},       {"G2 C3 F3", "Csus4"},      {"C3 D3 G3", "Csus2"},
      {"G2 C3 D3", "Gsus4"},       {"D3 G3 C4", "Gsus4"},      {"C3 Eb3 Gb3 A3", "Cdim7"},
      {"Eb3 Gb3 A3 C4", "D#dim7"}, {"C3 E3 G#3", "Caug"},      {"E3 G#3 C4", "Eaug"},
      {"E3 G3 B3 D4", "Em7"},      {"C3 E3 G3 B3 D4", "CM7"},  {"E3 G3 B3 C4 D4", "CM7"},
      {"C3 D3 E3 G3", "Cadd9"},    {"E3 G3 C4 D4", "Cadd9"},   {"C3 E3 B3", "CM7"},
      {"E3 G3 A3 C4", "Am7"},      {"G2 A2 C3 E3", "Am7"},     {"Eb3 G3 A3 C4", "Am7b5"},
      {"G2 A2 C3 Eb3", "Am7b5"},   {"G2 C3 F3", "Csus4"},      {"Bb2 C3 E3 Gb3", "C7b5"},
      {"Gb2 Bb2 C3 E3", "F#7b5"},  {"C3 E3 G#3 D4", "E7#5"},   {"C3 F3 G3 D4", "G7sus4"},
      {"C3 E3 Gb3 Bb3", "C7b5"},   {"E3 Gb3 Bb3 C4", "F#7b5"},
  };
  for (const auto& [keys, name] : table) EXPECT_EQ(ReadNames(keys), name) << keys;
}

TEST(ChordRecognition, TwoKeysAFifthOrAThirdApartMakeTheirTriad) {
  for (TPitchClass root = 0; root < kPitchClasses; ++root) {
    const std::string major = ChordSymbolName(TChord{root, 0, std::nullopt, false});
    const std::string minor =
        ChordSymbolName(TChord{root, *ChordTypeNamed("m"), std::nullopt, false});
    const int key = kC3 + root;
    EXPECT_EQ(Read(std::vector<int>{key, key + 7}), major) << "fifth";
    EXPECT_EQ(Read(std::vector<int>{key + 7, key + 12}), major) << "fourth: the fifth inverted";
    EXPECT_EQ(Read(std::vector<int>{key, key + 4}), major) << "major third";
    EXPECT_EQ(Read(std::vector<int>{key + 4, key + 12}), major)
        << "minor sixth: the major third inverted";
    EXPECT_EQ(Read(std::vector<int>{key, key + 3}), minor) << "minor third";
    EXPECT_EQ(Read(std::vector<int>{key + 3, key + 12}), minor)
        << "major sixth: the minor third inverted";
    EXPECT_EQ(Read(std::vector<int>{key, key + 19, key + 12}), major) << "doubled";
    for (int other : {1, 2, 6, 10, 11}) {
      EXPECT_EQ(Read(std::vector<int>{key, key + other}), "none") << other << " semitones";
    }
  }
}

TEST(ChordRecognition, OneKeyIsItsMajorChordAndNoKeyNoChord) {
  for (int key = 0; key < 128; ++key) {
    EXPECT_EQ(Read(std::vector<int>{key}),
              ChordSymbolName(TChord{key % 12, 0, std::nullopt, false}))
        << key;
    EXPECT_EQ(Read(std::vector<int>{key}, TFingering::kOneFinger),
              ChordSymbolName(TChord{key % 12, 0, std::nullopt, false}))
        << key;
  }
  EXPECT_EQ(Read(std::vector<int>{}), "none");
  EXPECT_EQ(Read(std::vector<int>{}, TFingering::kOneFinger), "none");
}

TEST(ChordRecognition, OneFingerCountsTheKeysBelowTheRoot) {
  constexpr auto kOne = TFingering::kOneFinger;
  EXPECT_EQ(ReadNames("C3", kOne), "C");
  EXPECT_EQ(ReadNames("Bb2 C3", kOne), "Cm");
  EXPECT_EQ(ReadNames("C3 B2", kOne), "Cm");
  EXPECT_EQ(ReadNames("A2 Bb2 C3", kOne), "C7");
  EXPECT_EQ(ReadNames("G2 A2 Bb2 C3", kOne), "Cm7");
  EXPECT_EQ(ReadNames("E2 G2 A2 Bb2 C3", kOne), "Cm7");
  EXPECT_EQ(ReadNames("F#2 G2", kOne), "Gm");
  EXPECT_EQ(ReadNames("C3 C3 C2", kOne), "Cm") << "a repeated key counts once";
  // Keys a fingered chord would read otherwise: the highest key still names the root.
  EXPECT_EQ(ReadNames("C3 E3 G3", kOne), "G7");
  EXPECT_EQ(ReadNames("C3 G3", kOne), "Gm");
}

TEST(ChordRecognition, TensionsFollowTheChordsThird) {
  const int major = 0;
  const int minor = *ChordTypeNamed("m");
  const int seventh = *ChordTypeNamed("7");
  const int majorSeventh = *ChordTypeNamed("M7");
  const int sus4 = *ChordTypeNamed("sus4");
  for (int type : {major, minor, seventh, majorSeventh, sus4}) EXPECT_TRUE(AllowedTension(type, 2));
  EXPECT_FALSE(AllowedTension(major, 5));
  EXPECT_TRUE(AllowedTension(minor, 5));
  EXPECT_TRUE(AllowedTension(major, 6));
  EXPECT_FALSE(AllowedTension(minor, 6));
  EXPECT_FALSE(AllowedTension(*ChordTypeNamed("7b5"), 6)) << "the flat fifth is no perfect one";
  EXPECT_FALSE(AllowedTension(major, 9));
  EXPECT_TRUE(AllowedTension(majorSeventh, 9));
  EXPECT_TRUE(AllowedTension(*ChordTypeNamed("m7"), 9));
  for (int altered : {1, 3, 8}) {
    EXPECT_TRUE(AllowedTension(seventh, altered)) << altered;
    EXPECT_FALSE(AllowedTension(majorSeventh, altered)) << altered;
    EXPECT_FALSE(AllowedTension(*ChordTypeNamed("m7"), altered)) << altered;
  }
  for (int never : {0, 4, 7, 10, 11}) EXPECT_FALSE(AllowedTension(seventh, never)) << never;
}

}  // namespace
}  // namespace brondel::chords
