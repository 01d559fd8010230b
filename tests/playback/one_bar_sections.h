// The live play tests' rhythm: 4/4, every section one bar, whose drums strike key 30 + the
// section's number at its start (so the bars tell which section played), the bass holding C3
// and Chord1 C4-E4-G4 through the bar.
#pragma once

#include "tests/support/test_rhythm.h"

namespace brondel::test {

inline TestRhythm OneBarSections() {
  TestRhythm rhythm(100);
  rhythm.slot.header.SetTimeSignature(TimeSignatureByte(4, 2));
  for (int section = 0; section < kSectionCount; ++section) {
    const auto drum = static_cast<std::uint8_t>(30 + section);
    rhythm.Part(section, kDrums, {Note(0, drum, 100), Note(20, drum, 0), Wait(380), End(0)})
        .Part(section, kBass, {Note(0, 48, 90), Wait(400), Note(0, 48, 0), End(0)})
        .Part(section, kChord1,
              {Note(0, 60, 80), Note(0, 64, 80), Note(0, 67, 80), Wait(400), Note(0, 60, 0),
               Note(0, 64, 0), Note(0, 67, 0), End(0)});
    rhythm.slot.header.SetBarCount(section, 1);
  }
  return rhythm;
}

}  // namespace brondel::test
