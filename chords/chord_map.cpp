#include "chords/chord_map.h"

#include <algorithm>

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
  if (part != kBassPart && settings.invert) {
    // The chord tone in the recorded octave; the octave entry (B on a triad) stays above.
    const int octaveStart = key - source;
    const int tone = (chord->root + interval) % kPitchClasses;
    return IntoKeyRange(octaveStart + tone + (interval >= kPitchClasses ? kPitchClasses : 0));
  }
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
