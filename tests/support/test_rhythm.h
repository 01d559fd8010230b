// A small builder for rhythms used by the playback tests; it reads like the records it makes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "document/rhythm_slot.h"

namespace brondel::test {

inline constexpr int kDrums = 0;
inline constexpr int kBass = 1;
inline constexpr int kChord1 = 2;
inline constexpr int kChord2 = 3;
inline constexpr int kChord3 = 4;

/// A note `step` ticks after the part's previous event.
inline TRhythmRecord Note(std::uint8_t step, std::uint8_t key, std::uint8_t velocity) {
  return TRhythmRecord::Note(step, key, velocity);
}
/// A wait of `delay` ticks (byte 0 low, byte 2 high).
inline TRhythmRecord Wait(std::uint16_t delay) {
  return TRhythmRecord::Wait(delay);
}
/// The end record, `step` ticks after the part's previous event.
inline TRhythmRecord End(std::uint8_t step = 0) {
  return TRhythmRecord::End(step);
}
/// The filler after an end record that closes an odd run: a wait of 0.
inline TRhythmRecord Filler() {
  return TRhythmRecord::Wait(0);
}

/// The six sound bytes of a part as the grid names them.
struct PartSound {
  std::uint8_t tone = 0;
  std::uint8_t bank = 0;
  std::uint8_t volume = 0;
  std::uint8_t pane = 0;
  std::uint8_t reverb = 0;
  std::uint8_t chorus = 0;
};

/// A loaded slot in which every part starts empty (its end record at step 0 and a filler).
class TestRhythm {
 public:
  explicit TestRhythm(std::uint8_t tempo = 96, std::string fileName = "test.ckf");

  /// Replaces one part's records with exactly these and recounts the section's events.
  TestRhythm& Part(int section, int part, std::initializer_list<TRhythmRecord> records);
  /// Sets the six sound bytes of one part.
  TestRhythm& Sound(int section, int part, const PartSound& sound);
  /// Sets the stored event count of a section, whatever the records say.
  TestRhythm& EventCount(int section, std::int32_t count);

  TRhythmSlot slot;
};

}  // namespace brondel::test
