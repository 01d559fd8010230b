// "Copy": a part of the import file replaces a part of the main file, in the order of checks
// and steps the command follows.
#include <gtest/gtest.h>

#include "document/copy_part.h"
#include "document/rhythm_builder.h"
#include "document/settings_grid.h"
#include "tests/support/memory_grid.h"
#include "tests/support/rhythm_text.h"

namespace brondel {
namespace {

using test::SameDocument;
using test::SameRecords;
using test::TMemoryGrid;

/// A loaded slot built from `rhythm`.
TRhythmSlot Loaded(const TRhythmBuilder& rhythm, const std::string& name) {
  TRhythmSlot slot = rhythm.Slot();
  slot.fileName = name;
  return slot;
}

/// Main file: 4/4, Var1 and Var2 of 4 bars, Fill1 of 1 bar, short parts.
TRhythmBuilder MainRhythm(std::uint8_t timeSignature = 0x22) {
  TRhythmBuilder rhythm(96, timeSignature);
  rhythm.Bars(2, 4).Bars(3, 4).Bars(4, 1);
  rhythm.Settings(1, PartSettings(33, 0, 100, 64, 20, 0));
  rhythm.Settings(2, PartSettings(4, 0, 90, 40, 50, 40));
  rhythm.Part(2, 1, TPartBuilder().Note(0, 36, 90).Wait(300).Note(0, 36, 0).End(84));
  return rhythm;
}

/// Import file: 4/4, Var1 of 4 bars, Fill1 of 4 bars, longer parts and other settings.
TRhythmBuilder ImportRhythm(std::uint8_t timeSignature = 0x22) {
  TRhythmBuilder rhythm(120, timeSignature);
  rhythm.Bars(2, 4).Bars(4, 4);
  TPartSettings bass = PartSettings(34, 1, 110, 30, 10, 5);
  bass.bytes[6] = 0xA6;
  bass.bytes[7] = 0xA7;
  rhythm.Settings(2, 1, bass);
  rhythm.Settings(4, 0, PartSettings(25, 0, 70, 90, 60, 70));
  rhythm.Part(2, 1,
              TPartBuilder()
                  .Note(0, 36, 100)
                  .Note(48, 36, 0)
                  .Note(48, 43, 90)
                  .Note(48, 43, 0)
                  .Wait(1000)
                  .Note(0, 40, 80)
                  .Note(96, 40, 0)
                  .End(12));
  rhythm.Part(4, 0, TPartBuilder().Note(0, 38, 100).Note(0, 42, 80).Note(24, 38, 0).End());
  return rhythm;
}

class CopyPartTest : public testing::Test {
 protected:
  void Open(const TRhythmBuilder& main, const TRhythmBuilder& import) {
    docs_.slots[kMainSlot] = Loaded(main, "main.ckf");
    docs_.slots[kImportSlot] = Loaded(import, "import.ckf");
    mainBefore_ = docs_.slots[kMainSlot];
    importBefore_ = docs_.slots[kImportSlot];
    ShowPartSettings(grid_, docs_.slots[kMainSlot].header, 2);
  }
  TRhythmSlot& Main() { return docs_.slots[kMainSlot]; }
  const TPartStream& ImportStream(int s, int p) const {
    return importBefore_.streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(p)];
  }

