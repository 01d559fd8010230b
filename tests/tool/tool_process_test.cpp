// The tool as its own process, under what a test cannot put on itself: a file size limit, and
// an unprivileged user for whom permissions really stop reading.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>

#include "platform/midi_service.h"
#include "tests/support/child_process.h"
#include "tests/support/test_files.h"
#include "tests/tool/tool_test_support.h"

namespace brondel {
namespace {

namespace fs = std::filesystem;
using test::FileBytes;
using test::FilesIn;

const std::string kTool = BRONDEL_TOOL_BINARY;
const std::string kPopBeat = test::SourcePath("examples/pop_beat.ckf").string();
const std::vector<std::uint8_t> kOld{'o', 'l', 'd', '\n'};

// As `ulimit -f 4`, with and without `trap '' XFSZ`: the save is cut off after 4,096 bytes.
TEST(ToolProcess, AResaveCutOffByTheFileSizeLimitFailsAndKeepsTheOldFile) {
  for (const bool ignoreSignal : {true, false}) {
    test::TTempDir dir;
    const std::string old = dir.File("old.ckf");
    test::WriteBytes(old, kOld);
    const auto run =
        test::RunProgram({kTool, "resave", kPopBeat, "-o", old}, {4096, ignoreSignal, {}});
    EXPECT_EQ(run.signal, 0) << ignoreSignal;
    EXPECT_EQ(run.exitCode, 1) << ignoreSignal;
    EXPECT_EQ(run.err, old + ": cannot write: " + std::strerror(EFBIG) + "\n");
    EXPECT_EQ(FileBytes(old), kOld) << ignoreSignal;
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"old.ckf"});
  }
}

// A folder everyone may write and a file of root's that no one else may write: as nobody, every
// command that writes is refused as a plain write to the file would be, and the file stays.
TEST(ToolProcess, AnOutputTheUserMayNotWriteIsRefusedAndStays) {
  test::TTempDir dir;
  fs::permissions(dir.Path(), fs::perms(0777));
  // The tool and the rhythm where nobody may reach them, whoever's the source tree is.
  fs::create_directory(dir.Path() / "in");
  const std::string tool = dir.File("in/brondel-tool");
  const std::string popBeat = dir.File("in/pop_beat.ckf");
  fs::copy_file(kTool, tool);
  fs::copy_file(kPopBeat, popBeat);
  fs::permissions(dir.Path() / "in", fs::perms(0755));
  const std::string old = dir.File("old.ckf");
  const std::string section = dir.File("song-Var1.mid");
  for (const std::string& path : {old, section}) {
    test::WriteBytes(path, kOld);
    fs::permissions(path, fs::perms(0444));
  }
  test::TChildLimits limits;
  if (::geteuid() == 0) limits.user = test::kNobody;
  const std::string denied = std::string(": cannot write: ") + std::strerror(EACCES) + "\n";
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"resave", popBeat, "-o", old},
        {"render", popBeat, "Var1", "-o", old},
        {"export-midi", popBeat, "-o", dir.File("song.mid")}}) {
    std::vector<std::string> argv{tool};
    argv.insert(argv.end(), words.begin(), words.end());
    const auto run = test::RunProgram(argv, limits);
    EXPECT_EQ(run.exitCode, 1) << words[0];
    EXPECT_EQ(run.err, (words[0] == "export-midi" ? section : old) + denied);
  }
  EXPECT_EQ(FileBytes(old), kOld);
  EXPECT_EQ(FileBytes(section), kOld);
  EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"in", "old.ckf", "song-Var1.mid"}));
}

