// Damaged files: every truncation of each example and many randomly corrupted copies (fixed
// seed) are either loaded into a sound document or refused with a message. No read may run past
// the file or fail to end, and no loaded section holds more than a file can address.
#include <gtest/gtest.h>

#include <random>

#include "document/rhythm_loader.h"
#include "examples/generator/example_rhythms.h"

namespace brondel {
namespace {

/// A loaded document must be what the loader promises: every part whole records ending at its
/// first end record (plus a filler after an odd run), the bytes the file holds at its offset,
/// counts matching, no section over the bound, and exactly the parts with a bad filler reported.
testing::AssertionResult Sound(const TLoadedRhythm& loaded, const std::vector<std::uint8_t>& file) {
  std::vector<std::string> badFillers;
  for (int s = 0; s < kSectionCount; ++s) {
    std::size_t sectionBytes = 0;
    for (int p = 0; p < kPartCount; ++p) {
      const auto& stream =
          loaded.slot.streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(p)];
      const std::size_t records = stream.size() / kRecordSize;
      if (stream.empty() || stream.size() % (2 * kRecordSize) != 0) {
        return testing::AssertionFailure() << PartItemText(s, p) << " holds " << stream.size();
      }
      std::size_t end = 0;
      while (stream[end * kRecordSize + 1] != kEndMarker) ++end;
      const bool filler = end + 2 == records;
      if (end + 1 != records && !filler) {
        return testing::AssertionFailure() << PartItemText(s, p) << " runs past its end record";
      }
      if (filler && stream[stream.size() - 2] != kWaitMarker) {
        badFillers.push_back(PartItemText(s, p));
      }
      const std::size_t start =
          std::size_t{loaded.layout.dataBase} + loaded.slot.header.DataOffset(s, p);
      if (!std::equal(stream.begin(), stream.end(), file.begin() + static_cast<long>(start))) {
        return testing::AssertionFailure() << PartItemText(s, p) << " is not the file's bytes";
      }
      sectionBytes += stream.size();
    }
    if (sectionBytes > kMaxSectionDataSize) {
      return testing::AssertionFailure() << "section " << s << " holds " << sectionBytes;
    }
    if (loaded.slot.eventCounts[static_cast<std::size_t>(s)] !=
        CountSectionEvents(loaded.slot, s)) {
      return testing::AssertionFailure() << "event count of section " << s;
    }
  }
  if (badFillers != loaded.badFillers) return testing::AssertionFailure() << "bad fillers";
  return testing::AssertionSuccess();
}

/// Either a sound document or a refusal with a message.
testing::AssertionResult LoadedOrRefused(const TLoadOutcome& outcome,
                                         const std::vector<std::uint8_t>& file) {
  if (outcome.status == TLoadStatus::kLoaded) {
    if (!outcome.rhythm) return testing::AssertionFailure() << "loaded without a document";
    return Sound(*outcome.rhythm, file);
  }
  if (outcome.rhythm || outcome.message.empty()) {
    return testing::AssertionFailure() << "refused without a message";
  }
  return testing::AssertionSuccess();
}

TEST(DamagedFiles, EveryTruncationOfAnExampleIsRefused) {
  for (const auto& example : examples::ExampleRhythms()) {
    for (std::size_t size = 0; size < example.bytes.size(); ++size) {
      const std::vector<std::uint8_t> cut(example.bytes.begin(),
                                          example.bytes.begin() + static_cast<long>(size));
      const TLoadOutcome outcome = ReadRhythm(example.fileName, cut);
      // The last part's data ends at the last byte of each example, so any cut damages it.
      ASSERT_NE(outcome.status, TLoadStatus::kLoaded) << example.fileName << " cut to " << size;
      ASSERT_FALSE(outcome.message.empty());
    }
  }
}

/// One random damage of a copy of `file`.
std::vector<std::uint8_t> Corrupt(std::vector<std::uint8_t> file, std::mt19937& random) {
  const auto pick = [&](std::size_t bound) {
    return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random);
  };
  const auto anyByte = [&] { return static_cast<std::uint8_t>(pick(256)); };
  switch (pick(6)) {
    case 0:  // a few bytes anywhere
      for (std::size_t n = 1 + pick(8); n > 0; --n) file[pick(file.size())] = anyByte();
      break;
    case 1: {  // a data offset anywhere in 16 bits
      const std::size_t field = 64 + 60 + 52 * pick(kSectionCount) + 2 * pick(kPartCount);
      file[field] = anyByte();
      file[field + 1] = anyByte();
      break;
    }
    case 2:  // end and wait markers moved about
      for (std::size_t n = 1 + pick(6); n > 0; --n) {
        file[604 + pick(file.size() - 604)] = pick(2) ? kEndMarker : kWaitMarker;
      }
      break;
    case 3:  // cut short, and a byte changed
      file.resize(pick(file.size()));
      if (!file.empty()) file[pick(file.size())] = anyByte();
      break;
    case 4: {  // a long run of records appended and shared by parts of one section
      const std::size_t at = file.size() - 604;
      if (at > 0xFFFF) break;
      for (std::size_t n = pick(25000); n > 0; --n) {
        file.insert(file.end(),
                    {anyByte(), pick(4) ? kWaitMarker : static_cast<std::uint8_t>(pick(128)), 0});
      }
      file.insert(file.end(), {0, kEndMarker, 0, 0, kWaitMarker, 0});
      const std::size_t section = pick(kSectionCount);
      for (std::size_t parts = 1 + pick(kPartCount); parts > 0; --parts) {
        const std::size_t field = 64 + 60 + 52 * section + 2 * pick(kPartCount);
        file[field] = static_cast<std::uint8_t>(at & 0xFF);
        file[field + 1] = static_cast<std::uint8_t>(at >> 8);
      }
      break;
    }
    default:  // noise appended, up to a whole 16-bit range
      for (std::size_t n = pick(65536 + 4096); n > 0; --n) file.push_back(anyByte());
      file[64 + 60 + 52 * pick(kSectionCount) + 2 * pick(kPartCount) + 1] = anyByte();
      break;
  }
  return file;
}