  TRhythmDocuments docs_;
  TMemoryGrid grid_;
  TRhythmSlot mainBefore_;
  TRhythmSlot importBefore_;
};

TEST_F(CopyPartTest, ReplacesThePartByteForByte) {
  Open(MainRhythm(), ImportRhythm());
  const auto refusal = CopyPart(docs_, {2, 1, 2, 1, false}, grid_);
  ASSERT_FALSE(refusal) << *refusal;
  EXPECT_TRUE(SameRecords(Main().streams[2][1], ImportStream(2, 1)));
  // Everything else of the main file stays, and the import file is untouched.
  TRhythmSlot expected = mainBefore_;
  expected.streams[2][1] = ImportStream(2, 1);
  expected.eventCounts[2] = CountSectionEvents(expected, 2);
  EXPECT_TRUE(SameDocument(Main(), expected));
  EXPECT_TRUE(SameDocument(docs_.slots[kImportSlot], importBefore_));
}

TEST_F(CopyPartTest, RecountsTheTargetSection) {
  Open(MainRhythm(), ImportRhythm());
  ASSERT_FALSE(CopyPart(docs_, {2, 1, 2, 1, false}, grid_));
  // Var1 before: bass 2 notes + end, four empty parts' ends. After: the import bass has
  // 6 notes + end.
  EXPECT_EQ(mainBefore_.eventCounts[2], 3 + 4);
  EXPECT_EQ(Main().eventCounts[2], 7 + 4);
  EXPECT_EQ(Main().eventCounts[2], CountSectionEvents(Main(), 2));
}

TEST_F(CopyPartTest, SourceAndTargetMayDifferInSectionAndPart) {
  // Import Fill1 (4 bars) Drums into main Var2 (4 bars) Chord1.
  Open(MainRhythm(), ImportRhythm());
  ASSERT_FALSE(CopyPart(docs_, {4, 0, 3, 2, false}, grid_));
  EXPECT_TRUE(SameRecords(Main().streams[3][2], ImportStream(4, 0)));
  EXPECT_EQ(Main().eventCounts[3], CountSectionEvents(Main(), 3));
  // Into main Fill1 (1 bar) the same source is refused.
  const auto refusal = CopyPart(docs_, {4, 0, 4, 2, false}, grid_);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(*refusal, "Sorry. Both sections mesures must be the same length");
  EXPECT_TRUE(SameRecords(Main().streams[4][2], mainBefore_.streams[4][2]));
}

TEST_F(CopyPartTest, TimeSignatureIsComparedBeforeAnythingElse) {
  Open(MainRhythm(0x22), ImportRhythm(0x1A));  // 4/4 and 3/4
  for (const TCopyRequest request : {TCopyRequest{2, 1, 2, 1, true}, TCopyRequest{4, 0, 4, 0, true},
                                     TCopyRequest{2, -1, 2, -1, true}}) {
    const auto refusal = CopyPart(docs_, request, grid_);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(*refusal, "Sorry. Both rhythms bars must be the same");
  }
  EXPECT_TRUE(SameDocument(Main(), mainBefore_));
}

TEST_F(CopyPartTest, DifferentBarCountsChangeNothing) {
  Open(MainRhythm(), ImportRhythm());
  grid_.Type(1, 2, "5");
  const auto bars = CopyPart(docs_, {2, 1, 4, 1, true}, grid_);  // 4 bars into 1 bar
  ASSERT_TRUE(bars);
  EXPECT_EQ(*bars, "Sorry. Both sections mesures must be the same length");
  EXPECT_TRUE(SameDocument(Main(), mainBefore_));
  EXPECT_EQ(grid_.Value(1, 2), "5") << "the grid is neither refreshed nor read";
}

TEST_F(CopyPartTest, IncludeToneCopiesAllEightBytesAndShowsThem) {
  Open(MainRhythm(), ImportRhythm());
  ShowPartSettings(grid_, Main().header, 0);  // the grid shows another section
  ASSERT_FALSE(CopyPart(docs_, {2, 1, 3, 1, true}, grid_));
  EXPECT_EQ(Main().header.Settings(3, 1), importBefore_.header.Settings(2, 1));
  EXPECT_EQ(Main().header.Settings(3, 1).bytes[6], 0xA6);
  EXPECT_EQ(Main().header.Settings(3, 1).bytes[7], 0xA7);
  EXPECT_EQ(grid_.Cell(0, 0), "Var2");
  for (int k = 0; k < kParamCount; ++k) {
    EXPECT_EQ(grid_.Value(1, k), std::to_string(Main().header.SettingByte(3, 1, k)));
  }
  EXPECT_EQ(grid_.Value(1, 0), "34");
  // Other parts' and sections' settings stay.
  EXPECT_EQ(Main().header.Settings(2, 1), mainBefore_.header.Settings(2, 1));
  EXPECT_EQ(Main().header.Settings(3, 2), mainBefore_.header.Settings(3, 2));
}

TEST_F(CopyPartTest, WithoutToneTheTargetRowIsReadBack) {
  Open(MainRhythm(), ImportRhythm());
  grid_.Type(1, 2, "101");  // Bass volume, typed and not applied
  grid_.Type(1, 3, "128");  // refused
  grid_.Type(2, 2, "55");   // another row: not read
  ASSERT_FALSE(CopyPart(docs_, {2, 1, 2, 1, false}, grid_));
  TPartSettings expected = mainBefore_.header.Settings(2, 1);
  expected.bytes[2] = 101;
  EXPECT_EQ(Main().header.Settings(2, 1), expected);
  EXPECT_EQ(grid_.Value(1, 3), std::to_string(expected.bytes[3]));
  EXPECT_EQ(Main().header.Settings(2, 2), mainBefore_.header.Settings(2, 2));
}

TEST_F(CopyPartTest, NotANumberInTheRowLeavesTheCopyInEffect) {
  Open(MainRhythm(), ImportRhythm());
  grid_.Type(1, 0, "20");
  grid_.Type(1, 1, "abc");
  EXPECT_THROW(CopyPart(docs_, {2, 1, 2, 1, false}, grid_), EConvertError);
  EXPECT_TRUE(SameRecords(Main().streams[2][1], ImportStream(2, 1)));
  EXPECT_EQ(Main().eventCounts[2], CountSectionEvents(Main(), 2));
  EXPECT_EQ(Main().header.SettingByte(2, 1, 0), 20);
  EXPECT_EQ(Main().header.SettingByte(2, 1, 2), mainBefore_.header.SettingByte(2, 1, 2));
}

TEST_F(CopyPartTest, WithoutASelectedPartNothingIsCopied) {
  Open(MainRhythm(), ImportRhythm());
  auto refusal = CopyPart(docs_, {2, -1, 2, 1, true}, grid_);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(*refusal, "Select a part of the import file to copy");
  refusal = CopyPart(docs_, {2, 1, 2, -1, true}, grid_);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(*refusal, "Select the part of the main file to replace");
  refusal = CopyPart(docs_, {-1, -1, -1, -1, true}, grid_);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(*refusal, "Select a part of the import file to copy");
  EXPECT_TRUE(SameDocument(Main(), mainBefore_));
}

}  // namespace
}  // namespace brondel