TEST(ToolProcess, DashWritesToTheRealStandardOutput) {
  test::TTempDir dir;
  const auto run = test::RunProgram({kTool, "resave", kPopBeat, "-o", "-"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  ASSERT_EQ(test::RunTool({"resave", kPopBeat, "-o", dir.File("saved.ckf")}).status, 0);
  const auto saved = FileBytes(dir.File("saved.ckf"));
  EXPECT_EQ(run.out, std::string(saved.begin(), saved.end()));
}

// The MIDI side of the tool with no sound card and no JACK server (a server name no server has):
// the libraries under it (ALSA's, libjack, RtMidi, FluidSynth) explain at length what they cannot
// find; none of that reaches the console. The device list is printed and nothing else.
std::vector<std::string> WithoutJackServer(std::vector<std::string> command) {
  const std::string server = "brondel_none_" + std::to_string(::getpid());
  command.insert(command.begin(), {"/usr/bin/env", "JACK_DEFAULT_SERVER=" + server, kTool});
  return command;
}

TEST(ToolProcess, TheDeviceListIsBuiltWithoutTheLibrariesNoise) {
  const auto run = test::RunProgram(WithoutJackServer({"devices"}));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.rfind("0: Built-in General MIDI synthesizer\n", 0), 0u) << run.out;
  // Outputs first ("N: NAME"), then inputs ("in  N  NAME"), numbered from 0 each.
  std::istringstream lines(run.out);
  std::string line;
  int outputs = 0;
  int inputs = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("in  ", 0) == 0) {
      EXPECT_EQ(line.rfind("in  " + std::to_string(inputs++) + "  ", 0), 0u) << line;
    } else {
      EXPECT_EQ(inputs, 0) << "an output after the inputs: " << line;
      EXPECT_EQ(line.rfind(std::to_string(outputs++) + ": ", 0), 0u) << line;
    }
  }
}

TEST(ToolProcess, APlayThatCannotStartSaysWhyInOneLine) {
  // Without any audio output the built-in synthesizer cannot open: one line, our own. (Where an
  // audio output works, the bar plays and nothing is printed.)
  const auto run = test::RunProgram(WithoutJackServer({"play", kPopBeat, "Fill1"}));
  if (run.exitCode == 0) {
    EXPECT_EQ(run.err, "");
    return;
  }
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "brondel-tool play: OPEN " + platform::MidiErrorText(platform::kMidiNoDriver) + "\n");
}

// Root reads whatever the permissions say, so the check then runs as "nobody", from a copy of
// the tool that "nobody" may run.
class ToolUnreadable : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::permissions(dir_.Path(), fs::perms(0755));
    tool_ = dir_.File("brondel-tool");
    fs::copy_file(kTool, tool_);
    fs::create_directories(dir_.Path() / "rhythms/sound");
    fs::copy_file(kPopBeat, dir_.Path() / "rhythms/sound/pop_beat.ckf");
    fs::create_directories(dir_.Path() / "rhythms/locked");
    fs::copy_file(kPopBeat, dir_.Path() / "rhythms/locked/hidden.ckf");
    fs::copy_file(kPopBeat, dir_.Path() / "rhythms/unreadable.ckf");
    Lock("rhythms/locked");
    Lock("rhythms/unreadable.ckf");
    if (::geteuid() == 0) limits_.user = test::kNobody;
  }
  void TearDown() override { fs::permissions(dir_.Path() / "rhythms/locked", fs::perms(0755)); }
  void Lock(const std::string& name) { fs::permissions(dir_.Path() / name, fs::perms::none); }
  std::string Path(const std::string& name) const { return dir_.File(name); }
  test::TChildRun Check(const std::string& path) {
    return test::RunProgram({tool_, "check", path}, limits_);
  }

  test::TTempDir dir_;
  std::string tool_;
  test::TChildLimits limits_;
};

TEST_F(ToolUnreadable, AFolderOrFileThatCannotBeReadIsAProblem) {
  const std::string denied = std::strerror(EACCES);
  const auto all = Check(Path("rhythms"));
  EXPECT_EQ(all.exitCode, 1) << all.err;
  EXPECT_EQ(all.out, Path("rhythms/unreadable.ckf") + ": cannot open: " + denied + "\n" +
                         Path("rhythms/locked") + ": cannot read folder: " + denied + "\n");

  const auto locked = Check(Path("rhythms/locked"));
  EXPECT_EQ(locked.exitCode, 1);
  EXPECT_EQ(locked.out, Path("rhythms/locked") + ": cannot read folder: " + denied + "\n");

  const auto sound = Check(Path("rhythms/sound"));
  EXPECT_EQ(sound.exitCode, 0) << sound.out;
  EXPECT_EQ(sound.out, "");
}

}  // namespace
}  // namespace brondel
