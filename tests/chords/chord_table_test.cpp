// The chord types' tables: what C, E, G, B (and Bb) and D play on every type at all twelve
// roots, written out note by note; the spellings a chart may use; names printed and read back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chords/chord.h"

namespace brondel::chords {
namespace {

struct TTypeExpectation {
  const char* type;
  // At the roots C, C#, ... B: what the recorded C, E, G, B and D play.
  std::vector<std::string> atRoots;
};

// Written out from the chords' spelling (root, third, fifth, seventh or what stands for it,
// ninth), not from the program's tables.
const std::vector<TTypeExpectation> kExpectations = {
    {"",
     {"C E G C D", "C# F G# C# D#", "D F# A D E", "D# G A# D# F", "E G# B E F#", "F A C F G",
      "F# A# C# F# G#", "G B D G A", "G# C D# G# A#", "A C# E A B", "A# D F A# C", "B D# F# B C#"}},
    {"m",
     {"C D# G C D", "C# E G# C# D#", "D F A D E", "D# F# A# D# F", "E G B E F#", "F G# C F G",
      "F# A C# F# G#", "G A# D G A", "G# B D# G# A#", "A C E A B", "A# C# F A# C", "B D F# B C#"}},
    {"7",
     {"C E G A# D", "C# F G# B D#", "D F# A C E", "D# G A# C# F", "E G# B D F#", "F A C D# G",
      "F# A# C# E G#", "G B D F A", "G# C D# F# A#", "A C# E G B", "A# D F G# C", "B D# F# A C#"}},
    {"M7",
     {"C E G B D", "C# F G# C D#", "D F# A C# E", "D# G A# D F", "E G# B D# F#", "F A C E G",
      "F# A# C# F G#", "G B D F# A", "G# C D# G A#", "A C# E G# B", "A# D F A C", "B D# F# A# C#"}},
    {"m7",
     {"C D# G A# D", "C# E G# B D#", "D F A C E", "D# F# A# C# F", "E G B D F#", "F G# C D# G",
      "F# A C# E G#", "G A# D F A", "G# B D# F# A#", "A C E G B", "A# C# F G# C", "B D F# A C#"}},
    {"m7b5",
     {"C D# F# A# D", "C# E G B D#", "D F G# C E", "D# F# A C# F", "E G A# D F#", "F G# B D# G",
      "F# A C E G#", "G A# C# F A", "G# B D F# A#", "A C D# G B", "A# C# E G# C", "B D F A C#"}},
    {"dim",
     {"C D# F# C D", "C# E G C# D#", "D F G# D E", "D# F# A D# F", "E G A# E F#", "F G# B F G",
      "F# A C F# G#", "G A# C# G A", "G# B D G# A#", "A C D# A B", "A# C# E A# C", "B D F B C#"}},
    {"dim7",
     {"C D# F# A D", "C# E G A# D#", "D F G# B E", "D# F# A C F", "E G A# C# F#", "F G# B D G",
      "F# A C D# G#", "G A# C# E A", "G# B D F A#", "A C D# F# B", "A# C# E G C", "B D F G# C#"}},
    {"aug",
     {"C E G# C D", "C# F A C# D#", "D F# A# D E", "D# G B D# F", "E G# C E F#", "F A C# F G",
      "F# A# D F# G#", "G B D# G A", "G# C E G# A#", "A C# F A B", "A# D F# A# C", "B D# G B C#"}},
    {"sus4",
     {"C F G C D", "C# F# G# C# D#", "D G A D E", "D# G# A# D# F", "E A B E F#", "F A# C F G",
      "F# B C# F# G#", "G C D G A", "G# C# D# G# A#", "A D E A B", "A# D# F A# C", "B E F# B C#"}},
    {"7sus4",
     {"C F G A# D", "C# F# G# B D#", "D G A C E", "D# G# A# C# F", "E A B D F#", "F A# C D# G",
      "F# B C# E G#", "G C D F A", "G# C# D# F# A#", "A D E G B", "A# D# F G# C", "B E F# A C#"}},
    {"sus2",
     {"C D G C D", "C# D# G# C# D#", "D E A D E", "D# F A# D# F", "E F# B E F#", "F G C F G",
      "F# G# C# F# G#", "G A D G A", "G# A# D# G# A#", "A B E A B", "A# C F A# C", "B C# F# B C#"}},
    {"6",
     {"C E G A D", "C# F G# A# D#", "D F# A B E", "D# G A# C F", "E G# B C# F#", "F A C D G",
      "F# A# C# D# G#", "G B D E A", "G# C D# F A#", "A C# E F# B", "A# D F G C", "B D# F# G# C#"}},
    {"m6",
     {"C D# G A D", "C# E G# A# D#", "D F A B E", "D# F# A# C F", "E G B C# F#", "F G# C D G",
      "F# A C# D# G#", "G A# D E A", "G# B D# F A#", "A C E F# B", "A# C# F G C", "B D F# G# C#"}},
    {"add9",
     {"C E G C D", "C# F G# C# D#", "D F# A D E", "D# G A# D# F", "E G# B E F#", "F A C F G",
      "F# A# C# F# G#", "G B D G A", "G# C D# G# A#", "A C# E A B", "A# D F A# C", "B D# F# B C#"}},
    {"9",
     {"C E G A# D", "C# F G# B D#", "D F# A C E", "D# G A# C# F", "E G# B D F#", "F A C D# G",
      "F# A# C# E G#", "G B D F A", "G# C D# F# A#", "A C# E G B", "A# D F G# C", "B D# F# A C#"}},
    {"mM7",
     {"C D# G B D", "C# E G# C D#", "D F A C# E", "D# F# A# D F", "E G B D# F#", "F G# C E G",
      "F# A C# F G#", "G A# D F# A", "G# B D# G A#", "A C E G# B", "A# C# F A C", "B D F# A# C#"}},
    {"7b5",
     {"C E F# A# D", "C# F G B D#", "D F# G# C E", "D# G A C# F", "E G# A# D F#", "F A B D# G",
      "F# A# C E G#", "G B C# F A", "G# C D F# A#", "A C# D# G B", "A# D E G# C", "B D# F A C#"}},
    {"7#5",
     {"C E G# A# D", "C# F A B D#", "D F# A# C E", "D# G B C# F", "E G# C D F#", "F A C# D# G",
      "F# A# D E G#", "G B D# F A", "G# C E F# A#", "A C# F G B", "A# D F# G# C", "B D# G A C#"}},
};

std::string Played(const TChord& chord, std::vector<TPitchClass> sources) {
  std::string played;
  for (const TPitchClass source : sources) {
    if (!played.empty()) played += ' ';
    played += PitchClassName(MappedPitchClass(chord, source));
  }
  return played;
}

constexpr TPitchClass C = 0, D = 2, E = 4, G = 7, Bb = 10, B = 11;

TEST(ChordTables, EveryTypeAtEveryRootPlaysItsTones) {
  ASSERT_EQ(ChordTypes().size(), kExpectations.size());
  for (const TTypeExpectation& expected : kExpectations) {
    const std::optional<int> type = ChordTypeNamed(expected.type);
    ASSERT_TRUE(type) << expected.type;
    for (TPitchClass root = 0; root < kPitchClasses; ++root) {
      const TChord chord{root, *type, {}, false};
      const std::string name = ChordSymbolName(chord);
      EXPECT_EQ(Played(chord, {C, E, G, B, D}), expected.atRoots[static_cast<std::size_t>(root)])
          << name;
      // Bb stands for the seventh as B does (or for the octave or sixth where there is none).
      EXPECT_EQ(Played(chord, {Bb}), Played(chord, {B})) << name;
    }
  }
}

TEST(ChordTables, TheOtherNotesFollowTheChordsScale) {
  const auto played = [](const char* name, TPitchClass source) {
    return Played(**ParseChordSymbol(name), {source});
  };
  EXPECT_EQ(played("Am", 9), "F");     // aeolian: A is the minor sixth
  EXPECT_EQ(played("Dm7", 9), "B");    // dorian: the major sixth
  EXPECT_EQ(played("Bm7b5", 7), "F");  // G, the fifth, flattened
  EXPECT_EQ(played("Bm7b5", 9), "G");  // locrian: the minor sixth
  EXPECT_EQ(played("G7", 5), "C");     // the fourth
  EXPECT_EQ(played("E7", 1), "F");     // C#: a semitone above the root
  EXPECT_EQ(played("Caug", 8), "A");   // G#: a semitone above the raised fifth
  EXPECT_EQ(played("Csus4", 4), "F");  // E: the suspended fourth
  EXPECT_EQ(played("Csus2", 4), "D");  // E: the suspended second
  // Every entry stays within two semitones of the note recorded, so no note leaps.
  for (const TChordType& type : ChordTypes()) {
    for (TPitchClass source = 0; source < kPitchClasses; ++source) {
      EXPECT_LE(std::abs(type.map[static_cast<std::size_t>(source)] - source), 2)
          << type.name << " " << source;
    }
  }
}

TEST(ChordNames, CommonSpellingsReadAsOneType) {
  const std::vector<std::pair<std::vector<const char*>, const char*>> groups = {
      {{"C", "Cmaj", "CM", "Cmajor"}, "C"},
      {{"Cm", "Cmin", "C-", "Cminor"}, "Cm"},
      {{"CM7", "Cmaj7", "CMaj7", "Cma7", "Cj7"}, "CM7"},
      {{"Cm7", "Cmin7", "C-7"}, "Cm7"},
      {{"Cm7b5", "Cm7-5", "C-7b5", "Ch7"}, "Cm7b5"},
      {{"Cdim", "Co"}, "Cdim"},
      {{"Cdim7", "Co7"}, "Cdim7"},
      {{"Caug", "C+", "C+5"}, "Caug"},
      {{"Csus4", "Csus"}, "Csus4"},
      {{"C7sus4", "C7sus"}, "C7sus4"},
      {{"CmM7", "Cmmaj7", "Cm(maj7)", "C-M7"}, "CmM7"},
      {{"C7#5", "C7+5", "Caug7", "C+7"}, "C7#5"},
      {{"C7b5", "C7-5"}, "C7b5"},
      {{"Cadd9", "Cadd2"}, "Cadd9"},
      {{"N.C.", "NC"}, "N.C."},
  };
  for (const auto& [spellings, name] : groups) {
    for (const char* spelling : spellings) {
      const std::optional<TChordSymbol> read = ParseChordSymbol(spelling);
      ASSERT_TRUE(read) << spelling;
      EXPECT_EQ(ChordSymbolName(*read), name) << spelling;
    }
  }
}

TEST(ChordNames, RootsAccidentalsAndSlashBass) {
  EXPECT_EQ(**ParseChordSymbol("Bb7"), (TChord{10, *ChordTypeNamed("7"), {}, true}));
  EXPECT_EQ(ChordSymbolName(*ParseChordSymbol("Bb7")), "Bb7");
  EXPECT_EQ(ChordSymbolName(*ParseChordSymbol("A#7")), "A#7");
  EXPECT_EQ(ChordSymbolName(*ParseChordSymbol("Cb")), "B");  // a root past B wraps round
  EXPECT_EQ(ChordSymbolName(*ParseChordSymbol("E#m")), "Fm");
  EXPECT_EQ(**ParseChordSymbol("C/E"), (TChord{0, 0, 4, false}));
  EXPECT_EQ(ChordSymbolName(*ParseChordSymbol("Dm7/C")), "Dm7/C");
  EXPECT_EQ(ChordSymbolName(*ParseChordSymbol("Ab/Eb")), "Ab/Eb");
  for (const char* wrong : {"", "c", "H", "C#b", "Cx", "Cm7b", "C/", "C/H", "C/E7", "Cmaj9", "N.C",
                            "C##", "m7", "/E"}) {
    EXPECT_FALSE(ParseChordSymbol(wrong)) << wrong;
  }
}

TEST(ChordNames, EveryChordReadsBackFromItsName) {
  for (std::size_t type = 0; type < ChordTypes().size(); ++type) {
    for (TPitchClass root = 0; root < kPitchClasses; ++root) {
      for (const bool flats : {false, true}) {
        for (const std::optional<TPitchClass> bass :
             {std::optional<TPitchClass>{}, std::optional<TPitchClass>{(root + 4) % 12}}) {
          const TChord chord{root, static_cast<int>(type), bass, flats};
          const std::string name = ChordSymbolName(chord);
          const std::optional<TChordSymbol> read = ParseChordSymbol(name);
          ASSERT_TRUE(read) << name;
          EXPECT_EQ(ChordSymbolName(*read), name);
          EXPECT_EQ((*read)->root, root);
          EXPECT_EQ((*read)->type, static_cast<int>(type));
          EXPECT_EQ((*read)->bass, bass);
        }
      }
    }
  }
}

TEST(ChordTables, TablePitchClassesAreTheImageAndTheBass) {
  // C major's table: every pitch class but A# and B, which no recorded note reaches.
  const TChord c{};
  EXPECT_EQ(TablePitchClasses(c), (std::vector<TPitchClass>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(TablePitchClasses(TChord{0, 0, 11, false}),
            (std::vector<TPitchClass>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11}));
}

}  // namespace
}  // namespace brondel::chords
