// notes and set-notes: the text of what a section plays, and a part written back from it.
#include <gtest/gtest.h>

#include "document/rhythm_loader.h"
#include "render/render.h"
#include "tests/support/test_files.h"
#include "tests/tool/tool_test_support.h"

namespace brondel {
namespace {

using test::RunTool;

const std::string kPopBeat = test::SourcePath("examples/pop_beat.ckf").string();
const std::string kHeaderOnly = "tick\tkey\tvelocity\tlength\n";

TEventBuffer Rendered(const std::string& path, int section) {
  const TLoadedRhythm rhythm = test::LoadRhythm(path);
  std::vector<TRenderEvent> events;
  TEventBuffer buffer;
  RenderSectionEvents(rhythm.slot, section, events, buffer);
  return buffer;
}

void WriteText(const std::string& path, const std::string& text) {
  test::WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

class NotesRoundTrip : public ::testing::TestWithParam<std::string> {};

// Each part is first cleared, then written from what notes printed: the encoder, not the
// shortcut for an unchanged part, must give back the section's render byte for byte, and the
// part's notes as notes prints them.
TEST_P(NotesRoundTrip, EveryPartWrittenFromItsNotesRendersAsBefore) {
  const std::string& path = GetParam();
  test::TTempDir dir;
  const std::string empty = dir.File("empty.tsv");
  WriteText(empty, kHeaderOnly);
  for (int section = 0; section < kSectionCount; ++section) {
    const TEventBuffer before = Rendered(path, section);
    for (int part = 0; part < kPartCount; ++part) {
      SCOPED_TRACE(PartItemText(section, part));
      const auto notes = RunTool({"notes", path, std::to_string(section), std::to_string(part)});
      ASSERT_EQ(notes.status, 0) << notes.err;
      const std::string text = dir.File("notes.tsv");
      WriteText(text, notes.out);
      const std::string cleared = dir.File("cleared.ckf");
      const std::string written = dir.File("written.ckf");
      ASSERT_EQ(RunTool({"set-notes", path, std::to_string(section), std::to_string(part), empty,
                         "-o", cleared})
                    .status,
                0);
      const auto set = RunTool({"set-notes", cleared, std::to_string(section), std::to_string(part),
                                text, "-o", written});
      ASSERT_EQ(set.status, 0) << set.err;
      EXPECT_TRUE(test::SameStreamEvents(before, Rendered(written, section)));
      EXPECT_EQ(RunTool({"notes", written, std::to_string(section), std::to_string(part)}).out,
                notes.out);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Examples, NotesRoundTrip, ::testing::ValuesIn(test::ExampleRhythmPaths()),
                         test::ExampleTestName);

TEST(ToolNotes, PrintsAHeaderAndOneLinePerNoteAsTheToolTipPlacesIt) {
  const auto run = RunTool({"notes", kPopBeat, "var1", "drums"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, run.out.find('\n', run.out.find('\n') + 1) + 1),
            "section\tpart\tposition\ttick\tkey\tname\tvelocity\tlength\n"
            "Var1\tDrums\t1:1:000\t0\t42\tClosed Hi-Hat\t92\t24\n");
  EXPECT_NE(run.out.find("Var1\tDrums\t1:2:048\t144\t42\tClosed Hi-Hat\t"), std::string::npos);

  const auto json = RunTool({"notes", kPopBeat, "Var1", "Bass", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out.substr(0, json.out.find('\n')),
            R"({"key":36,"length":72,"name":"C2","part":"Bass","position":"1:1:000",)"
            R"("section":"Var1","tick":0,"velocity":112})");
}

TEST(ToolNotes, WithoutASectionPrintsEverySection) {
  const auto all = RunTool({"notes", kPopBeat});
  ASSERT_EQ(all.status, 0);
  std::string joined = "section\tpart\tposition\ttick\tkey\tname\tvelocity\tlength\n";
  for (int section = 0; section < kSectionCount; ++section) {
    const std::string out = RunTool({"notes", kPopBeat, std::to_string(section)}).out;
    joined += out.substr(out.find('\n') + 1);
  }
  EXPECT_EQ(all.out, joined);
}

TEST(ToolSetNotes, WritesTheNotesGivenAndIgnoresOtherColumns) {
  test::TTempDir dir;
  const std::string text = dir.File("bass.tsv");
  WriteText(text,
            "name\tlength\tkey\tvelocity\ttick\n"
            "x\t96\t40\t100\t0\n"
            "\n"
            "y\t24\t43\t90\t96\r\n");
  const std::string out = dir.File("out.ckf");
  const auto run = RunTool({"set-notes", kPopBeat, "Var1", "Bass", text, "-o", out});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto notes = RunTool({"notes", out, "Var1", "Bass"});
  EXPECT_EQ(notes.out,
            "section\tpart\tposition\ttick\tkey\tname\tvelocity\tlength\n"
            "Var1\tBass\t1:1:000\t0\t40\tE2\t100\t96\n"
            "Var1\tBass\t1:2:000\t96\t43\tG2\t90\t24\n");
  // The other parts play as before.
  for (const std::string part : {"Drums", "Chord1", "Chord2", "Chord3"}) {
    EXPECT_EQ(RunTool({"notes", out, "Var1", part}).out,
              RunTool({"notes", kPopBeat, "Var1", part}).out)
        << part;
  }
}

TEST(ToolSetNotes, NamesTheLineAndColumnOfABadValueAndWritesNothing) {
  test::TTempDir dir;
  const std::string text = dir.File("bad.tsv");
  const std::string out = dir.File("out.ckf");
  const auto refused = [&](const std::string& notes) {
    WriteText(text, notes);
    const auto run = RunTool({"set-notes", kPopBeat, "Var1", "Bass", text, "-o", out});
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(std::filesystem::exists(out));
    return run.err;
  };
  EXPECT_EQ(refused("tick\tkey\tvelocity\tlength\n0\t36\t100\t24\n0\t38\t0\t24\n"),
            text + ": line 3: column 3 (velocity): '0' is not a velocity from 1 to 127\n");
  EXPECT_EQ(refused("tick\tkey\tvelocity\tlength\n0\t128\t100\t24\n"),
            text + ": line 2: column 2 (key): '128' is not a key from 0 to 127\n");
  EXPECT_EQ(refused("a\ttick\tkey\tvelocity\tlength\nb\t-1\t36\t100\t24\n"),
            text + ": line 2: column 2 (tick): '-1' is not a tick from 0 to 65535\n");
  EXPECT_EQ(refused("tick\tkey\tvelocity\tlength\n0\t36\t100\n"),
            text + ": line 2: no value in column 4 (length)\n");
  EXPECT_EQ(refused("tick\tkey\tlength\n0\t36\t24\n"),
            text +
                ": line 1: no column named velocity (the header needs tick, key, velocity "
                "and length)\n");
  EXPECT_EQ(refused("tick\tkey\tvelocity\tlength\n0\t36\t100\t48\n24\t36\t100\t24\n"),
            text +
                ": line 3: the note starts while the note of line 2 still sounds on the "
                "same key\n");
  EXPECT_EQ(refused("tick\tkey\tvelocity\tlength\n1500\t36\t100\t48\n"),
            text + ": line 2: the note ends at tick 1548, after the section's end (tick 1536)\n");
}

}  // namespace
}  // namespace brondel
