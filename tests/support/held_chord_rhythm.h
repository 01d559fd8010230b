// A rhythm for measuring and testing chord changes: 4/4 at tempo 96 (a bar of 2 s), every
// section one bar in which the drums strike key 30 + the section's number at its start, the bass
// holds C3 and Chord1 holds C4-E4-G4 through the whole bar, so that a chord changed at any moment
// re-pitches (or cuts) notes at once, and the drums tell which section played each bar.
#pragma once

#include <cstdint>

#include "document/rhythm_builder.h"

namespace brondel::test {

inline TRhythmBuilder HeldChordRhythm() {
  TRhythmBuilder rhythm(96, 0x22);
  for (int s = 0; s < kSectionCount; ++s) {
    const auto drum = static_cast<std::uint8_t>(30 + s);
    rhythm.Bars(s, 1);
    rhythm.Part(s, 0, TPartBuilder().Note(0, drum, 100).Note(48, drum, 0).Wait(336).End(0));
    rhythm.Part(s, 1, TPartBuilder().Note(0, 48, 90).Wait(384).Note(0, 48, 0).End(0));
    rhythm.Part(s, 2,
                TPartBuilder()
                    .Note(0, 60, 80)
                    .Note(0, 64, 80)
                    .Note(0, 67, 80)
                    .Wait(384)
                    .Note(0, 60, 0)
                    .Note(0, 64, 0)
                    .Note(0, 67, 0)
                    .End(0));
  }
  return rhythm;
}

}  // namespace brondel::test
