#include "chords/chord_map.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace brondel::chords {

namespace {

constexpr int kHighestKey = 127;

std::uint8_t IntoKeyRange(int key) {
  while (key < 0) key += kPitchClasses;
  while (key > kHighestKey) key -= kPitchClasses;
  return static_cast<std::uint8_t>(key);
}

// The distance from the recorded root C to `pitch` by the break-point rule: up to a pitch class
// below the break point, down (by less than an octave) from it on.
int BreakPointShift(TPitchClass pitch, TPitchClass breakPoint) {
  return pitch >= breakPoint ? pitch - kPitchClasses : pitch;
}

// A slash bass replaces the root at its nearest: C/E a third up, C/G a fourth down.
int SlashOffset(const TChord& chord) {
  const int up = (*chord.bass - chord.root + kPitchClasses) % kPitchClasses;
  return up > kPitchClasses / 2 ? up - kPitchClasses : up;
}

// The shortest move from one pitch class to another: -6 to 5 semitones.
int NearestMove(TPitchClass from, TPitchClass to) {
  const int up = ((to - from) % kPitchClasses + kPitchClasses) % kPitchClasses;
  return up >= kPitchClasses / 2 ? up - kPitchClasses : up;
}

// The recorded chord's voices: C, E and G. They take the tones the table gives them (root,
// third, fifth, or what a type has instead), in whichever order moves them least.
constexpr std::array<TPitchClass, 3> kVoices = {0, 4, 7};

// The tone each voice takes for the nearest inversion: the assignment that moves the voices
// least in all; a tie goes to the first found, C on the root, E on the third, G on the fifth
// first. By pitch class only, so one answer for every octave.
std::array<TPitchClass, 3> NearestInversion(const TChord& chord) {
  std::array<TPitchClass, 3> tones{};
  for (std::size_t v = 0; v < kVoices.size(); ++v) tones[v] = MappedPitchClass(chord, kVoices[v]);
  std::array<std::size_t, 3> order = {0, 1, 2};
  std::array<std::size_t, 3> best = order;
  int leastMoved = std::numeric_limits<int>::max();
  do {
    int moved = 0;
    for (std::size_t v = 0; v < kVoices.size(); ++v) {
      moved += std::abs(NearestMove(kVoices[v], tones[order[v]]));
    }
    if (moved < leastMoved) {
      leastMoved = moved;
      best = order;
    }
  } while (std::next_permutation(order.begin(), order.end()));
  return {tones[best[0]], tones[best[1]], tones[best[2]]};
}

// A chord part's note with invert on: a voice to its tone of the nearest inversion, any other
// note to its table's pitch class, each the shortest way.
int InvertedKey(const TChord& chord, std::uint8_t key) {
  const TPitchClass source = key % kPitchClasses;
  const auto voice = std::find(kVoices.begin(), kVoices.end(), source);
  const TPitchClass target =
      voice == kVoices.end()
          ? MappedPitchClass(chord, source)
          : NearestInversion(chord)[static_cast<std::size_t>(voice - kVoices.begin())];
  return key + NearestMove(source, target);
}

}  // namespace

TPlaySettings DefaultPlaySettings() {
  TPlaySettings settings{};
  settings[kDrumsPart].invert = false;
  settings[kBassPart].invert = false;
  return settings;
}

std::optional<std::uint8_t> MapNote(const TPartPlaySettings& settings, int part, std::uint8_t key,
                                    const TChordSymbol& chord) {
  if (part == kDrumsPart) return key;
  if (!chord) return std::nullopt;
  const int source = key % kPitchClasses;
  const int interval =
      ChordTypes()[static_cast<std::size_t>(chord->type)].map[static_cast<std::size_t>(source)];
  if (part != kBassPart && settings.invert) return IntoKeyRange(InvertedKey(*chord, key));
  int moved = key + BreakPointShift(chord->root, settings.breakPoint) + interval - source;
  if (part == kBassPart && chord->bass && interval % kPitchClasses == 0)
    moved += SlashOffset(*chord);
  return IntoKeyRange(moved);
}

std::vector<TTimedNote> FollowChords(const std::vector<TTimedNote>& notes,
                                     const std::vector<TChordChange>& changes,
                                     const TPlaySettings& settings) {
  std::vector<TTimedNote> sounding;
  sounding.reserve(notes.size());
  for (const TTimedNote& note : notes) {
    if (note.part == kDrumsPart || changes.empty() || note.off <= changes.front().tick) {
      sounding.push_back(note);
      continue;
    }
    const TPartPlaySettings& part = settings[static_cast<std::size_t>(note.part)];
    // The change sounding when the note starts, or the recording itself before the first.
    auto next = std::upper_bound(
        changes.begin(), changes.end(), note.on,
        [](std::uint64_t tick, const TChordChange& change) { return tick < change.tick; });
    std::uint64_t from = note.on;
    std::optional<std::uint8_t> key =
        next == changes.begin() ? std::optional(note.key)
                                : MapNote(part, note.part, note.key, std::prev(next)->chord);
    const auto sound = [&](std::uint64_t until) {
      if (key && until > from) sounding.push_back({note.part, *key, note.velocity, from, until});
    };
    while (true) {
      const std::uint64_t until = next == changes.end() ? note.off : std::min(note.off, next->tick);
      if (until >= note.off || !part.retrigger) {
        sound(until);
        break;
      }
      // Held across the change: re-pitched there, unless the new chord keeps its key.
      const std::optional<std::uint8_t> nextKey = MapNote(part, note.part, note.key, next->chord);
      if (nextKey != key) {
        sound(until);
        from = until;
        key = nextKey;
      }
      ++next;
    }
  }
  return sounding;
}

}  // namespace brondel::chords
