// How a part recorded on C major plays on another chord: one note at a time (MapNote, what a live
// engine asks at a chord change) and a whole run of timed notes under a series of chord changes
// (FollowChords, the retrigger rule, for a song rendered offline). docs/CHORDS.md gives the
// rules with examples.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "chords/chord.h"
#include "document/rhythm_format.h"

namespace brondel::chords {

/// How a part follows the chords. Session settings: nothing of them is stored in a rhythm file.
struct TPartPlaySettings {
  /// Bass, and chord parts with invert off, move down to the chord's root from this pitch class
  /// on (C = 0): with F# (6), F plays a fourth up and F# a tritone down.
  TPitchClass breakPoint = 6;
  /// Chord parts only. On: the nearest inversion. The recorded chord's voices C, E and G move to
  /// the tones their table gives (root, third, fifth), the shortest way in all (C-E-G on F:
  /// C-F-A); every other note to its table's pitch class at its nearest (Bb on F7: Eb). Off:
  /// the recorded voicing moves in parallel by the break-point rule (C-E-G on F: F-A-C).
  bool invert = true;
  /// On: a note held across a chord change goes on at its new pitch from the change. Off: it
  /// is cut at the change.
  bool retrigger = true;

  friend bool operator==(const TPartPlaySettings&, const TPartPlaySettings&) = default;
};

/// The settings of every part, indexed like kPartNames (Drums, Bass, Chord1 to Chord3).
using TPlaySettings = std::array<TPartPlaySettings, kPartCount>;

/// The defaults: break point F#, invert on for the chord parts (off for the bass, which always
/// moves by the break-point rule), retrigger on.
TPlaySettings DefaultPlaySettings();

/// The drums part: never transposed.
inline constexpr int kDrumsPart = 0;
/// The bass part: follows the chord's root (or its slash bass) by the break-point rule.
inline constexpr int kBassPart = 1;

/// The key a note of `part` recorded as `key` (on C major) plays on `chord`: drums as recorded;
/// none for the bass and chord parts on N.C.; else the table's pitch class, placed by the
/// part's rule. A key pushed past 0 or 127 comes back by octaves.
std::optional<std::uint8_t> MapNote(const TPartPlaySettings& settings, int part, std::uint8_t key,
                                    const TChordSymbol& chord);

/// A note of a part from its start to its end, in ticks of one timeline.
struct TTimedNote {
  int part = 0;
  std::uint8_t key = 0;
  std::uint8_t velocity = 0;
  std::uint64_t on = 0;
  std::uint64_t off = 0;  // after `on`

  friend bool operator==(const TTimedNote&, const TTimedNote&) = default;
};

/// The chord from `tick` on, until the next change.
struct TChordChange {
  std::uint64_t tick = 0;
  TChordSymbol chord;
};

/// The notes as they sound under `changes` (in tick order; before the first change the notes
/// play as recorded, on C major): each note takes the chord sounding when it starts. A bass or
/// chord note still held at a change goes on at its new key from there when its part
/// retriggers (not cut where the key stays the same; silent where there is no chord), and ends
/// at the change when it does not. Drum notes come through unchanged. The result keeps the
/// notes' order, each note's pieces in time order.
std::vector<TTimedNote> FollowChords(const std::vector<TTimedNote>& notes,
                                     const std::vector<TChordChange>& changes,
                                     const TPlaySettings& settings);

}  // namespace brondel::chords
