// The chord a hand holds on the keys: the keys below a keyboard's split point read as a chord of
// the engine's own types (ChordTypes()), the way an arranger keyboard reads its left hand. The
// rules and the table of ambiguous key sets are in docs/CHORDS.md.
#pragma once

#include <optional>
#include <span>

#include "chords/chord.h"

namespace brondel::chords {

/// How held keys are read as a chord.
enum class TFingering {
  /// The chord as played: every chord type in any inversion, doubled notes and tensions allowed;
  /// two keys a third or a fifth apart make the triad they imply; one key its major chord.
  kFingered,
  /// The keyboard makers' simplified way: the highest key is the root of a major chord; one more
  /// key below it makes it minor, two a seventh, three (or more) a minor seventh.
  kOneFinger,
};

/// The chord the held `keys` (MIDI key numbers, in any order, repeats allowed) make; none when
/// they make no chord (no key, or a set that no rule reads), in which case the chord held before
/// stays. The chord has no slash bass: an inversion reads as its chord.
std::optional<TChord> RecognizeChord(std::span<const int> keys, TFingering fingering);

/// The pitch classes of a chord's tones (no slash bass), sorted.
std::vector<TPitchClass> ChordTonePitchClasses(const TChord& chord);

/// True when `extra` (an interval above the root, 0 to 11, not one of the type's tones) is a
/// tension the fingered reading allows on chord type `type`: the ninth on every type; the eleventh
/// on a type without a major third; the sharp eleventh on one with a major third and a perfect
/// fifth; the thirteenth on one with a seventh; the flat and sharp ninth and the flat thirteenth
/// on one with a major third and a minor seventh.
bool AllowedTension(int type, int extra);

}  // namespace brondel::chords
