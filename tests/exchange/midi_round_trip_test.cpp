// Export, then import, and the rhythm plays as before: for every example and for random rhythms
// a file can hold (fixed seed), the ten section files export-midi writes, made into a new
// rhythm, render every section byte for byte as the original does; and each exported part
// imported over the same part leaves the render as it was.
//
// A rhythm a file can hold: a tempo byte of 11 to 249 and a time signature of 1 to 31 beats;
// settings, keys and velocities below 128; end records of velocity 0 and no filler that is no
// wait; every part of a section ending when the section does (after a whole number of bars at the
// rhythm's ticks per quarter note) without passing tick 65,535; and each part's notes, in the
// order the render sends them, well formed: every note-off ends a note of its key (the oldest
// still sounding), no note starts before the one of its key before it has ended, none lasts no
// time, every note has ended by the part's end and none starts there.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "document/rhythm_builder.h"
#include "document/rhythm_loader.h"
#include "document/rhythm_timing.h"
#include "examples/generator/example_rhythms.h"
#include "exchange/midi_import.h"
#include "render/send_order.h"
#include "tests/support/midi_file_support.h"
#include "tests/support/stream_events.h"

namespace brondel {
namespace {

using test::ExportedSection;
using test::ExportedSections;
using test::Render;
using test::SameRender;

/// How the records of a part came back.
struct TRecordCount {
  int parts = 0;
  int differing = 0;  // parts whose records differ, the render being the same
};

/// Makes a new rhythm of the ten exported sections and compares every section's render.
testing::AssertionResult SectionsComeBack(const TRhythmSlot& original, TRecordCount& records) {
  const TMidiRhythm made = RhythmFromMidi(ExportedSections(original));
  if (!made.rhythm) return testing::AssertionFailure() << made.outcome.refusal->Text();
  if (!made.outcome.notices.empty()) {
    return testing::AssertionFailure() << "notice: " << made.outcome.notices.front();
  }
  const TRhythmSlot& back = made.rhythm->slot;
  for (int section = 0; section < kSectionCount; ++section) {
    const auto same = SameRender(Render(original, section), Render(back, section));
    if (!same)
      return testing::AssertionFailure() << "section " << section << ": " << same.message();
    for (int part = 0; part < kPartCount; ++part) {
      ++records.parts;
      records.differing +=
          original.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)] !=
          back.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)];
    }
  }
  if (back.header.Tempo() != original.header.Tempo() ||
      back.header.TimeSignature() != original.header.TimeSignature()) {
    return testing::AssertionFailure() << "tempo or time signature changed";
  }
  return testing::AssertionSuccess();
}

/// Imports each part of each section from that section's export over itself, sounds included.
testing::AssertionResult PartsComeBack(const TRhythmSlot& original) {
  for (int section = 0; section < kSectionCount; ++section) {
    const platform::TMidiFile file = ExportedSection(original, section);
    for (int part = 0; part < kPartCount; ++part) {
      TRhythmSlot slot = original;
      // Part p is track p + 1, after the conductor track.
      const TMidiImportOutcome outcome = ImportMidiPart(
          slot, "x.mid", file, {section, part, {TMidiSource::TKind::kTrack, part + 1}, true});
      // A part without notes is no source: the import refuses it and changes nothing.
      const auto same = SameRender(Render(original, section), Render(slot, section));
      if (!same || !outcome.notices.empty()) {
        return testing::AssertionFailure()
               << PartItemText(section, part) << ": " << same.message()
               << (outcome.notices.empty() ? "" : outcome.notices.front());
      }
    }
  }
  return testing::AssertionSuccess();
}

TEST(MidiRoundTrip, EveryExampleComesBackAsItPlays) {
  for (const auto& example : examples::ExampleRhythms()) {
    const TLoadOutcome loaded = ReadRhythm(example.fileName, example.bytes);
    ASSERT_EQ(loaded.status, TLoadStatus::kLoaded);
    TRecordCount records;
    EXPECT_TRUE(SectionsComeBack(loaded.rhythm->slot, records)) << example.fileName;
    EXPECT_TRUE(PartsComeBack(loaded.rhythm->slot)) << example.fileName;
    // Our examples were written by the encoder the import uses: their records come back too.
    EXPECT_EQ(records.differing, 0) << example.fileName;
  }
}

