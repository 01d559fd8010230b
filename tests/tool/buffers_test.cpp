// render, preview and resave write exactly what the playback and save routines produce for a
// file opened as the main file, for every section and part of every example rhythm.
#include <gtest/gtest.h>

#include "document/save_file.h"
#include "tests/support/test_files.h"
#include "tests/tool/tool_test_support.h"

namespace brondel {
namespace {

using test::FileBytes;
using test::RunTool;

class ToolBuffers : public ::testing::TestWithParam<std::string> {
 protected:
  test::TTempDir dir_;
};

TEST_P(ToolBuffers, RenderWritesTheSectionBufferOfTheRenderer) {
  const TLoadedRhythm rhythm = test::LoadRhythm(GetParam());
  for (int s = 0; s < kSectionCount; ++s) {
    std::vector<TRenderEvent> events;
    TEventBuffer expected;
    RenderSectionEvents(rhythm.slot, s, events, expected);
    // By name for even sections, by index for odd ones: both must pick the same section.
    const std::string section =
        s % 2 == 0 ? std::string(kSectionNames[static_cast<std::size_t>(s)]) : std::to_string(s);
    const std::string out = dir_.File("section.bin");
    const auto run = RunTool({"render", GetParam(), section, "-o", out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(test::SameStreamEvents(expected, FileBytes(out))) << "section " << section;
  }
}

TEST_P(ToolBuffers, PreviewWritesThePartBufferOrRefusesAnEmptyPart) {
  const TLoadedRhythm rhythm = test::LoadRhythm(GetParam());
  int empty = 0;
  for (int s = 0; s < kSectionCount; ++s) {
    for (int p = 0; p < kPartCount; ++p) {
      const std::string out = dir_.File(PartItemText(s, p) + ".bin");
      const std::string part =
          p % 2 == 0 ? std::string(kPartNames[static_cast<std::size_t>(p)]) : std::to_string(p);
      const auto run = RunTool({"preview", GetParam(), std::to_string(s), part, "-o", out});
      const TPartStream& stream =
          rhythm.slot.streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(p)];
      if (stream.size() == 2 * kRecordSize) {
        ++empty;
        EXPECT_EQ(run.status, 1) << PartItemText(s, p);
        EXPECT_EQ(run.err, GetParam() + ": " + PartItemText(s, p) + ": This part is empty!\n");
        EXPECT_FALSE(std::filesystem::exists(out));
        continue;
      }
      TEventBuffer expected;
      RenderPartPreview(rhythm.slot, s, p, expected);
      ASSERT_EQ(run.status, 0) << run.err;
      EXPECT_TRUE(test::SameStreamEvents(expected, FileBytes(out))) << PartItemText(s, p);
    }
  }
  RecordProperty("emptyParts", empty);
}

TEST_P(ToolBuffers, ResaveWritesTheSaveImageOfTheMainFile) {
  TRhythmDocuments docs;
  CommitLoadedRhythm(docs, kMainSlot, test::LoadRhythm(GetParam()));
  const TSaveImage image = BuildSaveImage(docs);
  ASSERT_FALSE(image.refusal);
  const std::string out = dir_.File("resaved.ckf");
  const auto run = RunTool({"resave", GetParam(), "-o", out});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FileBytes(out), image.bytes);
  // What was written opens again as the same document.
  const TLoadedRhythm again = test::LoadRhythm(out);
  const TLoadedRhythm original = test::LoadRhythm(GetParam());
  EXPECT_EQ(again.slot.streams, original.slot.streams);
  EXPECT_EQ(again.slot.eventCounts, original.slot.eventCounts);
}

INSTANTIATE_TEST_SUITE_P(Examples, ToolBuffers, ::testing::ValuesIn(test::ExampleRhythmPaths()),
                         test::ExampleTestName);

TEST(ToolBuffers, SectionAndPartNamesIgnoreLetterCase) {
  test::TTempDir dir;
  const std::string file = test::ExampleRhythmPaths().front();
  ASSERT_EQ(RunTool({"render", file, "var2", "-o", dir.File("a")}).status, 0);
  ASSERT_EQ(RunTool({"render", file, "3", "-o", dir.File("b")}).status, 0);
  EXPECT_EQ(FileBytes(dir.File("a")), FileBytes(dir.File("b")));
  ASSERT_EQ(RunTool({"preview", file, "VAR2", "chord1", "-o", dir.File("c")}).status, 0);
  ASSERT_EQ(RunTool({"preview", file, "Var2", "2", "-o", dir.File("d")}).status, 0);
  EXPECT_EQ(FileBytes(dir.File("c")), FileBytes(dir.File("d")));
}

}  // namespace
}  // namespace brondel
