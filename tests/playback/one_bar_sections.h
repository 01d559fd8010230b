// The live play tests' rhythm: 4/4, every section one bar, whose drums strike key 30 + the
// section's number at its start (so the bars tell which section played), the bass holding C3
// and Chord1 C4-E4-G4 through the bar; and the fixture that plays it live on a recording device
// and a manual clock (the live play and the keyboard tests).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <utility>
#include <vector>

#include "tests/playback/clock_host.h"
#include "tests/support/recorded_notes.h"
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

/// A bar of OneBarSections (tempo 100, 400 ticks of 5 ms), and the note-ons of its parts.
inline constexpr platform::MidiMicros kOneBar = std::chrono::milliseconds(2000);
inline constexpr std::uint8_t kDrumOn = 0x99, kBassOn = 0x9A, kChordOn = 0x9B;

/// OneBarSections played on a recording device and a manual clock, and what it sent.
class OneBarLivePlay : public RecordedPlaybackTest {
 protected:
  OneBarLivePlay() : RecordedPlaybackTest(OneBarSections().slot) {}

  std::vector<std::pair<platform::MidiMicros, int>> NoteOns(std::uint8_t status) const {
    return NoteOnsOf(*recorder, status);
  }
  std::vector<platform::MidiMicros> NoteOffs(std::uint8_t status, int key) const {
    return NoteOffsOf(*recorder, status, key);
  }
  /// The section each bar played, read from the drum keys struck.
  std::vector<int> BarSections() const {
    std::vector<int> sections;
    for (const auto& [due, key] : NoteOns(kDrumOn)) sections.push_back(key - 30);
    return sections;
  }
};

}  // namespace brondel::test