// The compositions end a key's note before it sounds again at the same tick; the render's sort
// must not send the new note-on first, which would end the note as it starts.
TEST(ExampleRhythms, NoNoteIsEndedAsItStarts) {
  for (const auto& example : examples::ExampleRhythms()) {
    const TLoadOutcome loaded = ReadRhythm(example.fileName, example.bytes);
    ASSERT_EQ(loaded.status, TLoadStatus::kLoaded);
    for (int section = 0; section < kSectionCount; ++section) {
      const std::vector<test::StreamEvent> events =
          test::Decode(test::Render(loaded.rhythm->slot, section));
      for (std::size_t i = 0; i < events.size(); ++i) {
        const test::StreamEvent& on = events[i];
        if ((on.status & 0xF0) != 0x90 || on.data2 == 0 || on.data1 > 127) continue;
        // Later events of the same tick have a delta of 0.
        for (std::size_t j = i + 1; j < events.size() && events[j].delta == 0; ++j) {
          EXPECT_FALSE(events[j].status == on.status && events[j].data1 == on.data1 &&
                       events[j].data2 == 0)
              << example.fileName << " " << kSectionNames[static_cast<std::size_t>(section)]
              << ": key " << int{on.data1} << " on status " << int{on.status}
              << " is ended at the tick it starts (event " << i << ")";
        }
      }
    }
  }
}

// --- Random rhythms a file can hold -----------------------------------------------------------

std::uint32_t Draw(std::mt19937& random, std::uint32_t bound) {
  return static_cast<std::uint32_t>(random() % bound);
}

/// Notes of a few keys one after the other, often back to back, often starting with notes of
/// other keys (chords) and on a grid the other parts share, all ended by `length`.
std::vector<TTimedNote> RandomNotes(std::mt19937& random, std::uint32_t length,
                                    std::uint32_t grid) {
  std::vector<TTimedNote> events;
  const std::uint32_t keys = 1 + Draw(random, 4);
  const auto base = static_cast<std::uint8_t>(30 + Draw(random, 60));
  for (std::uint32_t k = 0; k < keys; ++k) {
    std::uint32_t at = grid * Draw(random, 4);
    while (true) {
      const std::uint32_t start = at + (Draw(random, 3) == 0 ? Draw(random, grid) : 0);
      const std::uint32_t duration =
          1 + (Draw(random, 2) ? grid * (1 + Draw(random, 3)) - 1 : Draw(random, 3 * grid));
      if (start + duration > length) break;
      const auto key = static_cast<std::uint8_t>(base + k);
      events.push_back({start, key, static_cast<std::uint8_t>(1 + Draw(random, 127))});
      events.push_back({start + duration, key, 0});
      at = start + duration + (Draw(random, 2) ? 0 : grid * Draw(random, 8));
    }
  }
  // Time order, equal times in any order, but a key's note-off before its next note-on at the
  // same tick (each key holds one note at a time, so a swap puts the pair right).
  std::shuffle(events.begin(), events.end(), random);
  std::stable_sort(events.begin(), events.end(),
                   [](const auto& a, const auto& b) { return a.time < b.time; });
  for (std::size_t on = 0; on < events.size(); ++on) {
    if (events[on].velocity == 0) continue;
    for (std::size_t off = on + 1; off < events.size() && events[off].time == events[on].time;
         ++off) {
      if (events[off].key == events[on].key && events[off].velocity == 0) {
        std::swap(events[on], events[off]);
        break;
      }
    }
  }
  return events;
}

