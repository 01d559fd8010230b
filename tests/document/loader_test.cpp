// Reading rhythm files: layouts, the type test, part data in any arrangement, fillers, event
// counts, and the refusals of files that end too early.
#include <algorithm>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "document/rhythm_builder.h"
#include "document/rhythm_loader.h"
#include "document/save_file.h"
#include "tests/support/rhythm_text.h"
#include "tests/support/test_files.h"

namespace brondel {
namespace {

using test::SameDocument;
using test::SameRecords;

/// A small 4/4 rhythm with some parts that hold notes, waits and fillers.
TRhythmBuilder SmallRhythm() {
  TRhythmBuilder rhythm(96, 0x22);
  rhythm.Bars(2, 4).Bars(4, 1);
  rhythm.Settings(1, PartSettings(33, 0, 100, 64, 20, 0));
  rhythm.Part(2, 0, TPartBuilder().Note(0, 36, 100).Note(24, 36, 0).Wait(532).End(12));
  rhythm.Part(2, 1, TPartBuilder().Note(0, 36, 90).Wait(300).Note(0, 36, 0).End(84));
  rhythm.Part(4, 3, TPartBuilder().Note(10, 64, 80).End());
  return rhythm;
}

/// A .ckf file laid out by hand: the header with the given offsets, then `data` from byte 604.
std::vector<std::uint8_t> HandLaidCkf(const TRhythmHeader& header,
                                      const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> file(kPrefixSize + kHeaderSize + data.size(), 0);
  file[kTypeByteOffset] = kCkfTypeByte;
  std::copy(header.bytes.begin(), header.bytes.end(), file.begin() + kPrefixSize);
  std::copy(data.begin(), data.end(), file.begin() + kPrefixSize + kHeaderSize);
  return file;
}

void Append(std::vector<std::uint8_t>& data, const TPartStream& stream) {
  data.insert(data.end(), stream.begin(), stream.end());
}

/// A header whose fifty offsets all point at `offset`.
TRhythmHeader AllPartsAt(std::uint16_t offset) {
  TRhythmHeader header;
  header.SetTempo(96);
  header.SetTimeSignature(0x22);
  for (int s = 0; s < kSectionCount; ++s) {
    for (int p = 0; p < kPartCount; ++p) header.SetDataOffset(s, p, offset);
  }
  return header;
}

TEST(ReadRhythm, CkfLayoutHasTheHeaderAt64AndDataFrom604) {
  const TRhythmBuilder rhythm = SmallRhythm();
  const TLoadOutcome outcome = ReadRhythm("/music/small.ckf", rhythm.CkfFile());
  ASSERT_EQ(outcome.status, TLoadStatus::kLoaded) << outcome.message;
  const TLoadedRhythm& loaded = *outcome.rhythm;
  EXPECT_EQ(loaded.layout.headerOffset, 64);
  EXPECT_EQ(loaded.layout.dataBase, 604);
  EXPECT_EQ(loaded.slot.fileName, "/music/small.ckf");
  EXPECT_EQ(loaded.prefix[kTypeByteOffset], kCkfTypeByte);
  EXPECT_EQ(loaded.slot.numerator, 4);
  EXPECT_EQ(loaded.slot.denominator, 4);
  EXPECT_TRUE(loaded.badFillers.empty());
  TRhythmSlot expected = rhythm.Slot();
  expected.fileName = "/music/small.ckf";
  EXPECT_TRUE(SameDocument(loaded.slot, expected));
}

TEST(ReadRhythm, Z00LayoutHasTheHeaderAt0AndDataFrom540AndNoTypeTest) {
  const TRhythmBuilder rhythm = SmallRhythm();
  const std::vector<std::uint8_t> file = rhythm.Z00File();
  ASSERT_NE(file[kTypeByteOffset], kCkfTypeByte) << "byte 23 is a settings byte here";
  const TLoadOutcome outcome = ReadRhythm("small.z00", file);
  ASSERT_EQ(outcome.status, TLoadStatus::kLoaded) << outcome.message;
  EXPECT_EQ(outcome.rhythm->layout.headerOffset, 0);
  EXPECT_EQ(outcome.rhythm->layout.dataBase, 540);
  EXPECT_TRUE(std::equal(file.begin(), file.begin() + kPrefixSize, outcome.rhythm->prefix.begin()))
      << "the prefix of a .z00 file is the start of its header";
  TRhythmSlot expected = rhythm.Slot();
  expected.fileName = "small.z00";
  EXPECT_TRUE(SameDocument(outcome.rhythm->slot, expected));
}

TEST(ReadRhythm, OtherExtensionsLoadInTheCkfLayoutUntested) {
  std::vector<std::uint8_t> file = SmallRhythm().CkfFile();
  file[kTypeByteOffset] = 0;
  for (const char* name : {"SMALL.CKF", "small.rhy", "small", "small.Z00"}) {
    const TLoadOutcome outcome = ReadRhythm(name, file);
    ASSERT_EQ(outcome.status, TLoadStatus::kLoaded) << name << ": " << outcome.message;
    EXPECT_EQ(outcome.rhythm->layout.dataBase, 604) << name;
  }
  EXPECT_EQ(ReadRhythm("small.ckf", file).status, TLoadStatus::kNotRhythm);
}

TEST(ReadRhythm, CkfWithoutTheTypeByteIsNotARhythm) {
  std::vector<std::uint8_t> file = SmallRhythm().CkfFile();
  for (const int wrong : {0x00, 0x0A, 0x0C, 0xFF}) {
    file[kTypeByteOffset] = static_cast<std::uint8_t>(wrong);
    const TLoadOutcome outcome = ReadRhythm("small.ckf", file);
    EXPECT_EQ(outcome.status, TLoadStatus::kNotRhythm);
    EXPECT_EQ(outcome.message, "This is not a rhythm file.\r\nPlease, try with another");
    EXPECT_FALSE(outcome.rhythm.has_value());
    EXPECT_EQ(outcome.details.typeByte, std::optional<std::uint8_t>(wrong));
    EXPECT_EQ(outcome.details.fileSize, file.size());
  }
}

TEST(ReadRhythm, CkfShorterThan24BytesIsNotARhythm) {
  for (const std::size_t size : {0, 1, 23}) {
    const std::vector<std::uint8_t> file(size, kCkfTypeByte);
    const TLoadOutcome outcome = ReadRhythm("short.ckf", file);
    EXPECT_EQ(outcome.status, TLoadStatus::kNotRhythm) << size;
    EXPECT_EQ(outcome.message, kNotRhythmMessage);
    EXPECT_EQ(outcome.details.typeByte, std::nullopt) << "no byte 23 to tell";
    EXPECT_EQ(outcome.details.fileSize, size);
  }
  // With its type byte, a 24-byte file passes the type test and is too short for its header.
  std::vector<std::uint8_t> typed(24, 0);
  typed[kTypeByteOffset] = kCkfTypeByte;
  EXPECT_EQ(ReadRhythm("short.ckf", typed).status, TLoadStatus::kDamaged);
}

TEST(ReadRhythm, FileEndingInsideItsHeaderIsDamaged) {
  const std::vector<std::uint8_t> ckf = SmallRhythm().CkfFile();
  const std::vector<std::uint8_t> z00 = SmallRhythm().Z00File();
  const std::string message = "The file is damaged: it ends before the end of its header.";
  for (const std::size_t size : {std::size_t{24}, std::size_t{64}, std::size_t{603}}) {
    const TLoadOutcome outcome = ReadRhythm("x.ckf", {ckf.begin(), ckf.begin() + size});
    EXPECT_EQ(outcome.status, TLoadStatus::kDamaged) << size;
    EXPECT_EQ(outcome.message, message);
  }
  EXPECT_EQ(ReadRhythm("x.z00", {z00.begin(), z00.begin() + 539}).message, message);
  EXPECT_EQ(ReadRhythm("x.z00", {}).message, message);
}

TEST(ReadRhythm, PartsInAnyOrderAndSharedDataLoad) {
  // Var1:Bass first, then a gap of bytes no part reaches, then one empty part that every other
  // part shares, Var1:Drums last.
  const TPartStream bass = TPartBuilder().Note(0, 36, 90).Wait(300).Note(0, 36, 0).End();
  const TPartStream drums = TPartBuilder().Note(0, 36, 100).Note(96, 36, 0).End();
  const TPartStream empty = TPartBuilder().End();
  std::vector<std::uint8_t> data;
  Append(data, bass);
  data.insert(data.end(), {0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
  const auto emptyAt = static_cast<std::uint16_t>(data.size());
  Append(data, empty);
  const auto drumsAt = static_cast<std::uint16_t>(data.size());
  Append(data, drums);
  TRhythmHeader header = AllPartsAt(emptyAt);
  header.SetDataOffset(2, 1, 0);
  header.SetDataOffset(2, 0, drumsAt);

  const TLoadOutcome outcome = ReadRhythm("hand.ckf", HandLaidCkf(header, data));
  ASSERT_EQ(outcome.status, TLoadStatus::kLoaded) << outcome.message;
  const TRhythmSlot& slot = outcome.rhythm->slot;
  EXPECT_TRUE(SameRecords(slot.streams[2][1], bass));
  EXPECT_TRUE(SameRecords(slot.streams[2][0], drums));
  EXPECT_TRUE(SameRecords(slot.streams[0][0], empty));
  EXPECT_TRUE(SameRecords(slot.streams[9][4], empty));
  EXPECT_EQ(slot.eventCounts[2], 3 + 3 + 3);  // bass and drums: 2 notes + end each; 3 empty parts
  EXPECT_EQ(slot.eventCounts[0], 5);
}

TEST(ReadRhythm, FillerFollowsOnlyAnOddRun) {
  // Var1:Drums is its end record alone: the next record is its filler. Var1:Bass holds a note
  // and the end record: an even run without filler, and the next bytes are Var1:Chord1's.
  const TPartStream endOnly = TPartBuilder().End();
  const TPartStream noteAndEnd = TPartBuilder().Note(0, 40, 70).End();
  ASSERT_EQ(endOnly.size(), 6u);
  ASSERT_EQ(noteAndEnd.size(), 6u);
  const TPartStream chord = TPartBuilder().Note(5, 60, 80).Note(5, 60, 0).End();
  std::vector<std::uint8_t> data;
  Append(data, endOnly);
  Append(data, noteAndEnd);
  Append(data, chord);
  TRhythmHeader header = AllPartsAt(0);
  header.SetDataOffset(2, 1, 6);
  header.SetDataOffset(2, 2, 12);

  const TLoadOutcome outcome = ReadRhythm("fill.ckf", HandLaidCkf(header, data));
  ASSERT_EQ(outcome.status, TLoadStatus::kLoaded) << outcome.message;
  const TRhythmSlot& slot = outcome.rhythm->slot;
  EXPECT_TRUE(SameRecords(slot.streams[2][0], endOnly));
  EXPECT_TRUE(SameRecords(slot.streams[2][1], noteAndEnd));
  EXPECT_TRUE(SameRecords(slot.streams[2][2], chord));
  EXPECT_TRUE(outcome.rhythm->badFillers.empty());
}

TEST(ReadRhythm, BadFillerLoadsIsReportedAndCounted) {
  const TRhythmRecord badFiller{0, 0x00, 0};
  const TPartStream bass = TPartBuilder()
                               .Note(0, 36, 90)
                               .Note(0, 36, 0)
                               .Record(TRhythmRecord::End())
                               .Record(badFiller)
                               .Records();
  const TPartStream chord =
      TPartBuilder().Record(TRhythmRecord::End()).Record({1, kEndMarker, 2}).Records();
  TRhythmBuilder rhythm = SmallRhythm();
  rhythm.Part(2, 1, bass).Part(8, 4, chord);

  const TLoadOutcome outcome = ReadRhythm("bad.ckf", rhythm.CkfFile());
  ASSERT_EQ(outcome.status, TLoadStatus::kLoaded) << outcome.message;
  EXPECT_EQ(outcome.rhythm->badFillers, (std::vector<std::string>{"Var1:Bass", "End1:Chord3"}));
  EXPECT_TRUE(SameRecords(outcome.rhythm->slot.streams[2][1], bass));
  EXPECT_TRUE(SameRecords(outcome.rhythm->slot.streams[8][4], chord));
  // Var1: drums 2 notes + end, bass 2 notes + end + its filler, three empty parts' end records.
  EXPECT_EQ(outcome.rhythm->slot.eventCounts[2], 3 + 4 + 3);
  // End1: four empty parts' end records, Chord3's end record and its filler.
  EXPECT_EQ(outcome.rhythm->slot.eventCounts[8], 4 + 2);
}

TEST(ReadRhythm, EventCountIsNotesPlusEndRecords) {
  // Parts with 3, 0, 2, 2 and 2 notes and wait fillers: 9 notes + 5 end records.
  TRhythmBuilder rhythm(96, 0x22);
  rhythm.Part(3, 0, TPartBuilder().Note(0, 36, 100).Note(0, 42, 80).Wait(48).Note(0, 38, 90).End());
  rhythm.Part(3, 1, TPartBuilder().Wait(384).End());
  rhythm.Part(3, 2, TPartBuilder().Note(0, 60, 90).Wait(200).Note(0, 60, 0).End());
  rhythm.Part(3, 3, TPartBuilder().Note(0, 64, 90).Note(255, 64, 0).End());
  rhythm.Part(3, 4, TPartBuilder().Note(0, 67, 90).Note(96, 67, 0).End(96));
  const TLoadOutcome outcome = ReadRhythm("count.ckf", rhythm.CkfFile());
  ASSERT_EQ(outcome.status, TLoadStatus::kLoaded) << outcome.message;
  EXPECT_EQ(outcome.rhythm->slot.eventCounts[3], 14);
  EXPECT_EQ(outcome.rhythm->slot.eventCounts[0], 5);
}

TEST(ReadRhythm, DataOffsetPastTheEndIsDamaged) {
  const std::vector<std::uint8_t> data = TPartBuilder().End();
  TRhythmHeader header = AllPartsAt(0);
  header.SetDataOffset(2, 1, 6);  // the file ends right there
  TLoadOutcome outcome = ReadRhythm("far.ckf", HandLaidCkf(header, data));
  EXPECT_EQ(outcome.status, TLoadStatus::kDamaged);
  EXPECT_EQ(outcome.message,
            "The file is damaged: the data of Var1:Bass starts past the end of the file.");

  header.SetDataOffset(2, 1, 0xFFFF);  // 604 + 65535 passes 16 bits
  outcome = ReadRhythm("far.ckf", HandLaidCkf(header, data));
  EXPECT_EQ(outcome.message,
            "The file is damaged: the data of Var1:Bass starts past the end of the file.");
}

TEST(ReadRhythm, RecordsReachingTheEndBeforeTheirEndRecordAreDamaged) {
  const TPartStream notes = TPartBuilder().Note(0, 36, 100).Wait(96).Note(0, 36, 0).Records();
  std::vector<std::uint8_t> data = TPartBuilder().End();
  Append(data, notes);  // no end record follows
  TRhythmHeader header = AllPartsAt(0);
  header.SetDataOffset(9, 4, 6);
  const std::string message =
      "The file is damaged: the data of End2:Chord3 reaches the end of the file before its end "
      "record.";
  EXPECT_EQ(ReadRhythm("open.ckf", HandLaidCkf(header, data)).message, message);
  // A last record cut short ends the part the same way.
  data.push_back(0x00);
  data.push_back(kEndMarker);
  const TLoadOutcome outcome = ReadRhythm("open.ckf", HandLaidCkf(header, data));
  EXPECT_EQ(outcome.status, TLoadStatus::kDamaged);
  EXPECT_EQ(outcome.message, message);
}

TEST(ReadRhythm, OddRunWithoutRoomForItsFillerIsDamaged) {
  std::vector<std::uint8_t> data = TPartBuilder().End();
  AppendRecord(data, TRhythmRecord::End());  // Fill4:Drums: an end record and nothing after
  TRhythmHeader header = AllPartsAt(0);
  header.SetDataOffset(7, 0, 6);
  const TLoadOutcome outcome = ReadRhythm("cut.ckf", HandLaidCkf(header, data));
  EXPECT_EQ(outcome.status, TLoadStatus::kDamaged);
  EXPECT_EQ(outcome.message,
            "The file is damaged: the data of Fill4:Drums reaches the end of the file before "
            "its filler.");
}

/// A drum groove of `bars` 4/4 bars at 96 ticks a quarter note: kick and hi-hat on every beat
/// with their note-offs, 16 records a bar, then the end record and its filler.
TPartStream DrumGroove(int bars) {
  TPartBuilder part;
  for (int beat = 0; beat < 4 * bars; ++beat) {
    part.Note(beat ? 96 : 0, 36, 100).Note(0, 42, 80).Note(0, 36, 0).Note(0, 42, 0);
  }
  return part.End(96);
}

TEST(ReadRhythm, SectionsSharingOneLongDrumPartLoadAndOnlySaveAsRefusesThem) {
  // Every section plays one drum part of 140 bars (6,726 bytes); the other forty parts share one
  // empty part. The file holds 6,732 bytes of part data; counted in every part that uses them,
  // they are 10 x 6,726 + 40 x 6 = 67,500 bytes, more than a saved file can address.
  const TPartStream drums = DrumGroove(140);
  ASSERT_EQ(drums.size(), 6726u);
  std::vector<std::uint8_t> data = drums;
  const auto emptyAt = static_cast<std::uint16_t>(data.size());
  Append(data, TPartBuilder().End());
  TRhythmHeader header = AllPartsAt(emptyAt);
  for (int s = 0; s < kSectionCount; ++s) header.SetDataOffset(s, 0, 0);

  TLoadOutcome outcome = ReadRhythm("groove.ckf", HandLaidCkf(header, data));
  ASSERT_EQ(outcome.status, TLoadStatus::kLoaded) << outcome.message;
  const TRhythmSlot& slot = outcome.rhythm->slot;
  EXPECT_EQ(TotalPartDataSize(slot.streams), 67500u);
  for (int s = 0; s < kSectionCount; ++s) {
    EXPECT_TRUE(SameRecords(slot.streams[static_cast<std::size_t>(s)][0], drums)) << s;
    EXPECT_EQ(slot.eventCounts[static_cast<std::size_t>(s)], 16 * 140 + 1 + 4) << s;
  }

  // Saved, every part would take its own bytes: "Save as" refuses, as for any document that
  // large, and changes nothing.
  TRhythmDocuments docs;
  CommitLoadedRhythm(docs, kMainSlot, std::move(*outcome.rhythm));
  const TSaveImage image = BuildSaveImage(docs);
  EXPECT_TRUE(image.bytes.empty());
  EXPECT_EQ(image.refusal,
            "The rhythm is too large to save: its header and part data take 68040 bytes, more "
            "than the 65535 a rhythm file can hold.");
  EXPECT_EQ(docs.slots[kMainSlot].header.DataOffset(9, 0), 0);

  // All fifty parts sharing one run of 1,302 bytes (65,100 in all) load the same way.
  TPartBuilder run;
  for (int i = 0; i < 216; ++i) run.Note(1, 36, 100).Note(1, 36, 0);
  EXPECT_EQ(ReadRhythm("shared.ckf", HandLaidCkf(AllPartsAt(0), run.End())).status,
            TLoadStatus::kLoaded);
}

TEST(ReadRhythm, SectionHoldingMoreThanAFileAddressesIsDamaged) {
  // Var1:Drums takes `drumBytes`, the other four parts of Var1 share one empty part (24 bytes).
  const auto var1Holding = [](std::size_t drumBytes) {
    TPartBuilder drums;
    while (drums.Records().size() + 2 * kRecordSize < drumBytes) {
      drums.Note(1, 36, 100).Note(1, 36, 0);
    }
    std::vector<std::uint8_t> data = drums.End();
    EXPECT_EQ(data.size(), drumBytes);
    const auto emptyAt = static_cast<std::uint16_t>(data.size());
    Append(data, TPartBuilder().End());
    TRhythmHeader header = AllPartsAt(emptyAt);
    header.SetDataOffset(2, 0, 0);
    return ReadRhythm("long.ckf", HandLaidCkf(header, data));
  };
  // 64,968 + 24 = 64,992 bytes, the most that parts of whole record pairs reach within 64,995.
  const TLoadOutcome fits = var1Holding(64968);
  ASSERT_EQ(fits.status, TLoadStatus::kLoaded) << fits.message;
  // 21,654 notes, the end record (its filler is a wait), four empty parts' end records.
  EXPECT_EQ(fits.rhythm->slot.eventCounts[2], 21654 + 1 + 4);

  const TLoadOutcome over = var1Holding(64974);
  EXPECT_EQ(over.status, TLoadStatus::kDamaged);
  EXPECT_EQ(over.message,
            "The file is damaged: the parts of Var1 hold 64998 bytes of data, more than the "
            "64995 a section can hold.");
  EXPECT_FALSE(over.rhythm.has_value());

  // Five parts of one section sharing a run of 13,200 bytes are over the bound as well.
  TPartBuilder run;
  for (int i = 0; i < 2199; ++i) run.Note(1, 36, 100).Note(1, 36, 0);
  std::vector<std::uint8_t> data = run.End();
  ASSERT_EQ(data.size(), 13200u);
  const auto emptyAt = static_cast<std::uint16_t>(data.size());
  Append(data, TPartBuilder().End());
  TRhythmHeader header = AllPartsAt(emptyAt);
  for (int p = 0; p < kPartCount; ++p) header.SetDataOffset(8, p, 0);
  EXPECT_EQ(ReadRhythm("shared.ckf", HandLaidCkf(header, data)).message,
            "The file is damaged: the parts of End1 hold 66000 bytes of data, more than the "
            "64995 a section can hold.");
}

TEST(CommitLoadedRhythm, ReplacesTheSlotAndTheSharedValuesOnly) {
  TRhythmDocuments docs;
  docs.slots[kImportSlot].fileName = "import.ckf";
  docs.slots[kImportSlot].header.SetTempo(77);
  TLoadOutcome outcome = ReadRhythm("small.z00", SmallRhythm().Z00File());
  ASSERT_TRUE(outcome.rhythm);
  const TRhythmSlot expected = outcome.rhythm->slot;
  const auto prefix = outcome.rhythm->prefix;

  CommitLoadedRhythm(docs, kMainSlot, std::move(*outcome.rhythm));
  EXPECT_TRUE(SameDocument(docs.slots[kMainSlot], expected));
  EXPECT_EQ(docs.slots[kMainSlot].fileName, "small.z00");
  EXPECT_EQ(docs.filePrefix, prefix);
  EXPECT_EQ(docs.slots[kImportSlot].fileName, "import.ckf");
  EXPECT_EQ(docs.slots[kImportSlot].header.Tempo(), 77);
}

TEST(ReadRhythmFile, MissingFileCannotBeOpened) {
  test::TTempDir dir;
  const std::string path = dir.File("missing.ckf");
  const TLoadOutcome outcome = ReadRhythmFile(path);
  EXPECT_EQ(outcome.status, TLoadStatus::kCannotOpen);
  const std::string start = "Cannot open file \"" + path + "\". ";
  EXPECT_EQ(outcome.message.substr(0, start.size()), start);
  EXPECT_EQ(outcome.message, start + std::strerror(ENOENT));
  EXPECT_EQ(outcome.details.systemReason, std::strerror(ENOENT));
  EXPECT_EQ(ReadRhythmFile(dir.Path().string()).status, TLoadStatus::kCannotOpen)
      << "a folder is no file";
}

TEST(ReadRhythmFile, DeviceThatNeverEndsIsNotRead) {
  // A character device reports size 0 and never runs out of bytes.
  if (!std::filesystem::exists("/dev/zero")) GTEST_SKIP() << "no /dev/zero here";
  const TLoadOutcome outcome = ReadRhythmFile("/dev/zero");
  EXPECT_EQ(outcome.status, TLoadStatus::kCannotOpen);
  EXPECT_EQ(outcome.message, "Cannot open file \"/dev/zero\". It is not a regular file");
}

TEST(ReadRhythmFile, ReadsUpToTheSizeLimit) {
  test::TTempDir dir;
  std::vector<std::uint8_t> file = SmallRhythm().CkfFile();
  file.resize(kMaxRhythmFileSize, 0xEE);  // bytes no part reaches
  test::WriteBytes(dir.File("big.ckf"), file);
  const TLoadOutcome loaded = ReadRhythmFile(dir.File("big.ckf"));
  ASSERT_EQ(loaded.status, TLoadStatus::kLoaded) << loaded.message;
  EXPECT_EQ(loaded.rhythm->slot.fileName, dir.File("big.ckf"));

  file.push_back(0xEE);
  test::WriteBytes(dir.File("big.ckf"), file);
  const TLoadOutcome refused = ReadRhythmFile(dir.File("big.ckf"));
  EXPECT_EQ(refused.status, TLoadStatus::kTooLarge);
  EXPECT_EQ(refused.message, "This is not a rhythm file: it is larger than 1 MiB.");
}

}  // namespace
}  // namespace brondel
