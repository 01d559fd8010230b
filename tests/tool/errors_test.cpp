// What the tool does with bad command lines and bad files: the message, the exit status, and no
// output file (an existing one stays as it was).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "document/rhythm_builder.h"
#include "tests/support/test_files.h"
#include "tests/tool/tool_test_support.h"

namespace brondel {
namespace {

using test::RunTool;

class ToolErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    example_ = test::ExampleRhythmPaths().front();
    out_ = dir_.File("out.bin");
  }
  // The command failed with `status`, printed `message` somewhere on standard error, printed
  // nothing on standard output, and left the folder without any output.
  void ExpectRefused(const std::vector<std::string>& words, int status,
                     const std::string& message) {
    const auto run = RunTool(words);
    EXPECT_EQ(run.status, status) << words[0];
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(test::FilesIn(dir_.Path()), existing_) << words[0];
  }

  test::TTempDir dir_;
  std::string example_;
  std::string out_;
  std::vector<std::string> existing_;
};

TEST_F(ToolErrors, UsageErrorsExitWithTwo) {
  ExpectRefused({}, 2, "Usage: brondel-tool COMMAND");
  ExpectRefused({"bogus"}, 2, "unknown command 'bogus'");
  ExpectRefused({"render", example_}, 2, "missing arguments");
  ExpectRefused({"render", example_, "Var1"}, 2, "missing -o OUT");
  ExpectRefused({"render", example_, "Var1", "-o"}, 2, "option -o needs a value");
  ExpectRefused({"render", example_, "Var1", "Bass", "-o", out_}, 2, "unexpected argument 'Bass'");
  ExpectRefused({"render", example_, "Var1", "-o", out_, "-o", out_}, 2, "option -o given twice");
  ExpectRefused({"info", "--frobnicate", example_}, 2, "unknown option '--frobnicate'");
  ExpectRefused({"info", "--json=yes", example_}, 2, "option --json takes no value");
  ExpectRefused({"export-midi", example_, "-o", out_, "--section", "Var1", "--play-all"}, 2,
                "--section and --play-all exclude each other");
  ExpectRefused({"play", example_, "Var1", "--device", "first"}, 2,
                "--device takes a device number, not 'first'");
  ExpectRefused({"devices", "now"}, 2, "unexpected argument 'now'");
}

TEST_F(ToolErrors, ABadFileOrNameIsOneLineNamingTheFileAndExitsWithOne) {
  const std::string missing = dir_.File("missing.ckf");
  const std::string notRhythm = dir_.File("letter.ckf");
  test::WriteBytes(notRhythm, std::vector<std::uint8_t>(700, 'x'));
  const std::string damaged = dir_.File("damaged.z00");
  test::WriteBytes(damaged, std::vector<std::uint8_t>(300, 0));
  existing_ = {"damaged.z00", "letter.ckf"};
  for (const std::string command : {"render", "wav"}) {
    ExpectRefused({command, missing, "Var1", "-o", out_}, 1,
                  missing + ": cannot open: No such file or directory\n");
    ExpectRefused({command, notRhythm, "Var1", "-o", out_}, 1,
                  notRhythm + ": wrong type byte 120 at offset 23, a .ckf rhythm file has 11\n");
    ExpectRefused({command, damaged, "Var1", "-o", out_}, 1,
                  damaged + ": " + ReadRhythmFile(damaged).message + "\n");
    ExpectRefused({command, example_, "Var9", "-o", out_}, 1,
                  example_ + ": no section 'Var9' (Intro1 ... End2, or 0 to 9)\n");
  }
  ExpectRefused({"preview", example_, "Var1", "Drum", "-o", out_}, 1,
                example_ + ": no part 'Drum' (Drums ... Chord3, or 0 to 4)\n");
  ExpectRefused({"preview", example_, "10", "0", "-o", out_}, 1, example_ + ": no section '10'");
  ExpectRefused({"resave", missing, "-o", out_}, 1, missing + ": cannot open");
  ExpectRefused({"export-midi", notRhythm, "-o", out_}, 1, notRhythm + ": wrong type byte");
  ExpectRefused({"info", missing}, 1, missing + ": cannot open");
}

