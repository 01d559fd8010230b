// Chords as the left hand holds them: a root, a type and perhaps a bass of its own (C/E), or no
// chord at all (N.C.). The chord types and the table that maps each recorded pitch class onto
// each of them are data in one place, kChordTypes; docs/CHORDS.md lists them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brondel::chords {

/// A pitch class: 0 for C up to 11 for B.
using TPitchClass = int;

/// The pitch classes of an octave.
inline constexpr int kPitchClasses = 12;

/// One chord type: its name as printed after the root ("" for major), the other spellings a
/// chart may use for it, its tones as intervals above the root, and its mapping table.
struct TChordType {
  std::string_view name;
  std::vector<std::string_view> spellings;
  std::vector<int> tones;
  /// For each pitch class a part was recorded in (C major, C = 0 ... B = 11), the interval above
  /// the chord's root it plays: C the root, E the third, G the fifth, B and Bb the seventh (a
  /// chord without one: the octave, 12, or for a sixth chord the sixth), D the ninth or second,
  /// the others the chord's scale. Each value lies within two semitones of its pitch class, so a
  /// note moved by it stays where it was recorded.
  std::array<int, kPitchClasses> map;
};

/// Every chord type, major first; a chord's `type` indexes it.
const std::vector<TChordType>& ChordTypes();

/// The index of a chord type in ChordTypes() by its printed name ("m7"); none for another text.
std::optional<int> ChordTypeNamed(std::string_view name);

/// A chord: root, type (an index of ChordTypes()) and the bass a slash names (C/E: E), if any.
/// A chord whose root or bass was written with a flat prints with flats (Bb, not A#).
struct TChord {
  TPitchClass root = 0;
  int type = 0;
  std::optional<TPitchClass> bass;
  bool flats = false;

  friend bool operator==(const TChord&, const TChord&) = default;
};

/// What a chart or the left hand gives at a moment: a chord, or none (N.C.: bass and chords
/// silent).
using TChordSymbol = std::optional<TChord>;

/// The name printed for no chord.
inline constexpr std::string_view kNoChordName = "N.C.";

/// Reads a chord name: a root (A to G, then at most one # or b), a type in any of its spellings
/// ("", "maj", "M" for major; "m", "min", "-" for minor; "M7", "maj7", "Maj7" ...; see
/// docs/CHORDS.md), then perhaps "/" and a bass note; or "N.C." (also "NC"). Case matters: "M7"
/// is a major seventh, "m7" a minor seventh. None for any other text.
std::optional<TChordSymbol> ParseChordSymbol(std::string_view text);

/// The chord's name as this program writes it: the root with # (or b when it was read with a
/// flat), the type's printed name, "/" and the bass: "C#m7", "Bb7", "C/E", "N.C.".
std::string ChordSymbolName(const TChordSymbol& symbol);

/// The name of a pitch class: C, C#, D ... B, or with flats Db, Eb, Gb, Ab, Bb.
std::string_view PitchClassName(TPitchClass pitch, bool flats = false);

/// The pitch class a recorded pitch class plays on `chord` by its type's table (not counting a
/// slash bass): (root + map[source]) mod 12.
TPitchClass MappedPitchClass(const TChord& chord, TPitchClass source);

/// The pitch classes `chord`'s table can give (its whole image), plus its slash bass: what any
/// note of a bass or chord part may sound on it.
std::vector<TPitchClass> TablePitchClasses(const TChord& chord);

}  // namespace brondel::chords
