// Our example rhythms: the checked-in files are what the generator writes, and each is a
// complete rhythm whose parts make musical sense (notes that end, parts as long as their
// sections, every section filled).
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "document/rhythm_loader.h"
#include "examples/generator/example_rhythms.h"
#include "tests/support/rhythm_text.h"
#include "tests/support/test_files.h"

namespace brondel {
namespace {

using test::SourcePath;

/// The notes of a part at their running times and the time of its end record.
struct TPartTimeline {
  struct TNote {
    std::uint32_t time;
    std::uint8_t key;
    std::uint8_t velocity;
  };
  std::vector<TNote> notes;
  std::uint32_t endTime = 0;
};

TPartTimeline Timeline(const TPartStream& stream) {
  TPartTimeline timeline;
  std::uint32_t time = 0;
  for (std::size_t i = 0; i + kRecordSize <= stream.size(); i += kRecordSize) {
    const TRhythmRecord record = TRhythmRecord::FromBytes(&stream[i]);
    if (record.IsWait()) {
      time += record.Delay();
      continue;
    }
    time += record.b0;
    if (record.IsEnd()) {
      timeline.endTime = time;
      break;
    }
    timeline.notes.push_back({time, record.b1, record.b2});
  }
  return timeline;
}

/// Ticks in one bar: the data counts 96 ticks to the quarter note.
std::uint32_t BarTicks(const TRhythmSlot& slot) {
  return 4u * 96u * slot.numerator / slot.denominator;
}

TLoadedRhythm LoadExample(const std::string& name) {
  TLoadOutcome outcome = ReadRhythmFile(SourcePath("examples/" + name).string());
  EXPECT_EQ(outcome.status, TLoadStatus::kLoaded) << name << ": " << outcome.message;
  return outcome.rhythm ? std::move(*outcome.rhythm) : TLoadedRhythm{};
}

TEST(ExampleRhythms, CheckedInFilesAreWhatTheGeneratorWrites) {
  test::TTempDir dir;
  ASSERT_EQ(examples::WriteExampleRhythms(dir.Path().string()), "");
  std::set<std::string> generated;
  for (const auto& example : examples::ExampleRhythms()) {
    generated.insert(example.fileName);
    EXPECT_TRUE(test::SameRhythmFile(example.fileName,
                                     test::ReadBytes(dir.Path() / example.fileName),
                                     test::ReadBytes(SourcePath("examples/" + example.fileName))))
        << "run make_examples examples/ and check in the result";
  }
  std::set<std::string> checkedIn;
  for (const auto& entry : std::filesystem::directory_iterator(SourcePath("examples"))) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".ckf" || ext == ".z00") checkedIn.insert(entry.path().filename().string());
  }
  EXPECT_EQ(checkedIn, generated);
  EXPECT_TRUE(generated.count("pop_beat.ckf") && generated.count("waltz.z00") &&
              generated.count("ballad.ckf"));
}

TEST(ExampleRhythms, TimeSignaturesAndLayouts) {
  const std::map<std::string, std::string> signatures = {
      {"pop_beat.ckf", "4/4"}, {"waltz.z00", "3/4"}, {"ballad.ckf", "12/8"}};
  for (const auto& [name, signature] : signatures) {
    const TLoadedRhythm rhythm = LoadExample(name);
    EXPECT_EQ(TimeSignatureText(rhythm.slot.header.TimeSignature()), signature) << name;
    EXPECT_TRUE(rhythm.badFillers.empty()) << name;
    // A quarter of 96 ticks lasts 96 * 500000 / tempo us: 0.4 to 0.6 s is a usable beat.
    EXPECT_GE(rhythm.slot.header.Tempo(), 80) << name;
    EXPECT_LE(rhythm.slot.header.Tempo(), 120) << name;
    if (name.ends_with(".ckf")) {
      const auto bytes = test::ReadBytes(SourcePath("examples/" + name));
      EXPECT_EQ(bytes[kTypeByteOffset], kCkfTypeByte) << name;
    }
  }
}

