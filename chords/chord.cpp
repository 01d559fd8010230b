#include "chords/chord.h"

#include <algorithm>

namespace brondel::chords {

namespace {

//                      recorded:  C  C# D  Eb E  F  F# G  G# A  Bb  B
constexpr std::array<int, 12> kMajorMap = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 12};
constexpr std::array<int, 12> kMinorMap = {0, 1, 2, 3, 3, 5, 6, 7, 8, 8, 12, 12};
constexpr std::array<int, 12> kSeventhMap = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10};

// The chromatic notes keep their place a semitone above the scale note below them; D, F and A
// go to the second, fourth and sixth of the chord's scale (aeolian for a minor triad, dorian
// for a minor seventh or sixth, mixolydian for a dominant, locrian with a major second for the
// half-diminished, the diminished scale's lower notes for dim and dim7).
const std::vector<TChordType> kChordTypes = {
    {"", {"", "maj", "M", "major"}, {0, 4, 7}, kMajorMap},
    {"m", {"m", "min", "-", "minor"}, {0, 3, 7}, kMinorMap},
    {"7", {"7", "dom7"}, {0, 4, 7, 10}, kSeventhMap},
    {"M7",
     {"M7", "maj7", "Maj7", "ma7", "j7"},
     {0, 4, 7, 11},
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 11}},
    {"m7", {"m7", "min7", "-7"}, {0, 3, 7, 10}, {0, 1, 2, 3, 3, 5, 6, 7, 8, 9, 10, 10}},
    {"m7b5",
     {"m7b5", "m7-5", "min7b5", "-7b5", "h7"},
     {0, 3, 6, 10},
     {0, 1, 2, 3, 3, 5, 6, 6, 7, 8, 10, 10}},
    {"dim", {"dim", "o"}, {0, 3, 6}, {0, 1, 2, 3, 3, 5, 6, 6, 7, 8, 12, 12}},
    {"dim7", {"dim7", "o7"}, {0, 3, 6, 9}, {0, 1, 2, 3, 3, 5, 6, 6, 7, 8, 9, 9}},
    {"aug", {"aug", "+", "+5"}, {0, 4, 8}, {0, 1, 2, 3, 4, 5, 6, 8, 9, 9, 12, 12}},
    {"sus4", {"sus4", "sus"}, {0, 5, 7}, {0, 1, 2, 3, 5, 5, 6, 7, 8, 9, 12, 12}},
    {"7sus4", {"7sus4", "7sus"}, {0, 5, 7, 10}, {0, 1, 2, 3, 5, 5, 6, 7, 8, 9, 10, 10}},
    {"sus2", {"sus2"}, {0, 2, 7}, {0, 1, 2, 3, 2, 5, 6, 7, 8, 9, 12, 12}},
    {"6", {"6", "maj6", "M6"}, {0, 4, 7, 9}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9}},
    {"m6", {"m6", "min6", "-6"}, {0, 3, 7, 9}, {0, 1, 2, 3, 3, 5, 6, 7, 8, 9, 9, 9}},
    {"add9", {"add9", "add2"}, {0, 2, 4, 7}, kMajorMap},
    {"9", {"9", "dom9"}, {0, 2, 4, 7, 10}, kSeventhMap},
    {"mM7",
     {"mM7", "mmaj7", "mMaj7", "m(maj7)", "minmaj7", "-M7"},
     {0, 3, 7, 11},
     {0, 1, 2, 3, 3, 5, 6, 7, 8, 9, 11, 11}},
    {"7b5", {"7b5", "7-5"}, {0, 4, 6, 10}, {0, 1, 2, 3, 4, 5, 6, 6, 7, 9, 10, 10}},
    {"7#5", {"7#5", "7+5", "aug7", "+7"}, {0, 4, 8, 10}, {0, 1, 2, 3, 4, 5, 6, 8, 9, 9, 10, 10}},
};

