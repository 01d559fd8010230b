// check: a folder holding sound rhythm files and one file for each kind of problem gives exactly
// one line per problem and exit status 1; a sound folder gives nothing and 0.
#include <gtest/gtest.h>

#include "document/rhythm_builder.h"
#include "tests/support/test_files.h"
#include "tests/tool/tool_test_support.h"

namespace brondel {
namespace {

using test::RunTool;
using test::WriteBytes;

// Header offset of the data offset of part p in section s, in a .ckf file.
std::size_t CkfDataOffsetAt(int s, int p) {
  return kPrefixSize + TRhythmHeader::SectionOffset(s) + 42 + 2 * static_cast<std::size_t>(p);
}

TPartStream LongPart(int notes) {
  TPartBuilder part;
  for (int i = 0; i < notes; ++i) part.Note(1, 40, static_cast<std::uint8_t>(i % 2 == 0 ? 90 : 0));
  return part.End();
}

TRhythmBuilder SoundRhythm(std::uint8_t tempo = 120) {
  TRhythmBuilder rhythm(tempo, 0x22);
  for (int p = 0; p < kPartCount; ++p) rhythm.Settings(p, PartSettings(0, 0, 100, 64, 40, 0));
  rhythm.Part(2, 0, TPartBuilder().Note(0, 36, 100).Note(48, 36, 0).End(48));
  return rhythm;
}

class ToolCheck : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path path = dir_.Path() / name;
    std::filesystem::create_directories(path.parent_path());
    WriteBytes(path, bytes);
    return path.generic_string();
  }
  // The loader's own text for a damaged file, so that the line is checked, not its wording.
  static std::string LoaderMessage(const std::string& path) { return ReadRhythmFile(path).message; }
  // Sound files, in a nested folder, in both layouts and with the extension in capitals.
  void PutSoundFiles() {
    for (const std::string& example : test::ExampleRhythmPaths()) {
      Put("sound/" + std::filesystem::path(example).filename().string(), test::FileBytes(example));
    }
    Put("sound/deeper/plain.z00", SoundRhythm().Z00File());
    Put("sound/deeper/CAPITALS.CKF", SoundRhythm().CkfFile());
    Put("sound/readme.txt", {'n', 'o', 't', 'e', 's'});  // no rhythm: not looked at
  }

  test::TTempDir dir_;
};

TEST_F(ToolCheck, ASoundFolderHasNoProblems) {
  PutSoundFiles();
  const auto run = RunTool({"check", (dir_.Path() / "sound").string()});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
}