TEST(DamagedFiles, RandomlyCorruptedCopiesAreLoadedOrRefused) {
  std::mt19937 random(20240611);
  const std::vector<std::string> names = {"x.ckf", "x.z00", "x.CKF"};
  std::size_t largest = 0;
  int loaded = 0;
  int refused = 0;
  int overfull = 0;  // refused for a section holding more than a file addresses
  for (const auto& example : examples::ExampleRhythms()) {
    for (int round = 0; round < 1500; ++round) {
      const std::vector<std::uint8_t> file = Corrupt(example.bytes, random);
      largest = std::max(largest, file.size());
      // Mostly the example's own name; now and then another layout over the same bytes.
      const std::string& name = round % 4 ? example.fileName : names[round % names.size()];
      const TLoadOutcome outcome = ReadRhythm(name, file);
      ASSERT_TRUE(LoadedOrRefused(outcome, file)) << example.fileName << " round " << round;
      (outcome.status == TLoadStatus::kLoaded ? loaded : refused) += 1;
      overfull += outcome.message.find("a section can hold") != std::string::npos;
    }
  }
  RecordProperty("largest_file_bytes", static_cast<int>(largest));
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
  EXPECT_GT(overfull, 0);
  EXPECT_GT(largest, 65536u);
}

TEST(DamagedFiles, RandomBytesAreLoadedOrRefused) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::uint8_t> file(std::uniform_int_distribution<std::size_t>(0, 4000)(random));
    for (auto& byte : file) byte = static_cast<std::uint8_t>(random());
    // Small offsets, so that parts start inside the file now and then.
    if (file.size() > 604 && round % 2) {
      for (std::size_t at = 64 + 60; at + 1 < 604; at += 2) file[at + 1] = 0;
    }
    if (file.size() > kTypeByteOffset) file[kTypeByteOffset] = kCkfTypeByte;
    ASSERT_TRUE(LoadedOrRefused(ReadRhythm(round % 3 ? "r.ckf" : "r.z00", file), file))
        << "round " << round;
  }
}

}  // namespace
}  // namespace brondel
