// Where the tool's outputs go: a file replaced only when it is whole, never a device or a pipe,
// never a .ckf layout under a .z00 name, all section files of export-midi or none, the standard
// output for "-o -", and file names as the bytes they are.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "document/save_file.h"
#include "platform/file_io.h"
#include "tests/support/test_files.h"
#include "tests/tool/tool_test_support.h"

namespace brondel {
namespace {

namespace fs = std::filesystem;
using test::FileBytes;
using test::FilesIn;
using test::RunTool;

const std::string kPopBeat = test::SourcePath("examples/pop_beat.ckf").string();
const std::string kWaltz = test::SourcePath("examples/waltz.z00").string();

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(ToolOutputs, ResaveRefusesATargetNamedLikeAZ00File) {
  test::TTempDir dir;
  const std::string z00 = dir.File("waltz.z00");
  test::WriteBytes(z00, FileBytes(kWaltz));
  const auto run = RunTool({"resave", z00, "-o", z00});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, z00 + ": " + kZ00TargetRefusal + "\n");
  EXPECT_EQ(FileBytes(z00), FileBytes(kWaltz)) << "the waltz is still there";

  // Only the exact extension opens in the .z00 layout; other names take the .ckf file.
  for (const std::string name : {"waltz.ckf", "WALTZ.Z00", "waltz.z00.bak"}) {
    const auto saved = RunTool({"resave", z00, "-o", dir.File(name)});
    EXPECT_EQ(saved.status, 0) << name << saved.err;
    EXPECT_EQ(ReadRhythmFile(dir.File(name)).status, TLoadStatus::kLoaded) << name;
  }
}

TEST(ToolOutputs, AnOutputThatIsNoRegularFileIsRefusedAndStays) {
  test::TTempDir dir;
  const std::string pipe = dir.File("pipe.bin");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"resave", kPopBeat, "-o", pipe},
        {"render", kPopBeat, "Var1", "-o", pipe}}) {
    const auto run = RunTool(words);
    EXPECT_EQ(run.status, 1) << words[0];
    EXPECT_EQ(run.err,
              pipe + ": cannot write: " + std::string(platform::kNotRegularFileReason) + "\n");
  }
  EXPECT_TRUE(fs::is_fifo(pipe));
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"pipe.bin"});
}

TEST(ToolOutputs, ExportMidiWritesAllSectionFilesOrNone) {
  test::TTempDir dir;
  // The fifth file's name is taken by a folder: the four before it must not be written either.
  fs::create_directory(dir.Path() / "song-Fill1.mid");
  const std::string out = dir.File("song.mid");
  const auto run = RunTool({"export-midi", kPopBeat, "-o", out});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, dir.File("song-Fill1.mid") +
                         ": cannot write: " + std::string(platform::kNotRegularFileReason) + "\n");
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"song-Fill1.mid"});

  fs::remove(dir.Path() / "song-Fill1.mid");
  EXPECT_EQ(RunTool({"export-midi", kPopBeat, "-o", out}).status, 0);
  EXPECT_EQ(FilesIn(dir.Path()).size(), std::size_t{kSectionCount});
}

// "-o -" gives the standard output exactly the bytes "-o FILE" writes.
TEST(ToolOutputs, DashWritesTheOneOutputFileToTheStandardOutput) {
  const std::vector<std::vector<std::string>> commands{
      {"render", kPopBeat, "Var1"},
      {"preview", kPopBeat, "Var1", "Bass"},
      {"resave", kWaltz},
      {"export-midi", kPopBeat, "--section", "Fill2"},
      {"export-midi", kWaltz, "--play-all"}};
  for (const std::vector<std::string>& command : commands) {
    test::TTempDir dir;
    std::vector<std::string> toFile = command;
    toFile.insert(toFile.end(), {"-o", dir.File("out")});
    std::vector<std::string> toOutput = command;
    toOutput.insert(toOutput.end(), {"-o", "-"});
    ASSERT_EQ(RunTool(toFile).status, 0) << command[0];
    const auto run = RunTool(toOutput);
    EXPECT_EQ(run.status, 0) << command[0] << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(run.out.empty());
    EXPECT_EQ(Bytes(run.out), FileBytes(dir.File("out"))) << command[0];
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"out"}) << "no file named -";
  }
  const auto tenFiles = RunTool({"export-midi", kPopBeat, "-o", "-"});
  EXPECT_EQ(tenFiles.status, 2);
  EXPECT_NE(tenFiles.err.find("-o - writes one file: add --section or --play-all"),
            std::string::npos);
  EXPECT_EQ(tenFiles.out, "");
}

TEST(ToolOutputs, VersionIsPrinted) {
  const auto run = RunTool({"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "brondel-tool " BRONDEL_VERSION "\n");
  EXPECT_NE(RunTool({"--help"}).out.find("--version"), std::string::npos);
}

// Names in another encoding than UTF-8 (Latin-1 here) are passed to the system as they are.
TEST(ToolOutputs, FileNamesThatAreNoUtf8AreReadAndWritten) {
  test::TTempDir dir;
  const std::string input = dir.File("caf\xe9.ckf");
  test::WriteBytes(input, FileBytes(kPopBeat));
  const std::string output = dir.File("r\xe9sultat.ckf");

  const auto info = RunTool({"info", input});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out.rfind(input + "\n", 0), 0u);
  EXPECT_EQ(RunTool({"resave", input, "-o", output}).status, 0);
  ASSERT_EQ(RunTool({"resave", kPopBeat, "-o", dir.File("plain.ckf")}).status, 0);
  EXPECT_EQ(FileBytes(output), FileBytes(dir.File("plain.ckf")));
  fs::remove(dir.Path() / "plain.ckf");
  const auto check = RunTool({"check", dir.Path().string()});
  EXPECT_EQ(check.status, 0) << check.out;
  EXPECT_EQ(check.out, "");
}

// Names of up to 255 bytes are legal; the save's temporary name beside them must fit too.
TEST(ToolOutputs, OutputNamesOfAnyLegalLengthAreWritten) {
  test::TTempDir dir;
  for (const std::size_t length : {240u, 255u}) {
    const std::string out = dir.File(std::string(length - 4, 'a') + ".ckf");
    const auto run = RunTool({"resave", kPopBeat, "-o", out});
    EXPECT_EQ(run.status, 0) << length << run.err;
    EXPECT_EQ(FileBytes(out), FileBytes(kPopBeat)) << length;
  }
  EXPECT_EQ(FilesIn(dir.Path()).size(), 2u);
}

// Outputs are laid out in memory and written beside their targets: a temporary folder that
// cannot be used (once export-midi's scratch file went there) stops no command.
TEST(ToolOutputs, NoOutputNeedsTheTemporaryFolder) {
  test::TTempDir dir;
  const char* const before = std::getenv("TMPDIR");
  const std::string kept = before != nullptr ? before : "";
  ::setenv("TMPDIR", dir.File("nope").c_str(), 1);
  const auto section =
      RunTool({"export-midi", kPopBeat, "--section", "Var1", "-o", dir.File("v.mid")});
  const auto resave = RunTool({"resave", kPopBeat, "-o", dir.File("r.ckf")});
  if (before != nullptr) {
    ::setenv("TMPDIR", kept.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  EXPECT_EQ(section.status, 0) << section.err;
  EXPECT_EQ(resave.status, 0) << resave.err;
  EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"r.ckf", "v.mid"}));
}

}  // namespace
}  // namespace brondel
