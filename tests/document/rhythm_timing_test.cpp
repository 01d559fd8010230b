// When records sound: a part's running times and end as the render counts them (16-bit, both
// delay bytes, wrapping), a section's length, and the ticks per quarter note each section says
// and the rhythm's vote among them, for our examples and for odd rhythms.
#include <gtest/gtest.h>

#include "document/rhythm_builder.h"
#include "document/rhythm_loader.h"
#include "document/rhythm_timing.h"
#include "examples/generator/example_rhythms.h"

namespace brondel {
namespace {

constexpr std::uint8_t k44 = 0x22;  // 4/4
constexpr std::uint8_t k34 = 0x1A;  // 3/4
constexpr std::uint8_t k68 = 0x33;  // 6/8
constexpr std::uint8_t k38 = 0x1B;  // 3/8
constexpr std::uint8_t k78 = 0x3B;  // 7/8

/// A part whose end record comes `ticks` after its start, with a note on the way.
TPartStream EndingAt(std::uint32_t ticks) {
  TPartBuilder part;
  part.Note(0, 36, 100);
  for (; ticks > 255; ticks -= 255) part.Wait(255);
  return part.End(static_cast<std::uint8_t>(ticks));
}

/// A rhythm whose sections s get `bars[s]` bars and parts that all end at `ends[s]` ticks
/// (sections beyond the lists are left empty, with no bars).
TRhythmSlot Rhythm(std::uint8_t signature, std::initializer_list<std::uint16_t> bars,
                   std::initializer_list<std::uint32_t> ends) {
  TRhythmBuilder rhythm(96, signature);
  int section = 0;
  for (const std::uint16_t count : bars) rhythm.Bars(section++, count);
  section = 0;
  for (const std::uint32_t end : ends) {
    for (int part = 0; part < kPartCount; ++part) rhythm.Part(section, part, EndingAt(end));
    ++section;
  }
  return rhythm.Slot();
}

TEST(PartEndTime, CountsStepsAndBothDelayBytesAsTheRenderDoes) {
  const TPartStream part = TPartBuilder()
                               .Note(4, 36, 100)
                               .Record({0x10, kWaitMarker, 0x02})  // 0x10 + 0x200
                               .Note(4, 38, 100)
                               .Wait(20)
                               .Wait(30)
                               .End(6);
  EXPECT_EQ(PartEndTime(part), 4 + 528 + 4 + 20 + 30 + 6);
  EXPECT_EQ(PartEndTime(TPartBuilder().End()), 0);
  EXPECT_EQ(PartEndTime(TPartBuilder().End(96)), 96);
}

TEST(PartEndTime, WrapsPast65535AndTakesTheFirstEndRecord) {
  // 65535 + 101 wraps to 100, as the render places the note.
  EXPECT_EQ(PartEndTime(TPartBuilder().Wait(0xFFFF).End(101)), 100);
  // Records after the end record (a filler, or more) do not move it.
  const TPartStream twice =
      TPartBuilder().Record(TRhythmRecord::End(5)).Wait(90).Record(TRhythmRecord::End(7)).End();
  EXPECT_EQ(PartEndTime(twice), 5);
}

TEST(PartEndTime, NoneWithoutAnEndRecord) {
  EXPECT_FALSE(PartEndTime({}).has_value());
  EXPECT_FALSE(PartEndTime(TPartBuilder().Note(5, 36, 100).Wait(9).Records()).has_value());
  // A trailing partial record is never read, so an end marker cut short is no end record.
  EXPECT_FALSE(PartEndTime({5, kEndMarker}).has_value());
}

TEST(SectionLength, IsTheLatestEndAmongTheParts) {
  TRhythmBuilder rhythm(96, k44);
  rhythm.Part(2, 0, EndingAt(384)).Part(2, 1, EndingAt(768)).Part(2, 3, EndingAt(700));
  const TRhythmSlot slot = rhythm.Slot();
  EXPECT_EQ(SectionLength(slot, 2), 768);
  EXPECT_EQ(SectionLength(slot, 0), 0) << "every part empty";
  // A part that wraps ends where the render plays its end record.
  rhythm.Part(2, 1, TPartBuilder().Wait(0xFFFF).End(11));
  EXPECT_EQ(SectionLength(rhythm.Slot(), 2), 700);
}

TEST(SectionTicksPerQuarterNote, LengthOverQuarterNotesWhenWhole) {
  // 2 bars of 4/4 in 768 ticks: 8 quarter notes of 96.
  EXPECT_EQ(SectionTicksPerQuarterNote(Rhythm(k44, {2}, {768}), 0), 96);
  EXPECT_EQ(SectionTicksPerQuarterNote(Rhythm(k44, {2}, {960}), 0), 120);
  EXPECT_EQ(SectionTicksPerQuarterNote(Rhythm(k34, {4}, {1152}), 0), 96);
  // A bar of 6/8 holds 3 quarter notes, one of 3/8 a quarter note and a half.
  EXPECT_EQ(SectionTicksPerQuarterNote(Rhythm(k68, {2}, {576}), 0), 96);
  EXPECT_EQ(SectionTicksPerQuarterNote(Rhythm(k38, {1}, {144}), 0), 96);
  EXPECT_EQ(SectionTicksPerQuarterNote(Rhythm(k38, {2}, {96}), 0), 32);
  // 7/8 in 100 ticks: 3.5 quarter notes do not divide them.
  EXPECT_FALSE(SectionTicksPerQuarterNote(Rhythm(k78, {1}, {100}), 0).has_value());
}

TEST(SectionTicksPerQuarterNote, NothingFromEmptyOrUnmeasuredSections) {
  EXPECT_FALSE(SectionTicksPerQuarterNote(Rhythm(k44, {0}, {768}), 0).has_value()) << "0 bars";
  EXPECT_FALSE(SectionTicksPerQuarterNote(Rhythm(k44, {2}, {0}), 0).has_value()) << "ends at 0";
  EXPECT_FALSE(SectionTicksPerQuarterNote(Rhythm(0x02, {2}, {768}), 0).has_value())
      << "numerator 0";
  // 1/128: one bar of 1,024 ticks would be 32,768 to the quarter, more than a MIDI file holds.
  EXPECT_FALSE(SectionTicksPerQuarterNote(Rhythm(0x0F, {1}, {1024}), 0).has_value());
  EXPECT_EQ(SectionTicksPerQuarterNote(Rhythm(0x0F, {1}, {1020}), 0), 32640);
  // The largest a MIDI file holds, 32,767: a bar of 1/4 that long is taken.
  EXPECT_EQ(SectionTicksPerQuarterNote(Rhythm(TimeSignatureByte(1, 2), {1}, {32767}), 0), 32767);
  EXPECT_FALSE(
      SectionTicksPerQuarterNote(Rhythm(TimeSignatureByte(1, 2), {1}, {32768}), 0).has_value());
}

TEST(TicksPerQuarterNote, OurExamplesGive96) {
  for (const auto& example : examples::ExampleRhythms()) {
    const TLoadOutcome outcome = ReadRhythm(example.fileName, example.bytes);
    ASSERT_EQ(outcome.status, TLoadStatus::kLoaded) << example.fileName;
    const TRhythmSlot& slot = outcome.rhythm->slot;
    EXPECT_EQ(TicksPerQuarterNote(slot), 96) << example.fileName;
    for (int section = 0; section < kSectionCount; ++section) {
      EXPECT_EQ(SectionTicksPerQuarterNote(slot, section), 96)
          << example.fileName << " section " << section;
    }
  }
}

TEST(TicksPerQuarterNote, MostSectionsDecide) {
  // Var1 and Var2 say 120; Intro1 says 96; a fill that stops early says nothing.
  EXPECT_EQ(TicksPerQuarterNote(Rhythm(k44, {2, 0, 4, 4, 1}, {768, 0, 1920, 1920, 290})), 120);
}

TEST(TicksPerQuarterNote, ATieGoesToMoreBarsThenToTheLargerValue) {
  // One section of 4 bars says 96, one of 1 bar says 192: the longer one wins.
  EXPECT_EQ(TicksPerQuarterNote(Rhythm(k44, {4, 1}, {1536, 768})), 96);
  EXPECT_EQ(TicksPerQuarterNote(Rhythm(k44, {1, 4}, {768, 1536})), 96);
  // Two bars each: the larger value.
  EXPECT_EQ(TicksPerQuarterNote(Rhythm(k44, {2, 2}, {768, 1536})), 192);
  EXPECT_EQ(TicksPerQuarterNote(Rhythm(k44, {2, 2}, {1536, 768})), 192);
}

TEST(TicksPerQuarterNote, NoVoteGivesTheDefault) {
  EXPECT_EQ(TicksPerQuarterNote(TRhythmBuilder(96, k44).Slot()), kDefaultTicksPerQuarterNote);
  EXPECT_EQ(TicksPerQuarterNote(Rhythm(0x02, {2, 4}, {768, 1536})), 96) << "numerator 0";
  EXPECT_EQ(TicksPerQuarterNote(Rhythm(k78, {1, 2}, {100, 333})), 96) << "no whole number";
  // A tempo byte is no vote: a rhythm at 200 with every section empty still says 96.
  EXPECT_EQ(TicksPerQuarterNote(TRhythmBuilder(200, k34).Bars(2, 4).Slot()), 96);
}

TEST(QuarterNoteMicroseconds, IsQTicksOf500000OverTUsRoundedHalfUp) {
  EXPECT_EQ(QuarterNoteMicroseconds(96, 96), 500000u);
  EXPECT_EQ(QuarterNoteMicroseconds(96, 104), 461538u);  // 461,538.46
  EXPECT_EQ(QuarterNoteMicroseconds(96, 88), 545455u);   // 545,454.55
  EXPECT_EQ(QuarterNoteMicroseconds(1, 64), 7813u);      // 7,812.5: a half rounds up
  EXPECT_EQ(QuarterNoteMicroseconds(480, 11), 21818182u);
  EXPECT_EQ(QuarterNoteMicroseconds(1, 255), 1961u);
}

TEST(TempoByteFor, IsQTicksOf500000OverMicrosRoundedHalfUp) {
  EXPECT_EQ(TempoByteFor(96, 500000), 96u);    // 120 quarter notes a minute at 96
  EXPECT_EQ(TempoByteFor(480, 500000), 480u);  // out of range: the caller checks
  EXPECT_EQ(TempoByteFor(96, 600000), 80u);    // 100 a minute
  EXPECT_EQ(TempoByteFor(96, 631579), 76u);    // 75.99999 rounds to 76
  EXPECT_EQ(TempoByteFor(96, 4000000), 12u);   // 12 exactly
  EXPECT_EQ(TempoByteFor(2, 4000000), 0u);     // 0.25 rounds down
  EXPECT_EQ(TempoByteFor(1, 200000), 3u);      // 2.5: a half rounds up
  EXPECT_EQ(TempoByteFor(96, 640000), 75u);    // 75 exactly
}

TEST(RoundedQuotient, RoundsHalvesUpAndTheRestToTheNearest) {
  EXPECT_EQ(RoundedQuotient(5, 2), 3u);
  EXPECT_EQ(RoundedQuotient(1, 2), 1u);
  EXPECT_EQ(RoundedQuotient(7, 2), 4u);
  EXPECT_EQ(RoundedQuotient(14, 4), 4u);
  EXPECT_EQ(RoundedQuotient(13, 4), 3u);
  EXPECT_EQ(RoundedQuotient(15, 4), 4u);
  EXPECT_EQ(RoundedQuotient(12, 4), 3u);
  EXPECT_EQ(RoundedQuotient(0, 7), 0u);
  EXPECT_EQ(RoundedQuotient(3, 7), 0u);
  EXPECT_EQ(RoundedQuotient(4, 7), 1u);
}

TEST(TempoByteFor, GivesBackEveryTempoByteAfterQuarterNoteMicroseconds) {
  // Export states the quarter note's length rounded; import rounds back: no tempo byte is lost,
  // for the divisions rhythms are made with and for the largest a MIDI file holds.
  for (const int q : {1, 24, 96, 120, 192, 480, 960, kMaxTicksPerQuarterNote}) {
    for (int tempo = 1; tempo <= 255; ++tempo) {
      const auto t = static_cast<std::uint8_t>(tempo);
      ASSERT_EQ(TempoByteFor(q, QuarterNoteMicroseconds(q, t)), static_cast<std::uint64_t>(tempo))
          << "Q " << q;
    }
  }
}

TEST(MidiTicksPerQuarterNote, IsTheRhythmsUnlessItsQuarterNoteOutlastsAMidiTempo) {
  // 96 ticks at tempo byte 3 last 16,000,000 us, within the 16,777,215 a tempo holds; at 2,
  // 24,000,000 us do not fit, so the MIDI files count the tempo byte's ticks a quarter note.
  EXPECT_EQ(MidiTicksPerQuarterNote(Rhythm(k44, {2}, {768})), 96);
  TRhythmSlot slow = Rhythm(k44, {2}, {768});
  slow.header.SetTempo(3);
  EXPECT_EQ(MidiTicksPerQuarterNote(slow), 96);
  slow.header.SetTempo(2);
  EXPECT_EQ(MidiTicksPerQuarterNote(slow), 2);
  // 192 ticks a quarter note need a tempo byte of 6 or more.
  TRhythmSlot fine = Rhythm(k44, {2}, {1536});
  fine.header.SetTempo(6);
  EXPECT_EQ(MidiTicksPerQuarterNote(fine), 192);
  fine.header.SetTempo(5);
  EXPECT_EQ(MidiTicksPerQuarterNote(fine), 5);
}

}  // namespace
}  // namespace brondel