TEST_F(ToolCheck, EachProblemGetsItsOwnLine) {
  PutSoundFiles();
  const std::string root = dir_.Path().generic_string();

  std::vector<std::uint8_t> wrongType = SoundRhythm().CkfFile();
  wrongType[kTypeByteOffset] = 5;
  Put("bad/wrong_type.ckf", wrongType);
  Put("bad/tiny.ckf", std::vector<std::uint8_t>(10, 0));
  const std::string shortHeader = Put("bad/short_header.z00", std::vector<std::uint8_t>(100, 0));

  std::vector<std::uint8_t> pastEnd = SoundRhythm().CkfFile();
  WriteU16LE(&pastEnd[CkfDataOffsetAt(2, 1)], 0xFFF0);
  const std::string pastEndPath = Put("bad/past_end.ckf", pastEnd);

  std::vector<std::uint8_t> noEnd = SoundRhythm().Part(9, 4, LongPart(40)).CkfFile();
  noEnd.resize(noEnd.size() - 30);  // End2:Chord3 is the last part in the file
  const std::string noEndPath = Put("bad/no_end.ckf", noEnd);

  const TPartStream badFiller = TPartBuilder()
                                    .Note(0, 60, 100)
                                    .Note(24, 60, 0)
                                    .Record(TRhythmRecord::End(24))
                                    .Record({0, 0x00, 0})
                                    .Records();
  Put("bad/bad_filler.ckf", SoundRhythm().Part(5, 2, badFiller).CkfFile());

  // Five parts share one part of 13,200 bytes: more data than 16-bit offsets can address.
  const TPartStream big = LongPart(4399);
  std::vector<std::uint8_t> tooLarge = SoundRhythm().Part(0, 0, big).CkfFile();
  for (int p = 1; p < kPartCount; ++p) WriteU16LE(&tooLarge[CkfDataOffsetAt(0, p)], 0);
  const std::string tooLargePath = Put("bad/too_large.ckf", tooLarge);

  Put("bad/slow.ckf", SoundRhythm(5).CkfFile());
  Put("bad/fast.z00",
      SoundRhythm(250).Settings(0, 0, PartSettings(0, 0, 100, 255, 40, 0)).Z00File());
  Put("bad/loud.ckf", SoundRhythm().Settings(9, 4, PartSettings(0, 0, 128, 64, 40, 0)).CkfFile());

  const auto run = RunTool({"check", root});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "");
  const std::vector<std::pair<std::string, std::string>> problems{
      {"bad_filler.ckf", "Error in file: the filler of Fill2:Chord1 is not a wait record"},
      {"fast.z00", "tempo 250 is outside 11 to 249"},
      {"fast.z00", "Intro1:Drums Pane is 255, settings go up to 127"},
      {"loud.ckf", "End2:Chord3 Volume is 128, settings go up to 127"},
      {"no_end.ckf", LoaderMessage(noEndPath)},
      {"past_end.ckf", LoaderMessage(pastEndPath)},
      {"short_header.z00", LoaderMessage(shortHeader)},
      {"slow.ckf", "tempo 5 is outside 11 to 249"},
      {"tiny.ckf", "too short: 10 bytes, a .ckf rhythm file has its type byte at offset 23"},
      {"too_large.ckf", LoaderMessage(tooLargePath)},
      {"wrong_type.ckf", "wrong type byte 5 at offset 23, a .ckf rhythm file has 11"}};
  std::string lines;
  for (const auto& [name, problem] : problems)
    lines += root + "/bad/" + name + ": " + problem + "\n";
  EXPECT_EQ(run.out, lines);
  // The damaged files are the ones the loader refuses, each for its own reason.
  EXPECT_NE(LoaderMessage(noEndPath).find("End2:Chord3"), std::string::npos);
  EXPECT_NE(LoaderMessage(pastEndPath).find("Var1:Bass"), std::string::npos);
  EXPECT_NE(LoaderMessage(tooLargePath).find("64995"), std::string::npos);
}

TEST_F(ToolCheck, FilesAreCheckedWhateverTheirNameAndAMissingOneIsAProblem) {
  const std::string odd = Put("rhythm.bin", SoundRhythm(7).CkfFile());  // .ckf layout, untested
  const std::string missing = (dir_.Path() / "missing.ckf").string();
  const std::string sound = Put("fine.z00", SoundRhythm().Z00File());
  const auto run = RunTool({"check", odd, missing, sound});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, odd + ": tempo 7 is outside 11 to 249\n" + missing +
                         ": cannot open: No such file or directory\n");
  EXPECT_EQ(RunTool({"check", sound}).status, 0);
}

TEST_F(ToolCheck, AFolderWithoutAnyRhythmFileIsAProblem) {
  const std::string notes = Put("notes/readme.txt", {'n', 'o'});
  const std::string folder = std::filesystem::path(notes).parent_path().generic_string();
  const std::string empty = (dir_.Path() / "empty").generic_string();
  std::filesystem::create_directories(empty);
  const auto run = RunTool({"check", folder, empty});
  EXPECT_EQ(run.status, 1);
  const std::string problem = ": no rhythm file (.ckf or .z00) in this folder or below it\n";
  EXPECT_EQ(run.out, folder + problem + empty + problem);
}

TEST_F(ToolCheck, NoPathIsAUsageError) {
  const auto run = RunTool({"check"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("Usage: brondel-tool check PATH..."), std::string::npos);
}

}  // namespace
}  // namespace brondel
