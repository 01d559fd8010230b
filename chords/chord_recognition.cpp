#include "chords/chord_recognition.h"

#include <algorithm>
#include <bitset>
#include <limits>
#include <tuple>
#include <vector>

namespace brondel::chords {

namespace {

// Intervals above a chord's root, as the rules name them.
constexpr int kFlatNinth = 1;
constexpr int kNinth = 2;
constexpr int kSharpNinth = 3;
constexpr int kMinorThird = 3;
constexpr int kMajorThird = 4;
constexpr int kEleventh = 5;
constexpr int kSharpEleventh = 6;
constexpr int kFifth = 7;
constexpr int kFlatThirteenth = 8;
constexpr int kThirteenth = 9;
constexpr int kMinorSeventh = 10;
constexpr int kMajorSeventh = 11;

using TPitchSet = std::bitset<kPitchClasses>;

TPitchClass PitchClassOf(int key) {
  return ((key % kPitchClasses) + kPitchClasses) % kPitchClasses;
}

int Above(TPitchClass root, TPitchClass pitch) {
  return PitchClassOf(pitch - root);
}

bool HasTone(const TChordType& type, int interval) {
  return std::find(type.tones.begin(), type.tones.end(), interval) != type.tones.end();
}

int TypeIndex(std::string_view name) {
  return *ChordTypeNamed(name);
}

TChord ChordOn(TPitchClass root, int type) {
  return TChord{root, type, std::nullopt, false};
}

// The held keys' pitch classes, the lowest key's, and the lowest key of each pitch class.
struct THeld {
  TPitchSet pitches;
  TPitchClass lowest = 0;
  std::array<int, kPitchClasses> lowestKey{};
};

THeld HeldPitches(std::span<const int> keys) {
  THeld held;
  held.lowest = PitchClassOf(*std::min_element(keys.begin(), keys.end()));
  held.lowestKey.fill(std::numeric_limits<int>::max());
  for (int key : keys) {
    const auto pitch = static_cast<std::size_t>(PitchClassOf(key));
    held.pitches.set(pitch);
    held.lowestKey[pitch] = std::min(held.lowestKey[pitch], key);
  }
  return held;
}

// One key names its root's major chord; the highest key does in one-finger mode, the keys below
// it make it minor (one), a seventh (two) or a minor seventh (three or more).
TChord OneFingerChord(std::span<const int> keys) {
  std::vector<int> distinct(keys.begin(), keys.end());
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  static const std::array<int, 4> kByKeysBelow = {TypeIndex(""), TypeIndex("m"), TypeIndex("7"),
                                                  TypeIndex("m7")};
  const std::size_t below = std::min<std::size_t>(distinct.size() - 1, kByKeysBelow.size() - 1);
  return TChord{PitchClassOf(distinct.back()), kByKeysBelow[below], std::nullopt, false};
}

// Two pitch classes: a fifth or a major third makes the major triad on its lower note, a minor
// third the minor one; any other interval makes no chord.
std::optional<TChord> TwoKeyChord(const TPitchSet& pitches) {
  for (TPitchClass root = 0; root < kPitchClasses; ++root) {
    if (!pitches.test(static_cast<std::size_t>(root))) continue;
    for (TPitchClass other = 0; other < kPitchClasses; ++other) {
      if (other == root || !pitches.test(static_cast<std::size_t>(other))) continue;
      const int interval = Above(root, other);
      if (interval == kFifth || interval == kMajorThird) return ChordOn(root, TypeIndex(""));
      if (interval == kMinorThird) return ChordOn(root, TypeIndex("m"));
    }
  }
  return std::nullopt;
}

// How well a chord reads the held keys; the smallest rank wins: fewest tones left out, then
// fewest tensions, then the root played lowest (the lowest key, if it can be the root), then the
// type that comes first in the table.
using TRank = std::tuple<int, int, int, int>;

// The rank of reading `held` as `type` on `root`, none when it does not read so: every tone
// held (but the perfect fifth of a chord of four tones or more, which may be left out), every
// other key an allowed tension (none where the fifth is left out).
std::optional<TRank> Reading(const THeld& held, TPitchClass root, int typeIndex) {
  const TChordType& type = ChordTypes()[static_cast<std::size_t>(typeIndex)];
  TPitchSet tones;
  int leftOut = 0;
  for (int tone : type.tones) {
    const auto pitch = static_cast<std::size_t>(PitchClassOf(root + tone));
    tones.set(pitch);
    if (held.pitches.test(pitch)) continue;
    if (tone != kFifth || type.tones.size() < 4) return std::nullopt;
    ++leftOut;
  }
  int tensions = 0;
  for (TPitchClass pitch = 0; pitch < kPitchClasses; ++pitch) {
    const auto index = static_cast<std::size_t>(pitch);
    if (!held.pitches.test(index) || tones.test(index)) continue;
    // A chord missing its fifth takes no tension: the keys would fit too many chords.
    if (leftOut > 0 || !AllowedTension(typeIndex, Above(root, pitch))) return std::nullopt;
    ++tensions;
  }
  return TRank{leftOut, tensions, held.lowestKey[static_cast<std::size_t>(root)], typeIndex};
}

std::optional<TChord> FingeredChord(const THeld& held) {
  const std::size_t count = held.pitches.count();
  if (count == 1) return ChordOn(held.lowest, TypeIndex(""));
  if (count == 2) return TwoKeyChord(held.pitches);
  std::optional<TRank> best;
  std::optional<TChord> chord;
  for (TPitchClass root = 0; root < kPitchClasses; ++root) {
    if (!held.pitches.test(static_cast<std::size_t>(root))) continue;
    for (std::size_t type = 0; type < ChordTypes().size(); ++type) {
      const std::optional<TRank> rank = Reading(held, root, static_cast<int>(type));
      if (rank && (!best || *rank < *best)) {
        best = rank;
        chord = ChordOn(root, static_cast<int>(type));
      }
    }
  }
  return chord;
}

}  // namespace

bool AllowedTension(int typeIndex, int extra) {
  const TChordType& type = ChordTypes()[static_cast<std::size_t>(typeIndex)];
  const bool majorThird = HasTone(type, kMajorThird);
  const bool dominant = majorThird && HasTone(type, kMinorSeventh);
  switch (extra) {
    case kNinth:
      return true;
    case kEleventh:
      return !majorThird;
    case kSharpEleventh:
      return majorThird && HasTone(type, kFifth);
    case kThirteenth:
      return HasTone(type, kMinorSeventh) || HasTone(type, kMajorSeventh);
    case kFlatNinth:
    case kSharpNinth:
    case kFlatThirteenth:
      return dominant;
    default:
      return false;
  }
}

std::optional<TChord> RecognizeChord(std::span<const int> keys, TFingering fingering) {
  if (keys.empty()) return std::nullopt;
  if (fingering == TFingering::kOneFinger) return OneFingerChord(keys);
  return FingeredChord(HeldPitches(keys));
}

std::vector<TPitchClass> ChordTonePitchClasses(const TChord& chord) {
  std::vector<TPitchClass> pitches;
  for (int tone : ChordTypes()[static_cast<std::size_t>(chord.type)].tones) {
    pitches.push_back(PitchClassOf(chord.root + tone));
  }
  std::sort(pitches.begin(), pitches.end());
  return pitches;
}

}  // namespace brondel::chords
