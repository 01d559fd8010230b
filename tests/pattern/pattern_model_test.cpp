// The pattern of a section: note bars placed where the buffer plays them (steps, waits, 16-bit
// wrapping, restarts, notes left sounding, the buffer's order of equal times), rows per key, the
// meter's bar and beat lines and bar:beat:tick positions, and odd rhythms that must not upset it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "document/rhythm_loader.h"
#include "pattern/key_names.h"
#include "pattern/pattern_model.h"
#include "render/part_mix.h"
#include "tests/support/test_files.h"
#include "tests/support/test_rhythm.h"

namespace brondel {

// A note in words in failure messages: "part 1 key 36 at 4 for 20 vel 100 row 1".
void PrintTo(const TPatternNote& note, std::ostream* out) {
  *out << "part " << note.part << " key " << note.key << " at " << note.start << " for "
       << note.length << " vel " << note.velocity << " row " << note.row
       << (note.leftSounding ? " (left sounding)" : "");
}

void PrintTo(const TMusicalPosition& position, std::ostream* out) {
  *out << position.bar << ':' << position.beat << ':' << position.tick;
}

void PrintTo(const TGridLine& line, std::ostream* out) {
  *out << (line.bar != 0 ? "bar " + std::to_string(line.bar) + " at " : "beat at ") << line.tick;
}

namespace test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int kVar1 = 2;
constexpr std::uint8_t k44 = 0x22;
constexpr std::uint8_t k34 = 0x1A;
constexpr std::uint8_t k68 = 0x33;
constexpr std::uint8_t k128 = 0x63;  // 12/8

TPatternNote N(int part, int key, std::uint32_t start, std::uint32_t length, int velocity, int row,
               bool leftSounding = false) {
  return {part, key, row, start, length, velocity, leftSounding};
}

std::vector<TPatternNote> Lane(const TSectionPattern& pattern, int part) {
  const auto notes = pattern.LaneNotes(part);
  return {notes.begin(), notes.end()};
}

TSectionPattern Var1(const TestRhythm& rhythm) {
  return BuildSectionPattern(rhythm.slot, kVar1);
}

TEST(PatternNotes, ANoteLastsFromItsNoteOnToItsNoteOffAfterTheTimeSteps) {
  TestRhythm rhythm;
  rhythm.Part(kVar1, kBass,
              {Note(4, 36, 100), Note(20, 36, 0), Note(4, 38, 90), Note(10, 38, 0), End(2)});
  const TSectionPattern pattern = Var1(rhythm);
  EXPECT_THAT(Lane(pattern, kBass), ElementsAre(N(kBass, 36, 4, 20, 100, 1),  //
                                                N(kBass, 38, 28, 10, 90, 0)));
  EXPECT_THAT(pattern.lanes[kBass].keys, ElementsAre(38, 36)) << "highest key first";
  EXPECT_EQ(pattern.length, 40u);
}

TEST(PatternNotes, WaitsMoveTheNextNoteAndTwoInARowAddUp) {
  TestRhythm rhythm;
  rhythm.Part(kVar1, kChord1,
              {TRhythmRecord{0x10, kWaitMarker, 0x02}, Note(4, 60, 100),  // at 0x210 + 4 = 532
               Wait(100), Wait(200), Note(0, 60, 0),                      // off 300 later
               Wait(1000), Wait(24), Note(6, 64, 80), Note(10, 64, 0), End()});
  EXPECT_THAT(Lane(Var1(rhythm), kChord1),
              ElementsAre(N(kChord1, 60, 532, 300, 100, 1), N(kChord1, 64, 1862, 10, 80, 0)));
}

TEST(PatternNotes, ARestartOfASoundingKeyEndsTheBarBeforeAndStrayNoteOffsAreNoNotes) {
  TestRhythm rhythm;
  rhythm.Part(kVar1, kChord2,
              {Note(0, 48, 0),                      // nothing sounds yet
               Note(0, 60, 100), Note(10, 60, 80),  // restarted at 10
               Note(20, 60, 0), Note(5, 60, 0),     // ends it at 30; a second note-off
               Note(0, 64, 70), Note(40, 64, 0), End()});
  EXPECT_THAT(Lane(Var1(rhythm), kChord2),
              ElementsAre(N(kChord2, 60, 0, 10, 100, 1), N(kChord2, 60, 10, 20, 80, 1),
                          N(kChord2, 64, 35, 40, 70, 0)));
}

TEST(PatternNotes, OverlappingNotesOfDifferentKeysEachKeepTheirOwnNoteOff) {
  TestRhythm rhythm;
  rhythm.Part(kVar1, kChord3,
              {Note(0, 60, 100), Note(0, 64, 100), Note(0, 67, 100), Note(48, 64, 0),
               Note(48, 60, 0), Note(48, 67, 0), End()});
  EXPECT_THAT(Lane(Var1(rhythm), kChord3),
              ElementsAre(N(kChord3, 60, 0, 96, 100, 2), N(kChord3, 64, 0, 48, 100, 1),
                          N(kChord3, 67, 0, 144, 100, 0)));
}

TEST(PatternNotes, ANoteLeftSoundingLastsToTheSectionsEnd) {
  TestRhythm rhythm;
  rhythm
      .Part(kVar1, kBass, {Note(5, 40, 100), End(95)})  // bass ends at 100
      .Part(kVar1, kDrums, {Note(0, 36, 100), Note(10, 36, 0), End(190), Filler()});
  const TSectionPattern pattern = Var1(rhythm);
  EXPECT_EQ(pattern.length, 200u) << "the drums' end";
  EXPECT_THAT(Lane(pattern, kBass), ElementsAre(N(kBass, 40, 5, 195, 100, 0, true)));
}

TEST(PatternNotes, TimesWrapPast65535AsTheRenderPlacesThem) {
  TestRhythm rhythm;
  rhythm.Part(kVar1, kBass, {Wait(0xFFFF), Note(101, 36, 100), Note(20, 36, 0), End()})
      .Part(kVar1, kChord1,
            {Wait(65500), Note(0, 60, 100),  // at 65500
             Note(50, 60, 0),                // 65550 wraps to 14: played before its note-on
             End(), Filler()})
      .Part(kVar1, kDrums, {Wait(65530), End(), Filler()});
  const TSectionPattern pattern = Var1(rhythm);
  EXPECT_THAT(Lane(pattern, kBass), ElementsAre(N(kBass, 36, 100, 20, 100, 0)));
  EXPECT_EQ(pattern.length, 65530u);
  EXPECT_THAT(Lane(pattern, kChord1), ElementsAre(N(kChord1, 60, 65500, 30, 100, 0, true)));
}

TEST(PatternNotes, OfEqualTimesTheBuffersOrderCountsAndCanCutANoteAsItStarts) {
  // Drums: the key 42 ends and starts again at 48. After the drums come three end records at 0
  // (Chord1 to Chord3) and the bass's at 200: the sort turns the two events at 48 round once for
  // each of the three earlier events that follow them, so the note-on goes out first.
  TestRhythm rhythm;
  rhythm
      .Part(kVar1, kDrums,
            {Note(0, 42, 100), Note(48, 42, 0), Note(0, 42, 90), Note(48, 42, 0), End(), Filler()})
      .Part(kVar1, kBass, {End(200), Filler()});
  std::vector<TRenderEvent> played;
  CollectSectionEvents(rhythm.slot, kVar1, played);
  ExchangeSortByTime(played);
  const auto at48 = std::find_if(played.begin(), played.end(),
                                 [](const TRenderEvent& event) { return event.Time == 48; });
  ASSERT_NE(at48, played.end());
  ASSERT_EQ(at48->Data2, 90) << "the note-on is played first";

  EXPECT_THAT(Lane(Var1(rhythm), kDrums),
              ElementsAre(N(kDrums, 42, 0, 48, 100, 0), N(kDrums, 42, 48, 0, 90, 0)));

  // With the bass's end at 0 too, four events turn them back: both notes last 48 ticks.
  rhythm.Part(kVar1, kBass, {End(), Filler()});
  EXPECT_THAT(Lane(Var1(rhythm), kDrums),
              ElementsAre(N(kDrums, 42, 0, 48, 100, 0), N(kDrums, 42, 48, 48, 90, 0)));
}

TEST(PatternNotes, EmptyPartsWaitsOnlyAndHighBytesGiveNoTroubleNorNotes) {
  TestRhythm rhythm;
  rhythm
      .Part(kVar1, kDrums, {Wait(300), Wait(0xFFFF)})  // no end record at all
      .Part(kVar1, kBass, {Note(0, 200, 255), Note(10, 200, 0), End(30), Filler()})
      .Part(kVar1, kChord1, {End(7), TRhythmRecord{0, kEndMarker, 0}});  // a second end record
  const TSectionPattern pattern = Var1(rhythm);
  EXPECT_THAT(Lane(pattern, kDrums), IsEmpty());
  EXPECT_THAT(pattern.lanes[kDrums].keys, IsEmpty());
  EXPECT_THAT(Lane(pattern, kChord1), IsEmpty()) << "end records are no notes";
  EXPECT_THAT(Lane(pattern, kBass), ElementsAre(N(kBass, 200, 0, 10, 255, 0)));
  EXPECT_EQ(pattern.length, 40u);
  EXPECT_EQ(KeyName(kBass, 200), "key 200");

  TestRhythm empty;
  const TSectionPattern nothing = Var1(empty);
  EXPECT_THAT(nothing.notes, IsEmpty());
  EXPECT_EQ(nothing.length, 0u);
  EXPECT_EQ(nothing.Extent(), 1u) << "the timeline is never empty";
}

TEST(PatternNotes, NotesNearARangeIncludeLongNotesStartedBeforeIt) {
  TestRhythm rhythm;
  rhythm.Part(kVar1, kChord1,
              {Note(0, 60, 100), Wait(1000), Note(0, 60, 0),           // 0 for 1000
               Note(0, 64, 100), Note(10, 64, 0),                      // 1000 for 10
               Note(90, 67, 100), Note(10, 67, 0),                     // 1100 for 10
               Wait(500), Note(0, 72, 100), Note(10, 72, 0), End()});  // 1620 for 10
  const TSectionPattern pattern = Var1(rhythm);
  const auto near = pattern.NotesNear(kChord1, 900, 1200);
  ASSERT_EQ(near.size(), 3u);
  EXPECT_EQ(near.front().start, 0u) << "the long note still sounds at 900";
  EXPECT_EQ(near.back().start, 1100u);
  EXPECT_THAT(pattern.NotesNear(kChord1, 2700, 3000), IsEmpty()) << "all end before 2700 - 1000";
  EXPECT_THAT(pattern.NotesNear(kDrums, 0, 2000), IsEmpty());
}

// The ticks of the lines that `keep` keeps.
template <typename Keep>
std::vector<std::uint64_t> Ticks(const std::vector<TGridLine>& lines, Keep keep) {
  std::vector<std::uint64_t> ticks;
  for (const TGridLine& line : lines) {
    if (keep(line)) ticks.push_back(line.tick);
  }
  return ticks;
}

std::vector<std::uint64_t> BarTicks(const std::vector<TGridLine>& lines) {
  return Ticks(lines, [](const TGridLine& line) { return line.bar != 0; });
}

std::vector<std::uint64_t> PulseTicks(const std::vector<TGridLine>& lines) {
  return Ticks(lines, [](const TGridLine& line) { return line.pulse; });
}

std::vector<std::uint64_t> AllTicks(const std::vector<TGridLine>& lines) {
  return Ticks(lines, [](const TGridLine&) { return true; });
}

TPatternMeter Meter(std::uint8_t signature, int ticksPerQuarter = 96) {
  return {TimeSignatureNumerator(signature), TimeSignatureDenominator(signature), ticksPerQuarter};
}

TEST(PatternGrid, BarAndBeatLinesFollowTheTimeSignature) {
  EXPECT_THAT(GridLines(Meter(k44), 0, 800),
              ElementsAre(TGridLine{0, 1}, TGridLine{96, 0}, TGridLine{192, 0}, TGridLine{288, 0},
                          TGridLine{384, 2}, TGridLine{480, 0}, TGridLine{576, 0},
                          TGridLine{672, 0}, TGridLine{768, 3}));
  EXPECT_THAT(BarTicks(GridLines(Meter(k34), 0, 864)), ElementsAre(0, 288, 576, 864));
  EXPECT_THAT(AllTicks(GridLines(Meter(k34), 0, 288)), ElementsAre(0, 96, 192, 288));
  // Compound meters: beats of an eighth note, six or twelve to the bar.
  EXPECT_THAT(BarTicks(GridLines(Meter(k68), 0, 600)), ElementsAre(0, 288, 576));
  EXPECT_THAT(AllTicks(GridLines(Meter(k68), 0, 288)), ElementsAre(0, 48, 96, 144, 192, 240, 288));
  EXPECT_THAT(BarTicks(GridLines(Meter(k128), 0, 1200)), ElementsAre(0, 576, 1152));
  EXPECT_EQ(GridLines(Meter(k128), 0, 576).size(), 13u);
  // Their eighths go in threes: a felt beat every dotted quarter.
  EXPECT_THAT(PulseTicks(GridLines(Meter(k68), 0, 288)), ElementsAre(0, 144, 288));
  EXPECT_THAT(PulseTicks(GridLines(Meter(k128), 0, 576)), ElementsAre(0, 144, 288, 432, 576));
  EXPECT_THAT(PulseTicks(GridLines(Meter(k34), 0, 288)), ElementsAre(0, 96, 192, 288));
  EXPECT_THAT(PulseTicks(GridLines(Meter(0x1B), 0, 144)), ElementsAre(0, 48, 96, 144))
      << "3/8 counts every eighth";
  // A range that starts between lines, and numbers that go on from there.
  EXPECT_THAT(GridLines(Meter(k34), 500, 600), ElementsAre(TGridLine{576, 3, true}));
  EXPECT_THAT(GridLines(Meter(k44), 97, 191), IsEmpty());
}

TEST(PatternGrid, BeatsThatAreNoWholeTicksStartAtTheTickBelow) {
  const TPatternMeter meter{6, 8, 3};  // beats of 1.5 ticks
  EXPECT_THAT(AllTicks(GridLines(meter, 0, 10)), ElementsAre(0, 1, 3, 4, 6, 7, 9, 10));
  EXPECT_THAT(BarTicks(GridLines(meter, 0, 20)), ElementsAre(0, 9, 18));
  EXPECT_EQ(meter.PositionOf(2), (TMusicalPosition{1, 2, 1}));
  EXPECT_EQ(meter.PositionOf(9), (TMusicalPosition{2, 1, 0}));
}

TEST(PatternGrid, PositionsCountBarsAndBeatsFromOne) {
  EXPECT_EQ(Meter(k44).PositionOf(0), (TMusicalPosition{1, 1, 0}));
  EXPECT_EQ(Meter(k44).PositionOf(383), (TMusicalPosition{1, 4, 95}));
  EXPECT_EQ(Meter(k44).PositionOf(384), (TMusicalPosition{2, 1, 0}));
  EXPECT_EQ(Meter(k34).PositionOf(300), (TMusicalPosition{2, 1, 12}));
  EXPECT_EQ(Meter(k68).PositionOf(300), (TMusicalPosition{2, 1, 12}));
  EXPECT_EQ(Meter(k68).PositionOf(287), (TMusicalPosition{1, 6, 47}));
  EXPECT_EQ(Meter(k44, 120).PositionOf(65535), (TMusicalPosition{137, 3, 15}));
}

TEST(PatternGrid, AMeterWithoutBarsOrBeatsDividesByNothing) {
  // 0/1: beats of a whole note, no bars.
  const TPatternMeter zero = Meter(0x00);
  EXPECT_FALSE(zero.HasBars());
  EXPECT_THAT(GridLines(zero, 0, 800),
              ElementsAre(TGridLine{0, 0}, TGridLine{384, 0}, TGridLine{768, 0}));
  EXPECT_EQ(zero.PositionOf(800), (TMusicalPosition{1, 3, 32}));
  // Beats shorter than a tick: bars only, then nothing at all.
  const TPatternMeter fine{31, 128, 1};
  EXPECT_FALSE(fine.HasBeats());
  EXPECT_FALSE(fine.HasBars());
  EXPECT_THAT(GridLines(fine, 0, 1000), IsEmpty());
  EXPECT_EQ(fine.PositionOf(77), (TMusicalPosition{1, 1, 77}));
  const TPatternMeter barsOnly{31, 64, 1};  // bars of 1.9375 ticks
  EXPECT_THAT(BarTicks(GridLines(barsOnly, 0, 4)), ElementsAre(0, 1, 3));
  EXPECT_EQ(barsOnly.PositionOf(2), (TMusicalPosition{2, 1, 1}));
  EXPECT_FALSE((TPatternMeter{4, 4, 0}.HasBeats())) << "no ticks per quarter note";
  // Beats of exactly one tick are drawn, every tick a line.
  const TPatternMeter tickBeats{3, 128, 32};
  EXPECT_TRUE(tickBeats.HasBeats());
  EXPECT_THAT(AllTicks(GridLines(tickBeats, 0, 4)), ElementsAre(0, 1, 2, 3, 4));
  EXPECT_THAT(BarTicks(GridLines(tickBeats, 0, 7)), ElementsAre(0, 3, 6));
  EXPECT_EQ(tickBeats.PositionOf(4), (TMusicalPosition{2, 2, 0}));
}

TEST(PatternGrid, TheTimelineShowsTheLongerOfTheBarsAndTheData) {
  TestRhythm rhythm;
  rhythm.slot.header.SetTimeSignature(k44);
  rhythm.Part(kVar1, kBass, {Note(0, 36, 100), Wait(1000), Note(0, 36, 0), End(), Filler()});
  rhythm.slot.header.SetBarCount(kVar1, 4);
  EXPECT_EQ(Var1(rhythm).Extent(), 1536u) << "four bars of 384, the data ends at 1000";
  rhythm.slot.header.SetBarCount(kVar1, 2);
  EXPECT_EQ(Var1(rhythm).Extent(), 1000u);
  rhythm.slot.header.SetBarCount(kVar1, 0xFFFF);
  EXPECT_EQ(Var1(rhythm).Extent(), 0x10000u) << "at most the 16-bit timeline";
  rhythm.slot.header.SetTimeSignature(0x00);
  EXPECT_EQ(Var1(rhythm).Extent(), 1000u) << "0/1 has no bars to count";
}

TEST(PatternGrid, TheMeterIsTheRhythmsTimeSignatureAndTicksPerQuarterNote) {
  for (const std::string name : {"pop_beat.ckf", "waltz.z00", "ballad.ckf"}) {
    const std::string path = SourcePath("examples/" + name).string();
    const TLoadOutcome loaded = ReadRhythmFile(path);
    ASSERT_TRUE(loaded.rhythm) << path;
    const TRhythmSlot& slot = loaded.rhythm->slot;
    for (int section = 0; section < kSectionCount; ++section) {
      const TSectionPattern pattern = BuildSectionPattern(slot, section);
      EXPECT_EQ(pattern.meter.ticksPerQuarter, TicksPerQuarterNote(slot));
      EXPECT_EQ(pattern.meter.numerator, slot.numerator);
      EXPECT_EQ(pattern.meter.denominator, slot.denominator);
      EXPECT_EQ(pattern.length, SectionLength(slot, section)) << name << " " << section;
      EXPECT_EQ(pattern.Extent(), pattern.meter.BarStart(slot.header.BarCount(section)))
          << name << " " << section << ": the examples' sections fill their bars";
    }
  }
}

// Random records, damaged ones included: whatever the parts hold, every note stays inside the
// section, has its key's row, and the lanes list exactly the keys their notes play.
TEST(PatternNotes, RandomRecordsKeepEveryNoteInsideTheSection) {
  std::mt19937 random(20240617);
  for (int round = 0; round < 200; ++round) {
    TestRhythm rhythm;
    rhythm.slot.header.SetTimeSignature(static_cast<std::uint8_t>(random()));
    rhythm.slot.header.SetBarCount(kVar1, static_cast<std::uint16_t>(random() % 70000));
    for (int part = 0; part < kPartCount; ++part) {
      auto& stream = rhythm.slot.streams[kVar1][static_cast<std::size_t>(part)];
      stream.clear();
      const std::size_t records = random() % 400;
      for (std::size_t i = 0; i < records; ++i) {
        const auto kind = random() % 8;
        const auto b0 = static_cast<std::uint8_t>(random());
        const auto key = static_cast<std::uint8_t>(kind == 0 ? kWaitMarker : 30 + random() % 12);
        const auto velocity = static_cast<std::uint8_t>(kind < 4 ? 0 : random());
        AppendRecord(stream, {b0, key, velocity});
      }
    }
    const TSectionPattern pattern = Var1(rhythm);
    ASSERT_GE(pattern.Extent(), 1u);
    for (int part = 0; part < kPartCount; ++part) {
      const TPatternLane& lane = pattern.lanes[static_cast<std::size_t>(part)];
      std::set<int> keys;
      std::uint32_t previousStart = 0;
      for (const TPatternNote& note : pattern.LaneNotes(part)) {
        ASSERT_EQ(note.part, part);
        ASSERT_LE(note.start + note.length, pattern.length);
        ASSERT_LE(note.length, lane.longestNote);
        ASSERT_GE(note.start, previousStart);
        ASSERT_LT(static_cast<std::size_t>(note.row), lane.keys.size());
        ASSERT_EQ(lane.keys[static_cast<std::size_t>(note.row)], note.key);
        ASSERT_GT(note.velocity, 0);
        previousStart = note.start;
        keys.insert(note.key);
      }
      ASSERT_EQ(keys.size(), lane.keys.size());
    }
  }
}

TEST(KeyNames, MiddleCIsC4AndDrumKeysHaveTheirGeneralMidiNames) {
  EXPECT_EQ(NoteName(60), "C4");
  EXPECT_EQ(NoteName(61), "C#4");
  EXPECT_EQ(NoteName(0), "C-1");
  EXPECT_EQ(NoteName(11), "B-1");
  EXPECT_EQ(NoteName(12), "C0");
  EXPECT_EQ(NoteName(127), "G9");
  EXPECT_EQ(NoteName(128), "key 128");
  EXPECT_EQ(PercussionName(35), "Acoustic Bass Drum");
  EXPECT_EQ(PercussionName(38), "Acoustic Snare");
  EXPECT_EQ(PercussionName(42), "Closed Hi-Hat");
  EXPECT_EQ(PercussionName(81), "Open Triangle");
  EXPECT_EQ(PercussionName(34), "A#1") << "outside the percussion keys";
  EXPECT_EQ(PercussionName(82), "A#5");
  EXPECT_EQ(KeyName(0, 38), "Acoustic Snare");
  EXPECT_EQ(KeyName(1, 38), "D2");
  EXPECT_EQ(KeyName(4, 250), "key 250");
}

TEST(PartMix, MuteSilencesSoloLeavesOnlyTheSoloedAndMuteWins) {
  TPartMix mix;
  EXPECT_TRUE(mix.AllAudible());
  mix.muted[kBass] = true;
  EXPECT_FALSE(mix.Audible(kBass));
  EXPECT_TRUE(mix.Audible(kDrums));
  EXPECT_FALSE(mix.AllAudible());
  mix.soloed[kDrums] = true;
  mix.soloed[kBass] = true;
  EXPECT_TRUE(mix.Audible(kDrums));
  EXPECT_FALSE(mix.Audible(kBass)) << "muted and soloed stays silent";
  EXPECT_FALSE(mix.Audible(kChord1));
  mix.soloed = {};
  mix.muted = {};
  EXPECT_TRUE(mix.AllAudible());
}

}  // namespace
}  // namespace test
}  // namespace brondel