constexpr std::array<std::string_view, kPitchClasses> kSharpNames = {
    "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
constexpr std::array<std::string_view, kPitchClasses> kFlatNames = {
    "C", "Db", "D", "Eb", "E", "F", "Gb", "G", "Ab", "A", "Bb", "B"};

constexpr std::array<int, 7> kLetterPitch = {9, 11, 0, 2, 4, 5, 7};  // A to G

TPitchClass Wrapped(int pitch) {
  return ((pitch % kPitchClasses) + kPitchClasses) % kPitchClasses;
}

// A note name at the front of `text` (a letter A to G, then at most one # or b), taken off it.
struct TNoteRead {
  TPitchClass pitch = 0;
  bool flat = false;
};
std::optional<TNoteRead> TakeNote(std::string_view& text) {
  if (text.empty() || text[0] < 'A' || text[0] > 'G') return std::nullopt;
  TNoteRead note{kLetterPitch[static_cast<std::size_t>(text[0] - 'A')], false};
  text.remove_prefix(1);
  if (!text.empty() && (text[0] == '#' || text[0] == 'b')) {
    note.flat = text[0] == 'b';
    note.pitch = Wrapped(note.pitch + (note.flat ? -1 : 1));
    text.remove_prefix(1);
  }
  return note;
}

std::optional<int> TypeSpelled(std::string_view spelling) {
  for (std::size_t t = 0; t < kChordTypes.size(); ++t) {
    const auto& spellings = kChordTypes[t].spellings;
    if (std::find(spellings.begin(), spellings.end(), spelling) != spellings.end()) {
      return static_cast<int>(t);
    }
  }
  return std::nullopt;
}

}  // namespace

const std::vector<TChordType>& ChordTypes() {
  return kChordTypes;
}

std::optional<int> ChordTypeNamed(std::string_view name) {
  for (std::size_t t = 0; t < kChordTypes.size(); ++t) {
    if (kChordTypes[t].name == name) return static_cast<int>(t);
  }
  return std::nullopt;
}

std::optional<TChordSymbol> ParseChordSymbol(std::string_view text) {
  if (text == kNoChordName || text == "NC") return TChordSymbol{};
  const std::optional<TNoteRead> root = TakeNote(text);
  if (!root) return std::nullopt;
  std::optional<TNoteRead> bass;
  const std::size_t slash = text.find('/');
  if (slash != std::string_view::npos) {
    std::string_view bassText = text.substr(slash + 1);
    bass = TakeNote(bassText);
    if (!bass || !bassText.empty()) return std::nullopt;
    text = text.substr(0, slash);
  }
  const std::optional<int> type = TypeSpelled(text);
  if (!type) return std::nullopt;
  TChord chord{root->pitch, *type, std::nullopt, root->flat};
  if (bass) {
    chord.bass = bass->pitch;
    chord.flats = chord.flats || bass->flat;
  }
  return TChordSymbol{chord};
}

std::string_view PitchClassName(TPitchClass pitch, bool flats) {
  return (flats ? kFlatNames : kSharpNames)[static_cast<std::size_t>(Wrapped(pitch))];
}

std::string ChordSymbolName(const TChordSymbol& symbol) {
  if (!symbol) return std::string(kNoChordName);
  std::string name(PitchClassName(symbol->root, symbol->flats));
  name += kChordTypes[static_cast<std::size_t>(symbol->type)].name;
  if (symbol->bass) {
    name += '/';
    name += PitchClassName(*symbol->bass, symbol->flats);
  }
  return name;
}

TPitchClass MappedPitchClass(const TChord& chord, TPitchClass source) {
  const auto& map = kChordTypes[static_cast<std::size_t>(chord.type)].map;
  return Wrapped(chord.root + map[static_cast<std::size_t>(Wrapped(source))]);
}

std::vector<TPitchClass> TablePitchClasses(const TChord& chord) {
  std::vector<TPitchClass> pitches;
  for (TPitchClass source = 0; source < kPitchClasses; ++source) {
    pitches.push_back(MappedPitchClass(chord, source));
  }
  if (chord.bass) pitches.push_back(*chord.bass);
  std::sort(pitches.begin(), pitches.end());
  pitches.erase(std::unique(pitches.begin(), pitches.end()), pitches.end());
  return pitches;
}

}  // namespace brondel::chords
