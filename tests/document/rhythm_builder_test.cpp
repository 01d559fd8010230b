// Records made from notes at absolute ticks, as the MIDI import and the example generator write
// parts: steps of up to 255 ticks, one wait record before any longer gap, the end record at the
// part's end and a filler after an odd run; and a part given new records recounts its section.
#include <gtest/gtest.h>

#include <stdexcept>

#include "document/rhythm_builder.h"
#include "document/rhythm_loader.h"
#include "document/rhythm_timing.h"
#include "tests/support/rhythm_text.h"

namespace brondel {
namespace {

using test::SameRecords;

TEST(EncodeTimedNotes, StepsUpTo255AndAWaitBeforeALongerGap) {
  const std::vector<TTimedNote> notes = {{0, 36, 100}, {0, 40, 90},    {255, 36, 0},
                                         {511, 40, 0}, {1536, 38, 80}, {1536, 38, 0}};
  EXPECT_TRUE(SameRecords(EncodeTimedNotes(notes, 1600), TPartBuilder()
                                                             .Note(0, 36, 100)
                                                             .Note(0, 40, 90)
                                                             .Note(255, 36, 0)
                                                             .Wait(256)
                                                             .Note(0, 40, 0)
                                                             .Wait(1025)
                                                             .Note(0, 38, 80)
                                                             .Note(0, 38, 0)
                                                             .End(64)));
}

TEST(EncodeTimedNotes, KeepsTheOrderGivenAtEqualTimes) {
  // A note-on before the note-off of the same key and tick stays in that order.
  const std::vector<TTimedNote> notes = {{10, 50, 70}, {10, 50, 0}, {10, 49, 0}};
  EXPECT_TRUE(SameRecords(EncodeTimedNotes(notes, 10),
                          TPartBuilder().Note(10, 50, 70).Note(0, 50, 0).Note(0, 49, 0).End(0)));
}

TEST(EncodeTimedNotes, EndsWithTheEndRecordAndAFillerAfterAnOddRun) {
  // No notes: a wait to the end and the end record, an even run of two.
  EXPECT_TRUE(SameRecords(EncodeTimedNotes({}, 768), TPartBuilder().Wait(768).End(0)));
  EXPECT_EQ(EncodeTimedNotes({}, 768).size(), 6u);
  EXPECT_TRUE(SameRecords(EncodeTimedNotes({}, 0), TPartBuilder().End(0)));
  EXPECT_EQ(EncodeTimedNotes({}, 0).size(), 6u) << "end record and filler";
  // A whole timeline: one wait of 65,535 ticks.
  EXPECT_TRUE(SameRecords(EncodeTimedNotes({{0, 60, 1}}, 0xFFFF),
                          TPartBuilder().Note(0, 60, 1).Wait(0xFFFF).End(0)));
  EXPECT_EQ(PartEndTime(EncodeTimedNotes({{0, 60, 1}}, 0xFFFF)), 0xFFFF);
}

TEST(EncodeTimedNotes, RefusesTimesThatGoBackOrPassTheEnd) {
  EXPECT_THROW(EncodeTimedNotes({{20, 60, 1}, {10, 60, 0}}, 96), std::invalid_argument);
  EXPECT_THROW(EncodeTimedNotes({{97, 60, 1}}, 96), std::invalid_argument);
  EXPECT_THROW(EncodeTimedNotes({}, 0x10000), std::invalid_argument);
}

TEST(TimedPart, PutsNoteOffsBeforeNoteOnsOfTheSameTick) {
  TTimedPart part;
  part.Add(0, 36, 100, 96).Add(96, 36, 90, 96);
  EXPECT_TRUE(SameRecords(
      part.Build(192),
      TPartBuilder().Note(0, 36, 100).Note(96, 36, 0).Note(0, 36, 90).Note(96, 36, 0).End(0)));
  EXPECT_THROW(part.Build(191), std::invalid_argument);
}

TEST(ReplacePartStream, RecountsTheSectionsEvents) {
  TRhythmSlot slot = TRhythmBuilder(96, 0x22).Slot();
  EXPECT_EQ(slot.eventCounts[3], 5);
  ReplacePartStream(slot, 3, 2, TPartBuilder().Note(0, 60, 1).Wait(300).Note(0, 60, 0).End(5));
  EXPECT_EQ(slot.eventCounts[3], 7);
  EXPECT_EQ(slot.streams[3][2].size(), 4 * kRecordSize);
  EXPECT_EQ(slot.eventCounts[2], 5);
}

TEST(NameTables, FindNamesInAnyLetterCase) {
  EXPECT_EQ(SectionNamed("Var1"), 2);
  EXPECT_EQ(SectionNamed("END2"), 9);
  EXPECT_EQ(SectionNamed("fill3"), 6);
  EXPECT_FALSE(SectionNamed("Var 1").has_value());
  EXPECT_FALSE(SectionNamed("").has_value());
  EXPECT_EQ(PartNamed("drums"), 0);
  EXPECT_EQ(PartNamed("Chord3"), 4);
  EXPECT_FALSE(PartNamed("Chord").has_value());
}

}  // namespace
}  // namespace brondel