TEST(ExampleRhythms, SectionsHaveSensibleBarCounts) {
  for (const auto& example : examples::ExampleRhythms()) {
    const TLoadedRhythm rhythm = LoadExample(example.fileName);
    for (int s = 0; s < kSectionCount; ++s) {
      const int bars = rhythm.slot.header.BarCount(s);
      const std::string_view name = kSectionNames[static_cast<std::size_t>(s)];
      if (name.starts_with("Fill")) {
        EXPECT_EQ(bars, 1) << example.fileName << " " << name;
      } else if (name.starts_with("Var")) {
        EXPECT_TRUE(bars >= 2 && bars <= 4) << example.fileName << " " << name << ": " << bars;
      } else {
        EXPECT_TRUE(bars >= 1 && bars <= 2) << example.fileName << " " << name << ": " << bars;
      }
    }
  }
}

TEST(ExampleRhythms, EveryPartLastsItsSectionAndEndsEveryNote) {
  for (const auto& example : examples::ExampleRhythms()) {
    const TLoadedRhythm rhythm = LoadExample(example.fileName);
    const TRhythmSlot& slot = rhythm.slot;
    for (int s = 0; s < kSectionCount; ++s) {
      for (int p = 0; p < kPartCount; ++p) {
        const std::string where = example.fileName + " " + PartItemText(s, p);
        const auto& stream = slot.streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(p)];
        const TPartTimeline timeline = Timeline(stream);
        EXPECT_EQ(timeline.endTime, slot.header.BarCount(s) * BarTicks(slot)) << where;
        std::map<std::uint8_t, int> sounding;
        for (const auto& note : timeline.notes) {
          sounding[note.key] += note.velocity > 0 ? 1 : -1;
          EXPECT_GE(sounding[note.key], 0) << where << ": a note-off before its note";
          EXPECT_LE(note.velocity, 127) << where;
        }
        for (const auto& [key, count] : sounding) {
          EXPECT_EQ(count, 0) << where << ": key " << int{key} << " left sounding\n"
                              << test::DescribeStream(stream);
        }
      }
    }
  }
}

TEST(ExampleRhythms, DrumsAndBassPlayInEverySectionAndEveryPartSomewhere) {
  for (const auto& example : examples::ExampleRhythms()) {
    const TLoadedRhythm rhythm = LoadExample(example.fileName);
    std::array<int, kPartCount> sectionsWithNotes{};
    int waits = 0;
    int fillers = 0;
    for (int s = 0; s < kSectionCount; ++s) {
      for (int p = 0; p < kPartCount; ++p) {
        const auto& stream =
            rhythm.slot.streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(p)];
        if (!Timeline(stream).notes.empty()) ++sectionsWithNotes[static_cast<std::size_t>(p)];
        for (std::size_t i = 0; i < stream.size(); i += kRecordSize) waits += stream[i + 1] == 0xFF;
        const bool hasFiller = TRhythmRecord::FromBytes(&stream[stream.size() - 6]).IsEnd();
        fillers += hasFiller;
      }
    }
    EXPECT_EQ(sectionsWithNotes[0], kSectionCount) << example.fileName << " drums";
    EXPECT_EQ(sectionsWithNotes[1], kSectionCount) << example.fileName << " bass";
    for (int p = 2; p < kPartCount; ++p) {
      EXPECT_GE(sectionsWithNotes[static_cast<std::size_t>(p)], 5)
          << example.fileName << " " << kPartNames[static_cast<std::size_t>(p)];
    }
    EXPECT_GT(waits, fillers) << example.fileName << ": wait records between notes";
    EXPECT_GT(fillers, 0) << example.fileName;
    EXPECT_LT(fillers, kSectionCount * kPartCount) << example.fileName;
  }
}

TEST(ExampleRhythms, SettingsAreGeneralMidiValues) {
  for (const auto& example : examples::ExampleRhythms()) {
    const TLoadedRhythm rhythm = LoadExample(example.fileName);
    for (int p = 0; p < kPartCount; ++p) {
      const TPartSettings settings = rhythm.slot.header.Settings(0, p);
      for (int k = 0; k < kParamCount; ++k) {
        EXPECT_LT(settings.bytes[static_cast<std::size_t>(k)], 128) << example.fileName;
      }
      EXPECT_GE(settings.Volume(), 60) << example.fileName;
    }
    // Three chord parts with three different sounds.
    const auto tone = [&](int p) { return rhythm.slot.header.Settings(0, p).Tone(); };
    EXPECT_TRUE(tone(2) != tone(3) && tone(3) != tone(4) && tone(2) != tone(4)) << example.fileName;
  }
}

}  // namespace
}  // namespace brondel
