// The playback object wired to the scripted service and host, with two rhythms whose sections
// can be told apart by their buffers (the drums' program is 10 + the section number).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "playback/playback.h"
#include "tests/playback/fake_midi.h"
#include "tests/support/stream_events.h"
#include "tests/support/test_rhythm.h"

namespace brondel::test {

inline constexpr std::uint8_t kMainTempo = 96;
inline constexpr std::uint8_t kImportTempo = 120;

class PlaybackTest : public ::testing::Test {
 protected:
  PlaybackTest() {
    docs.slots[kMainSlot] = DistinctSections(kMainTempo, "main.ckf").slot;
    docs.slots[kImportSlot] = DistinctSections(kImportTempo, "import.z00").slot;
    playback.OpenMidiStream();
    log.clear();
  }

  static TestRhythm DistinctSections(std::uint8_t tempo, const std::string& fileName) {
    TestRhythm rhythm(tempo, fileName);
    for (int section = 0; section < kSectionCount; ++section) {
      const auto s = static_cast<std::uint8_t>(section);
      rhythm.Sound(section, kDrums, {.tone = static_cast<std::uint8_t>(10 + s), .volume = 100})
          .Part(section, kDrums,
                {Note(static_cast<std::uint8_t>(1 + s), 36, 100), Note(24, 38, 90), End(24),
                 Filler()})
          .Part(section, kChord1, {Note(0, 60, 80), Note(48, 64, 80), End(48), Filler()});
    }
    return rhythm;
  }

  /// The buffer a section of a slot renders to, as queued by a play.
  TEventBuffer SectionBuffer(int slot, int section) const {
    std::vector<TRenderEvent> events;
    TEventBuffer buffer;
    RenderSectionEvents(docs.slots[static_cast<std::size_t>(slot)], section, events, buffer);
    return buffer;
  }

  /// The section a queued section buffer came from, read from its drums program change.
  static int SectionOf(const TEventBuffer& buffer) {
    const auto events = Decode(buffer);
    return events.empty() ? -1 : events[0].data1 - 10;
  }

  std::vector<int> QueuedSections() const {
    std::vector<int> sections;
    for (const TEventBuffer& buffer : midi.Queued()) sections.push_back(SectionOf(buffer));
    return sections;
  }

  /// How many log entries start with `prefix`.
  long Count(const std::string& prefix) const {
    return std::count_if(log.begin(), log.end(),
                         [&](const std::string& entry) { return entry.starts_with(prefix); });
  }

  void Unload(int slot) { docs.slots[static_cast<std::size_t>(slot)] = TRhythmSlot{}; }

  Log log;
  FakeMidiService midi{log};
  FakeHost host{log, midi};
  TRhythmDocuments docs;
  TPlayback playback{docs, midi, host};
};

}  // namespace brondel::test