TEST_F(ToolErrors, AFailedCommandLeavesAnExistingOutputAsItWas) {
  test::WriteBytes(out_, {'o', 'l', 'd'});
  existing_ = {"out.bin"};
  ExpectRefused({"render", example_, "Var9", "-o", out_}, 1, "no section 'Var9'");
  EXPECT_EQ(test::FileBytes(out_), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
}

TEST_F(ToolErrors, AnOutputThatCannotBeWrittenNamesTheOutput) {
  const std::string nowhere = dir_.File("no-such-folder/out.bin");
  ExpectRefused({"render", example_, "Var1", "-o", nowhere}, 1, nowhere + ": cannot write: ");
}

TEST_F(ToolErrors, ARhythmTooLargeToSaveIsRefusedAsTheWindowRefusesIt) {
  // Five parts share one part of 13,200 bytes, more than a saved file can address.
  TPartBuilder big;
  for (int i = 0; i < 4399; ++i) big.Note(1, 40, 0);
  std::vector<std::uint8_t> bytes = TRhythmBuilder(120, 0x22).Part(0, 0, big.End()).CkfFile();
  for (int p = 1; p < kPartCount; ++p) {
    WriteU16LE(&bytes[kPrefixSize + TRhythmHeader::SectionOffset(0) + 42 + 2 * p], 0);
  }
  const std::string file = dir_.File("large.ckf");
  test::WriteBytes(file, bytes);
  existing_ = {"large.ckf"};
  const std::string refusal = ReadRhythmFile(file).message;
  EXPECT_NE(refusal.find("64995"), std::string::npos);
  ExpectRefused({"resave", file, "-o", out_}, 1, file + ": " + refusal + "\n");
  ExpectRefused({"export-midi", file, "-o", out_}, 1, file + ": " + refusal + "\n");
}

TEST(ToolHelp, TheToolAndEachCommandHaveHelp) {
  const auto tool = RunTool({"--help"});
  EXPECT_EQ(tool.status, 0);
  const std::vector<std::string> commands{"info",        "check", "render",  "preview", "resave",
                                          "export-midi", "wav",   "devices", "play"};
  for (const std::string& command : commands) {
    EXPECT_NE(tool.out.find("\n  " + command + " "), std::string::npos) << command;
    const auto help = RunTool({command, "--help"});
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_EQ(help.out.rfind("Usage: brondel-tool " + command, 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");
  }
}

// The usage line of every command the tool's help lists, as `COMMAND --help` prints it.
std::vector<std::string> UsagesFromHelp() {
  std::istringstream help(RunTool({"--help"}).out);
  std::vector<std::string> usages;
  bool commands = false;
  for (std::string line; std::getline(help, line);) {
    if (line == "Commands:") {
      commands = true;
    } else if (commands && line.empty()) {
      break;
    } else if (commands) {
      const std::string name = line.substr(2, line.find(' ', 2) - 2);
      std::istringstream command(RunTool({name, "--help"}).out);
      std::string usage;
      std::getline(command, usage);
      usages.push_back(usage.substr(std::string("Usage: brondel-tool ").size()));
    }
  }
  return usages;
}

TEST(ToolHelp, TheReadmeListsEveryCommandWithTheUsageItsHelpShows) {
  // In the README's brondel-tool section each command is an item "- `USAGE`: what it does".
  std::ifstream readme(test::SourcePath("README.md"));
  std::vector<std::string> listed;
  bool inToolSection = false;
  for (std::string line; std::getline(readme, line);) {
    if (line.starts_with("## ")) inToolSection = line == "## brondel-tool";
    if (inToolSection && line.starts_with("- `") && line.find("`:") != std::string::npos) {
      listed.push_back(line.substr(3, line.find("`:") - 3));
    }
  }
  const std::vector<std::string> usages = UsagesFromHelp();
  EXPECT_EQ(usages.size(), 15u);
  EXPECT_EQ(listed, usages);
}

}  // namespace
}  // namespace brondel
