// import-midi and from-midi as a user runs them: for every example, the ten files export-midi
// writes, made into a new rhythm with from-midi, render each section exactly as the original
// does, and each exported part imported over itself with import-midi changes no render; the
// written rhythms are what "Save as" writes; notices go to standard error; bad command lines,
// bad MIDI files and refusals write nothing.
#include <gtest/gtest.h>

#include "document/rhythm_builder.h"
#include "tests/support/smf_writer.h"
#include "tests/support/test_files.h"
#include "tests/tool/tool_test_support.h"

namespace brondel {
namespace {

using test::FileBytes;
using test::RunTool;
using test::SmfFile;
using test::TSmfTrackWriter;

/// What `render FILE SECTION` writes.
TEventBuffer Rendered(const std::string& file, const std::string& section) {
  const auto run = RunTool({"render", file, section, "-o", "-"});
  EXPECT_EQ(run.status, 0) << run.err;
  return {run.out.begin(), run.out.end()};
}

class ToolMidiImport : public ::testing::TestWithParam<std::string> {
 protected:
  test::TTempDir dir_;
};

TEST_P(ToolMidiImport, ExportedSectionsMakeARhythmThatRendersAsTheOriginal) {
  ASSERT_EQ(RunTool({"export-midi", GetParam(), "-o", dir_.File("song.mid")}).status, 0);
  std::vector<std::string> words{"from-midi"};
  for (const std::string_view section : kSectionNames) {
    words.push_back(dir_.File("song-" + std::string(section) + ".mid"));
  }
  words.insert(words.end(), {"-o", dir_.File("back.ckf")});
  const auto run = RunTool(words);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (const std::string_view section : kSectionNames) {
    EXPECT_TRUE(test::SameStreamEvents(Rendered(GetParam(), std::string(section)),
                                       Rendered(dir_.File("back.ckf"), std::string(section))))
        << section;
  }
  // What "Save as" writes right after opening it is the file itself.
  const auto resaved = RunTool({"resave", dir_.File("back.ckf"), "-o", "-"});
  EXPECT_EQ(std::vector<std::uint8_t>(resaved.out.begin(), resaved.out.end()),
            FileBytes(dir_.File("back.ckf")));
}

TEST_P(ToolMidiImport, EachExportedPartImportedOverItselfRendersAsBefore) {
  const TLoadedRhythm rhythm = test::LoadRhythm(GetParam());
  ASSERT_EQ(RunTool({"export-midi", GetParam(), "-o", dir_.File("song.mid")}).status, 0);
  for (const std::string_view section : kSectionNames) {
    const std::string midi = dir_.File("song-" + std::string(section) + ".mid");
    const TEventBuffer original = Rendered(GetParam(), std::string(section));
    for (const std::string_view part : kPartNames) {
      // Without --track the part's own track, named after it, is the source.
      const auto run = RunTool({"import-midi", GetParam(), std::string(section), std::string(part),
                                midi, "--sounds", "-o", dir_.File("part.ckf")});
      if (run.err.ends_with(" holds no notes\n")) {
        // An empty part's track has no notes to import: refused, as nothing would change.
        EXPECT_EQ(CountEvents(rhythm.slot.streams[*SectionNamed(section)][*PartNamed(part)]), 1);
        continue;
      }
      ASSERT_EQ(run.status, 0) << run.err;
      EXPECT_TRUE(
          test::SameStreamEvents(original, Rendered(dir_.File("part.ckf"), std::string(section))))
          << section << ":" << part;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Examples, ToolMidiImport, ::testing::ValuesIn(test::ExampleRhythmPaths()),
                         test::ExampleTestName);

/// A 4/4 rhythm of two-bar sections at 96 ticks a quarter note.
std::string WriteRhythm(const test::TTempDir& dir) {
  TRhythmBuilder rhythm(100, 0x22);
  for (int section = 0; section < kSectionCount; ++section) {
    rhythm.Bars(section, 2);
    for (int part = 0; part < kPartCount; ++part) {
      rhythm.Part(section, part, TTimedPart().Add(0, 60, 100, 96).Build(768));
    }
  }
  const std::string path = dir.File("r.ckf");
  test::WriteBytes(path, rhythm.CkfFile());
  return path;
}

TEST(ToolMidiImportNotices, GoToStandardErrorAndTheRhythmIsWritten) {
  test::TTempDir dir;
  const std::string rhythm = WriteRhythm(dir);
  const std::string midi = dir.File("long.mid");
  test::WriteBytes(midi, SmfFile(0, 96,
                                 {TSmfTrackWriter()
                                      .Event(0, {0x93, 40, 100})
                                      .Event(700, {0x93, 41, 100})
                                      .Event(200, {0x83, 40, 0})
                                      .Event(0, {0x93, 42, 100})
                                      .End(0)}));
  const auto run = RunTool(
      {"import-midi", rhythm, "var1", "chord1", midi, "--channel", "4", "-o", dir.File("o.ckf")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, midi +
                         ": Var1:Chord1: 1 note starting at the section's end (tick 768) or "
                         "later left out\n" +
                         midi +
                         ": Var1:Chord1: 2 notes still sounding at the section's end (tick 768) "
                         "cut there\n");
  const auto info = RunTool({"info", "--json", dir.File("o.ckf")});
  EXPECT_NE(info.out.find("\"notes\":2"), std::string::npos) << info.out;
}

class ToolMidiImportErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    rhythm_ = WriteRhythm(dir_);
    midi_ = dir_.File("in.mid");
    test::WriteBytes(midi_,
                     SmfFile(1, 480,
                             {TSmfTrackWriter()
                                  .Name("Piano")
                                  .Event(0, {0x90, 60, 1})
                                  .Event(480, {0x80, 60, 0})
                                  .End(0),
                              TSmfTrackWriter().Name("Strings").Event(0, {0x91, 60, 1}).End(0)}));
    out_ = dir_.File("out.ckf");
    existing_ = test::FilesIn(dir_.Path());
  }
  void ExpectRefused(const std::vector<std::string>& words, int status,
                     const std::string& message) {
    const auto run = RunTool(words);
    EXPECT_EQ(run.status, status) << run.err;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    EXPECT_EQ(test::FilesIn(dir_.Path()), existing_);
  }

  test::TTempDir dir_;
  std::string rhythm_;
  std::string midi_;
  std::string out_;
  std::vector<std::string> existing_;
};

TEST_F(ToolMidiImportErrors, BadCommandLinesExitWithTwo) {
  ExpectRefused({"import-midi", rhythm_, "Var1", "Bass", midi_}, 2, "missing -o OUT");
  ExpectRefused(
      {"import-midi", rhythm_, "Var1", "Bass", midi_, "--track", "1", "--channel", "2", "-o", out_},
      2, "--track and --channel exclude each other");
  ExpectRefused({"import-midi", rhythm_, "Var1", "Bass", midi_, "--channel", "17", "-o", out_}, 2,
                "--channel takes a number from 1 to 16");
  ExpectRefused({"import-midi", rhythm_, "Var1", "Bass", midi_, "--track", "x", "-o", out_}, 2,
                "--track takes a number from 1 to 65535");
  ExpectRefused({"from-midi", "-o", out_}, 2, "missing arguments");
}

TEST_F(ToolMidiImportErrors, FilesThatCannotBeUsedExitWithOneAndNameTheFile) {
  ExpectRefused({"import-midi", rhythm_, "Var1", "Bass", dir_.File("none.mid"), "-o", out_}, 1,
                dir_.File("none.mid") + ": cannot read: ");
  ExpectRefused({"import-midi", rhythm_, "Var1", "Bass", rhythm_, "-o", out_}, 1,
                rhythm_ + ": not a Standard MIDI File: it does not start with \"MThd\"");
  // No track is named after a part; channels 1 and 2 go to Bass and Chord1, none to Chord3:
  // the sources are listed.
  ExpectRefused({"import-midi", rhythm_, "Var1", "Chord3", midi_, "-o", out_}, 1,
                midi_ +
                    ": no track is named Chord3 and no channel falls to it: choose one with "
                    "--track N or --channel C (Track 1 \"Piano\" (channel 1): 1 note; Track 2 "
                    "\"Strings\" (channel 2): 1 note; Channel 1: 1 note; Channel 2: 1 note)");
  ExpectRefused({"import-midi", rhythm_, "Var1", "Bass", midi_, "--track", "3", "-o", out_}, 1,
                midi_ + ": there is no track 3: the file has 2 tracks");
  ExpectRefused(
      {"import-midi", rhythm_, "Var1", "Bass", midi_, "--track", "1", "-o", dir_.File("out.z00")},
      1, "Brondel saves .ckf files only");
  ExpectRefused({"from-midi", midi_, "-o", out_}, 1, midi_ + ": names no section");
}

TEST_F(ToolMidiImportErrors, FromMidiNamesEveryFileThatCannotBeRead) {
  const std::string var1 = dir_.File("take-Var1.mid");
  test::WriteBytes(var1, FileBytes(midi_));
  existing_ = test::FilesIn(dir_.Path());
  const std::string missing = dir_.File("take-Var2.mid");
  const auto run = RunTool({"from-midi", rhythm_, var1, missing, "-o", out_});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind(rhythm_ + ": not a Standard MIDI File", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("\n" + missing + ": cannot read: "), std::string::npos) << run.err;
  EXPECT_EQ(test::FilesIn(dir_.Path()), existing_);
}

TEST(ToolMidiImportNotices, APartOfAnotherTimeSignatureIsImportedAndSaidSo) {
  test::TTempDir dir;
  const std::string rhythm = WriteRhythm(dir);
  const std::string midi = dir.File("waltz.mid");
  test::WriteBytes(midi, SmfFile(0, 96,
                                 {TSmfTrackWriter()
                                      .TimeSignature(0, 3, 2)
                                      .Event(0, {0x91, 40, 100})
                                      .Event(288, {0x81, 40, 0})
                                      .End(0)}));
  const auto run = RunTool(
      {"import-midi", rhythm, "Var1", "Bass", midi, "--channel", "2", "-o", dir.File("o.ckf")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, midi +
                         ": Var1:Bass: the source is in 3/4, the rhythm in 4/4: its notes keep "
                         "their ticks, not their bars\n");
}

TEST_F(ToolMidiImportErrors, FromMidiWritesTheRhythmToTheStandardOutput) {
  const std::string var1 = dir_.File("take-Var1.mid");
  test::WriteBytes(var1, FileBytes(midi_));
  const auto run = RunTool({"from-midi", var1, "-o", "-"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string written = dir_.File("take.ckf");
  test::WriteBytes(written, {run.out.begin(), run.out.end()});
  const auto info = RunTool({"info", written});
  EXPECT_NE(info.out.find("tempo 96, time signature 4/4"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("Var1        1"), std::string::npos) << info.out;
}

}  // namespace
}  // namespace brondel
