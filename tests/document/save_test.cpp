// "Save as": the file image of the main file, its rebuilt fields, the shared prefix, the size
// limit, and the round trip through the loader.
#include <gtest/gtest.h>

#include "document/copy_part.h"
#include "document/rhythm_builder.h"
#include "document/rhythm_loader.h"
#include "document/save_file.h"
#include "examples/generator/example_rhythms.h"
#include "tests/support/memory_grid.h"
#include "tests/support/rhythm_text.h"

namespace brondel {
namespace {

using test::SameDocument;
using test::SameRhythmFile;

/// Opens `bytes` named `name` into `slot` as the window does after a successful read.
void Open(TRhythmDocuments& docs, int slot, const std::string& name,
          const std::vector<std::uint8_t>& bytes) {
  TLoadOutcome outcome = ReadRhythm(name, bytes);
  ASSERT_EQ(outcome.status, TLoadStatus::kLoaded) << outcome.message;
  CommitLoadedRhythm(docs, slot, std::move(*outcome.rhythm));
}

std::vector<std::uint8_t> Example(const std::string& name) {
  for (const auto& example : examples::ExampleRhythms()) {
    if (example.fileName == name) return example.bytes;
  }
  ADD_FAILURE() << "no example " << name;
  return {};
}

/// A rhythm whose 64-byte block is marked, so that tests can tell whose block was written.
std::vector<std::uint8_t> MarkedCkf(std::uint8_t mark) {
  std::vector<std::uint8_t> file = TRhythmBuilder(100, 0x22).Bars(2, 4).CkfFile();
  for (std::size_t i = 0; i < kPrefixSize; ++i) {
    if (i != kTypeByteOffset) file[i] = static_cast<std::uint8_t>(mark + i);
  }
  return file;
}

TEST(BuildSaveImage, RightAfterOpeningHoldsTheStreamsAndTheirSizes) {
  TRhythmDocuments docs;
  Open(docs, kMainSlot, "pop_beat.ckf", Example("pop_beat.ckf"));
  const TSaveImage image = BuildSaveImage(docs);
  ASSERT_FALSE(image.refusal);
  const TRhythmSlot& main = docs.slots[kMainSlot];
  const std::size_t data = TotalPartDataSize(main.streams);
  ASSERT_EQ(image.bytes.size(), 604 + data);
  EXPECT_EQ(ReadU16BE(&image.bytes[18]), image.bytes.size() - 64);
  EXPECT_EQ(ReadU16LE(&image.bytes[64]), image.bytes.size() - 64);
  EXPECT_EQ(ReadU16LE(&image.bytes[64 + 538]), 0xFFFF);
  std::size_t offset = 0;
  for (int s = 0; s < kSectionCount; ++s) {
    for (int p = 0; p < kPartCount; ++p) {
      const auto& stream = main.streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(p)];
      const std::size_t at = 64 + 18 + 52 * static_cast<std::size_t>(s) + 42 + 2 * p;
      EXPECT_EQ(ReadU16LE(&image.bytes[at]), offset) << PartItemText(s, p);
      EXPECT_TRUE(std::equal(stream.begin(), stream.end(), image.bytes.begin() + 604 + offset))
          << PartItemText(s, p);
      offset += stream.size();
    }
  }
}

TEST(BuildSaveImage, ALongerCopiedPartMovesEveryLaterOffset) {
  TRhythmDocuments docs;
  Open(docs, kMainSlot, "pop_beat.ckf", Example("pop_beat.ckf"));
  ASSERT_FALSE(BuildSaveImage(docs).refusal);
  const TRhythmHeader before = docs.slots[kMainSlot].header;
  // Import: the same 4/4 rhythm with a longer Var1:Bass.
  TRhythmBuilder import(96, 0x22);
  import.Bars(2, 4);
  TPartBuilder longer;
  for (int i = 0; i < 40; ++i) longer.Note(0, 36, 90).Note(24, 36, 0);
  import.Part(2, 1, longer.End());
  Open(docs, kImportSlot, "import.ckf", import.CkfFile());
  const std::size_t growth =
      docs.slots[kImportSlot].streams[2][1].size() - docs.slots[kMainSlot].streams[2][1].size();
  test::TMemoryGrid grid;
  ShowPartSettings(grid, docs.slots[kMainSlot].header, 2);
  ASSERT_FALSE(CopyPart(docs, {2, 1, 2, 1, false}, grid));

  const TSaveImage image = BuildSaveImage(docs);
  ASSERT_FALSE(image.refusal);
  const TRhythmHeader& after = docs.slots[kMainSlot].header;
  EXPECT_EQ(after.TotalLength(), before.TotalLength() + growth);
  for (int s = 0; s < kSectionCount; ++s) {
    for (int p = 0; p < kPartCount; ++p) {
      const bool later = s > 2 || (s == 2 && p > 1);
      EXPECT_EQ(after.DataOffset(s, p), before.DataOffset(s, p) + (later ? growth : 0))
          << PartItemText(s, p);
    }
  }
}

TEST(BuildSaveImage, Z00MainFileIsWrittenInTheCkfLayoutAndOpensAgain) {
  TRhythmDocuments docs;
  const std::vector<std::uint8_t> z00 = Example("waltz.z00");
  Open(docs, kMainSlot, "waltz.z00", z00);
  const TSaveImage image = BuildSaveImage(docs);
  ASSERT_FALSE(image.refusal);
  EXPECT_EQ(image.bytes[kTypeByteOffset], kCkfTypeByte);
  EXPECT_NE(z00[kTypeByteOffset], kCkfTypeByte) << "the type byte is set, not carried";
  // The block is the first 64 bytes of the .z00 header, bytes 18, 19 and 23 replaced.
  for (std::size_t i = 0; i < kPrefixSize; ++i) {
    if (i != 18 && i != 19 && i != kTypeByteOffset) {
      EXPECT_EQ(image.bytes[i], z00[i]) << i;
    }
  }
  EXPECT_TRUE(std::equal(z00.begin(), z00.end(), image.bytes.begin() + 64))
      << "header and data stand as in the .z00 file, 64 bytes later";
  for (const char* name : {"waltz.ckf", "waltz.z00.ckf"}) {
    const TLoadOutcome again = ReadRhythm(name, image.bytes);
    ASSERT_EQ(again.status, TLoadStatus::kLoaded) << again.message;
    TRhythmSlot expected = docs.slots[kMainSlot];
    expected.fileName = name;
    EXPECT_TRUE(SameDocument(again.rhythm->slot, expected));
  }
}

TEST(BuildSaveImage, PrefixComesFromTheFileOpenedLast) {
  TRhythmDocuments docs;
  const std::vector<std::uint8_t> mainFile = MarkedCkf(0x10);
  const std::vector<std::uint8_t> importFile = MarkedCkf(0x80);
  Open(docs, kMainSlot, "main.ckf", mainFile);
  Open(docs, kImportSlot, "import.ckf", importFile);
  std::vector<std::uint8_t> image = BuildSaveImage(docs).bytes;
  for (std::size_t i = 0; i < kPrefixSize; ++i) {
    if (i != 18 && i != 19) {
      EXPECT_EQ(image[i], importFile[i]) << i;
    }
  }
  Open(docs, kMainSlot, "main.ckf", mainFile);
  image = BuildSaveImage(docs).bytes;
  EXPECT_EQ(image[0], mainFile[0]);
  EXPECT_EQ(image[63], mainFile[63]);
  // An import opened from a .z00 file gives the start of its header.
  const std::vector<std::uint8_t> z00 = Example("waltz.z00");
  Open(docs, kImportSlot, "waltz.z00", z00);
  image = BuildSaveImage(docs).bytes;
  EXPECT_EQ(image[10], z00[10]) << "the waltz's tempo byte";
  EXPECT_EQ(image[11], z00[11]);
  EXPECT_EQ(ReadU16BE(&image[18]), image.size() - 64);
}

TEST(BuildSaveImage, BeforeAnyOpenWritesAnEmptyHeader) {
  TRhythmDocuments docs;
  const TSaveImage image = BuildSaveImage(docs);
  ASSERT_FALSE(image.refusal);
  ASSERT_EQ(image.bytes.size(), 604u);
  std::vector<std::uint8_t> expected(604, 0);
  expected[18] = 0x02;
  expected[19] = 0x1C;
  expected[kTypeByteOffset] = kCkfTypeByte;
  expected[64] = 0x1C;  // 540, little-endian
  expected[65] = 0x02;
  expected[64 + 538] = 0xFF;
  expected[64 + 539] = 0xFF;
  EXPECT_EQ(image.bytes, expected);
}

TEST(BuildSaveImage, TooLargeDocumentIsRefusedAndNothingRebuilt) {
  TRhythmDocuments docs;
  Open(docs, kMainSlot, "pop_beat.ckf", Example("pop_beat.ckf"));
  TRhythmSlot& main = docs.slots[kMainSlot];
  // Grow Var1:Bass until the total length is exactly 65535: still saved.
  auto& bass = main.streams[2][1];
  const std::size_t others = TotalPartDataSize(main.streams) - bass.size();
  bass.resize(kMaxTotalLength - kHeaderSize - others, 0xFF);
  const TSaveImage fits = BuildSaveImage(docs);
  ASSERT_FALSE(fits.refusal);
  EXPECT_EQ(fits.bytes.size(), 64u + kMaxTotalLength);

  bass.push_back(0xFF);
  const TRhythmHeader header = main.header;
  const auto prefix = docs.filePrefix;
  const TSaveImage refused = BuildSaveImage(docs);
  EXPECT_TRUE(refused.bytes.empty());
  EXPECT_EQ(refused.refusal,
            "The rhythm is too large to save: its header and part data take 65536 bytes, more "
            "than the 65535 a rhythm file can hold.");
  EXPECT_TRUE(test::SameHeader(main.header, header));
  EXPECT_EQ(docs.filePrefix, prefix);
}

TEST(BuildSaveImage, OpenSaveOpenGivesTheSameDocumentForEveryExample) {
  for (const auto& example : examples::ExampleRhythms()) {
    TRhythmDocuments docs;
    Open(docs, kMainSlot, example.fileName, example.bytes);
    const TSaveImage image = BuildSaveImage(docs);
    ASSERT_FALSE(image.refusal);
    const TLoadOutcome again = ReadRhythm("saved.ckf", image.bytes);
    ASSERT_EQ(again.status, TLoadStatus::kLoaded) << example.fileName << ": " << again.message;
    TRhythmSlot expected = docs.slots[kMainSlot];
    expected.fileName = "saved.ckf";
    EXPECT_TRUE(SameDocument(again.rhythm->slot, expected)) << example.fileName;
    if (example.fileName.ends_with(".ckf")) {
      EXPECT_TRUE(SameRhythmFile("saved.ckf", image.bytes, example.bytes));
    }
  }
}

// Only a name that opens in the .z00 layout is refused, and only its extension is replaced.
TEST(SaveTarget, AnExactZ00ExtensionIsProposedAsCkfAndRefused) {
  const std::vector<std::pair<std::string, std::string>> proposals{
      {"/music/waltz.z00", "/music/waltz.ckf"}, {"/music/waltz.ckf", "/music/waltz.ckf"},
      {"/music/WALTZ.Z00", "/music/WALTZ.Z00"}, {"/music/old.z00/waltz", "/music/old.z00/waltz"},
      {"waltz.z00.bak", "waltz.z00.bak"},       {"", ""}};
  for (const auto& [opened, proposed] : proposals) {
    EXPECT_EQ(ProposedSaveName(opened), proposed) << opened;
    EXPECT_EQ(SaveTargetRefusal(proposed), std::nullopt) << proposed;
  }
  EXPECT_EQ(SaveTargetRefusal("/music/waltz.z00"), kZ00TargetRefusal);
  EXPECT_EQ(SaveTargetRefusal(".z00"), kZ00TargetRefusal);
}

}  // namespace
}  // namespace brondel