/// The records of `notes` with their gaps written in many ways: a step, a wait and a step, two
/// waits, a wait of the whole gap.
TPartStream RandomEncoding(std::mt19937& random, const std::vector<TTimedNote>& notes,
                           std::uint32_t end) {
  TPartBuilder part;
  std::uint32_t running = 0;
  // Each gap: a step of up to 255 ticks in the record, the rest in waits before it.
  for (const TTimedNote& note : notes) {
    const std::uint32_t gap = note.time - running;
    const std::uint32_t step =
        gap <= 255 && Draw(random, 3) ? gap : std::min<std::uint32_t>(gap, Draw(random, 256));
    std::uint32_t waited = gap - step;
    if (waited > 1 && Draw(random, 4) == 0) {
      const std::uint32_t first = 1 + Draw(random, waited - 1);
      part.Wait(static_cast<std::uint16_t>(first));
      waited -= first;
    }
    if (waited > 0 || Draw(random, 10) == 0) part.Wait(static_cast<std::uint16_t>(waited));
    part.Note(static_cast<std::uint8_t>(step), note.key, note.velocity);
    running = note.time;
  }
  const std::uint32_t gap = end - running;
  const std::uint32_t step = std::min<std::uint32_t>(gap, Draw(random, 256));
  if (gap > step) part.Wait(static_cast<std::uint16_t>(gap - step));
  return part.End(static_cast<std::uint8_t>(step));
}

/// A rhythm a file can hold (see the top of this file), drawn at random.
TRhythmSlot RandomRhythm(std::mt19937& random) {
  const auto tempo = static_cast<std::uint8_t>(11 + Draw(random, 239));
  std::vector<int> divisions;
  for (const int q : {24, 48, 96, 120, 192, 384, 480}) {
    if (QuarterNoteMicroseconds(q, tempo) <= kMaxQuarterNoteMicroseconds) divisions.push_back(q);
  }
  const int q = divisions[Draw(random, static_cast<std::uint32_t>(divisions.size()))];
  std::uint32_t numerator = 0;
  std::uint32_t power = 0;
  do {
    numerator = 1 + (Draw(random, 8) ? Draw(random, 12) : Draw(random, 31));
    power = Draw(random, 5);
  } while ((4 * static_cast<std::uint32_t>(q) * numerator) % (1u << power) != 0 ||
           4 * static_cast<std::uint32_t>(q) * numerator / (1u << power) > 16000);
  const std::uint32_t bar = 4 * static_cast<std::uint32_t>(q) * numerator / (1u << power);
  TRhythmBuilder rhythm(tempo, static_cast<std::uint8_t>(numerator << 3 | power));
  const std::uint32_t grid = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(q) / 4);
  for (int section = 0; section < kSectionCount; ++section) {
    std::uint32_t bars = Draw(random, 5);
    while (bars * bar > 0xFFFF) --bars;
    rhythm.Bars(section, static_cast<std::uint16_t>(bars));
    for (int part = 0; part < kPartCount; ++part) {
      const auto setting = [&] { return static_cast<std::uint8_t>(Draw(random, 128)); };
      rhythm.Settings(
          section, part,
          PartSettings(setting(), setting(), setting(), setting(), setting(), setting()));
      const std::vector<TTimedNote> notes =
          Draw(random, 5) ? RandomNotes(random, bars * bar, grid) : std::vector<TTimedNote>{};
      rhythm.Part(section, part, RandomEncoding(random, notes, bars * bar));
    }
  }
  // Played as written: a note-off before the note-on of its key at one tick.
  TRhythmSlot slot = rhythm.Slot();
  for (int section = 0; section < kSectionCount; ++section) {
    ArrangeSectionForSendOrder(slot, section);
  }
  return slot;
}

TEST(MidiRoundTrip, RandomRhythmsAFileCanHoldComeBackAsTheyPlay) {
  std::mt19937 random(20240612);
  TRecordCount records;
  int tested = 0;
  for (int round = 0; round < 150; ++round) {
    const TRhythmSlot rhythm = RandomRhythm(random);
    if (kHeaderSize + TotalPartDataSize(rhythm.streams) > kMaxTotalLength) continue;
    ++tested;
    ASSERT_TRUE(SectionsComeBack(rhythm, records)) << "round " << round;
    if (round % 5 == 0) {
      ASSERT_TRUE(PartsComeBack(rhythm)) << "round " << round;
    }
  }
  EXPECT_GT(tested, 100);
  // The random encodings differ from the import's, and the renders do not.
  RecordProperty("parts", records.parts);
  RecordProperty("parts_with_other_records", records.differing);
  EXPECT_GT(records.differing, records.parts / 2);
}

}  // namespace
}  // namespace brondel
