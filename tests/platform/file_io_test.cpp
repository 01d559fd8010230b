// Whole-file reads and safe writes on a real file system: a write that fails part way (a file
// size limit, a full file system) leaves the old file as it was and reports the failure; a
// target that is no regular file is refused; names are bytes, whatever their encoding.
//
// The Windows build (the windows_core test, under wine) runs the cases that need nothing but
// files and folders. The cases marked POSIX need what only POSIX systems have: permission bits
// and the umask, named pipes and device nodes, mounting a small file system, child processes
// under a file size limit, and symbolic links (on Windows only a privileged user may make one).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/file_io.h"
#include "tests/support/test_files.h"

#ifndef _WIN32
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "tests/support/child_process.h"
#endif

namespace brondel {
namespace {

namespace fs = std::filesystem;
using platform::ReadWholeFile;
using platform::TSafeFileWriter;
using platform::WriteFileSafely;
using test::ReadBytes;
using test::WriteBytes;

const std::vector<std::uint8_t> kOld{'o', 'l', 'd', '\n'};

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
  return bytes;
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    // As the program spells names: their bytes on POSIX systems, UTF-8 on Windows.
    const std::u8string name = entry.path().filename().u8string();
    names.emplace_back(name.begin(), name.end());
  }
  std::sort(names.begin(), names.end());
  return names;
}

#ifndef _WIN32  // POSIX: modes, mounts

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

// A tmpfs of a few kilobytes mounted on a fresh folder, for a file system that fills up.
class TSmallFileSystem {
 public:
  explicit TSmallFileSystem(std::size_t bytes) {
    const std::string options = "size=" + std::to_string(bytes);
    if (::mount("brondel-test", dir_.Path().c_str(), "tmpfs", 0, options.c_str()) == 0) {
      mounted_ = true;
    } else {
      reason_ = std::strerror(errno);
    }
  }
  ~TSmallFileSystem() {
    if (mounted_) ::umount2(dir_.Path().c_str(), MNT_DETACH);
  }
  TSmallFileSystem(const TSmallFileSystem&) = delete;
  TSmallFileSystem& operator=(const TSmallFileSystem&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Reason() const { return reason_; }
  const test::TTempDir& Dir() const { return dir_; }

 private:
  test::TTempDir dir_;
  bool mounted_ = false;
  std::string reason_;
};

TEST(WriteFileSafely, ReplacesAFileKeepingItsPermissionsAndLeavesNothingElse) {
  test::TTempDir dir;
  const std::string path = dir.File("saved.ckf");
  WriteBytes(path, kOld);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  const auto bytes = Pattern(5000);
  EXPECT_EQ(WriteFileSafely(path, bytes), "");
  EXPECT_EQ(ReadBytes(path), bytes);
  EXPECT_EQ(ModeOf(path), mode_t{0640});
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"saved.ckf"});
}

TEST(WriteFileSafely, ANewFileGetsThePermissionsTheUserAsksFor) {
  test::TTempDir dir;
  const mode_t mask = ::umask(022);
  ::umask(mask);
  const std::string path = dir.File("new.ckf");
  EXPECT_EQ(WriteFileSafely(path, Pattern(10)), "");
  EXPECT_EQ(ModeOf(path), mode_t{0666 & ~mask});
}

#endif

TEST(WriteFileSafely, AFolderThatCannotHoldTheFileIsReported) {
  test::TTempDir dir;
  const std::string file = dir.File("plain.ckf");
  WriteBytes(file, kOld);
  // Below a plain file there is no folder to create the file in, whoever runs the test.
  EXPECT_NE(WriteFileSafely(file + "/inside.ckf", Pattern(10)), "");
  EXPECT_EQ(ReadBytes(file), kOld);
  EXPECT_NE(WriteFileSafely(dir.File("missing/out.ckf"), Pattern(10)), "");
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"plain.ckf"});
}

#ifndef _WIN32  // POSIX: child processes under a file size limit, mounts, pipes, devices, links

// The child writes past its file size limit; it exits 0 when the write reported a failure.
void ExpectFileSizeLimitFailure(bool ignoreSignal) {
  test::TTempDir dir;
  const std::string path = dir.File("old.ckf");
  WriteBytes(path, kOld);
  const auto run = test::RunInChild(
      [&] {
        const std::string reason = WriteFileSafely(path, Pattern(10000));
        std::cerr << reason;
        return reason.empty() ? 1 : 0;
      },
      {4096, ignoreSignal, std::nullopt});
  EXPECT_EQ(run.signal, 0) << "the write ended the process";
  EXPECT_EQ(run.exitCode, 0) << "a write cut off at 4096 bytes was reported as done";
  EXPECT_EQ(run.err, std::strerror(EFBIG));
  EXPECT_EQ(ReadBytes(path), kOld);
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"old.ckf"});
}

TEST(WriteFileSafely, AWritePastTheFileSizeLimitFailsAndKeepsTheOldFile) {
  ExpectFileSizeLimitFailure(true);
}

TEST(WriteFileSafely, AWritePastTheFileSizeLimitDoesNotEndTheProgram) {
  ExpectFileSizeLimitFailure(false);
}

// One and two pages of room: the old file takes one, so the new file finds none, or room for
// only part of it.
TEST(WriteFileSafely, AFullFileSystemFailsAndKeepsTheOldFile) {
  for (const std::size_t size : {4096u, 8192u}) {
    const TSmallFileSystem small(size);
    if (!small.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here: " << small.Reason();
    const std::string path = small.Dir().File("old.ckf");
    WriteBytes(path, kOld);
    ASSERT_EQ(ReadBytes(path), kOld);
    EXPECT_EQ(WriteFileSafely(path, Pattern(10000)), std::strerror(ENOSPC)) << size;
    EXPECT_EQ(ReadBytes(path), kOld) << size;
    EXPECT_EQ(Names(small.Dir().Path()), std::vector<std::string>{"old.ckf"}) << size;
    if (size == 8192u) {
      // Once the failed file is gone, a file that fits goes through.
      EXPECT_EQ(WriteFileSafely(path, Pattern(3000)), "");
      EXPECT_EQ(ReadBytes(path), Pattern(3000));
    }
  }
}

TEST(WriteFileSafely, AnExistingTargetThatIsNoRegularFileIsRefused) {
  test::TTempDir dir;
  const std::string pipe = dir.File("pipe.ckf");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  const std::string folder = dir.File("folder.ckf");
  fs::create_directory(folder);
  std::vector<std::string> targets{pipe, folder};
  // A device node of our own (the same device as /dev/null) where creating one is allowed.
  const std::string device = dir.File("null.ckf");
  if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) targets.push_back(device);
  for (const std::string& target : targets) {
    EXPECT_EQ(WriteFileSafely(target, Pattern(100)), platform::kNotRegularFileReason) << target;
  }
  EXPECT_TRUE(fs::is_fifo(pipe));
  EXPECT_TRUE(fs::is_directory(folder));
  if (targets.size() == 3) {
    EXPECT_TRUE(fs::is_character_file(device));
  }
  EXPECT_EQ(Names(dir.Path()).size(), targets.size()) << "no temporary file is left";
}

TEST(WriteFileSafely, ALinkToARegularFileIsWrittenThroughAndStaysALink) {
  test::TTempDir dir;
  fs::create_directory(dir.Path() / "real");
  const std::string real = dir.File("real/rhythm.ckf");
  WriteBytes(real, kOld);
  const std::string link = dir.File("link.ckf");
  fs::create_symlink("real/rhythm.ckf", link);
  EXPECT_EQ(WriteFileSafely(link, Pattern(300)), "");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(real), Pattern(300));
  EXPECT_EQ(Names(dir.Path() / "real"), std::vector<std::string>{"rhythm.ckf"});

  // A link to nothing, or to something that is no regular file, is refused as it stands.
  const std::string dangling = dir.File("dangling.ckf");
  fs::create_symlink("nowhere.ckf", dangling);
  EXPECT_NE(WriteFileSafely(dangling, Pattern(10)), "");
  EXPECT_FALSE(fs::exists(dir.Path() / "nowhere.ckf"));
  const std::string toFolder = dir.File("to-folder.ckf");
  fs::create_directory_symlink("real", toFolder);
  EXPECT_EQ(WriteFileSafely(toFolder, Pattern(10)), platform::kNotRegularFileReason);
  EXPECT_TRUE(fs::is_symlink(toFolder));
}

// --- What a save keeps of the file it replaces, and what it refuses ---

struct TOwner {
  uid_t user = 0;
  gid_t group = 0;
  mode_t mode = 0;
  nlink_t links = 0;
};

TOwner OwnerOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return {info.st_uid, info.st_gid, static_cast<mode_t>(info.st_mode & 07777), info.st_nlink};
}

// Groups of no one on the machine: a file may belong to them all the same.
constexpr gid_t kSaversGroup = 4242;
constexpr gid_t kOthersGroup = 4243;

// A folder everyone may write, as a shared folder is, holding one file of root's (the test's
// user's when the tests do not run as root) in `mode`.
class SharedFolder : public ::testing::Test {
 protected:
  void SetUp() override { fs::permissions(dir_.Path(), fs::perms(0777)); }
  std::string Put(const std::string& name, mode_t mode, gid_t group = 0) {
    const std::string path = dir_.File(name);
    WriteBytes(path, kOld);
    if (::geteuid() == 0) {
      EXPECT_EQ(::chown(path.c_str(), 0, group), 0);
    }
    EXPECT_EQ(::chmod(path.c_str(), mode), 0);
    return path;
  }
  // Runs `body` as user nobody with `groups` as its supplementary groups (as root), else as the
  // test's own user, for whom a file of mode 444 is just as read-only.
  static test::TChildRun AsAnotherUser(const std::function<int()>& body,
                                       const std::vector<gid_t>& groups = {}) {
    return test::RunInChild([&] {
      if (::geteuid() == 0 && (::setgroups(groups.size(), groups.data()) != 0 ||
                               ::setgid(test::kNobody) != 0 || ::setuid(test::kNobody) != 0)) {
        return 125;
      }
      return body();
    });
  }

  test::TTempDir dir_;
};

// A rename needs only the folder's permission; the save must still refuse what a plain write
// to the file would refuse, and leave the file as it was.
TEST_F(SharedFolder, AFileTheSaverMayNotWriteIsRefusedAndStays) {
  const std::string path = Put("old.ckf", 0444);
  const std::string other = Put("other.mid", 0444);
  const auto run = AsAnotherUser([&] {
    std::cerr << WriteFileSafely(path, Pattern(100)) << "|";
    std::cerr << platform::WriteFilesSafely(
                     {{dir_.File("new.mid"), Pattern(10)}, {other, Pattern(20)}})
                     .error
              << "|";
    TSafeFileWriter writer(path);
    std::cerr << writer.Error();
    return 0;
  });
  const std::string denied = std::strerror(EACCES);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, denied + "|" + denied + "|" + denied);
  EXPECT_EQ(ReadBytes(path), kOld);
  EXPECT_EQ(OwnerOf(path).mode, mode_t{0444});
  EXPECT_EQ(ReadBytes(other), kOld);
  EXPECT_EQ(OwnerOf(other).mode, mode_t{0444});
  EXPECT_EQ(Names(dir_.Path()), (std::vector<std::string>{"old.ckf", "other.mid"}));
}

// A save by another user who may write the file: only root may give the new file to the old
// owner; the saver keeps the group when a member of it, so the group's members still may write.
TEST_F(SharedFolder, TheFileKeepsItsOwnerAndGroupWhereTheSystemAllows) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
  const std::string shared = Put("shared.ckf", 0664, kSaversGroup);
  const std::string open = Put("open.ckf", 06666, kOthersGroup);
  const auto run = AsAnotherUser(
      [&] {
        std::cerr << WriteFileSafely(shared, Pattern(100)) << WriteFileSafely(open, Pattern(200));
        return 0;
      },
      {kSaversGroup});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadBytes(shared), Pattern(100));
  const TOwner kept = OwnerOf(shared);
  EXPECT_EQ(kept.user, test::kNobody);
  EXPECT_EQ(kept.group, kSaversGroup);
  EXPECT_EQ(kept.mode, mode_t{0664});
  // Neither owner nor group could be kept: the file is the saver's, without the set-ID bits.
  EXPECT_EQ(ReadBytes(open), Pattern(200));
  const TOwner taken = OwnerOf(open);
  EXPECT_EQ(taken.user, test::kNobody);
  EXPECT_EQ(taken.group, gid_t{test::kNobody});
  EXPECT_EQ(taken.mode, mode_t{0666});

  // Root fixing a user's rhythm gives it back to the user and the user's group.
  ASSERT_EQ(::chown(shared.c_str(), test::kNobody, kOthersGroup), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 0640), 0);
  EXPECT_EQ(WriteFileSafely(shared, Pattern(300)), "");
  const TOwner back = OwnerOf(shared);
  EXPECT_EQ(back.user, test::kNobody);
  EXPECT_EQ(back.group, kOthersGroup);
  EXPECT_EQ(back.mode, mode_t{0640});
  EXPECT_EQ(Names(dir_.Path()), (std::vector<std::string>{"open.ckf", "shared.ckf"}));
}

// The new content is never readable by more users than the old: the temporary file has the
// target's permissions before its first byte.
TEST(TSafeFileWriter, TheTemporaryFileIsAsPrivateAsTheTarget) {
  test::TTempDir dir;
  const std::string path = dir.File("private.wav");
  WriteBytes(path, kOld);
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  const mode_t mask = ::umask(022);
  TSafeFileWriter writer(path);
  ::umask(mask);
  ASSERT_EQ(writer.Error(), "");
  ASSERT_TRUE(writer.Write(Pattern(100)));
  const std::vector<std::string> names = Names(dir.Path());
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(ModeOf(dir.File(names[0])), mode_t{0600}) << names[0];
}

// Names up to the 255 bytes a file system allows: the temporary name beside the target fits
// whatever the target's length, and is cut between characters, not inside one.
TEST(WriteFileSafely, NamesOfAnyLegalLengthAreWritten) {
  test::TTempDir dir;
  for (const std::size_t length : {240u, 255u}) {
    const std::string path = dir.File(std::string(length - 4, 'a') + ".ckf");
    EXPECT_EQ(WriteFileSafely(path, Pattern(100)), "") << length;
    EXPECT_EQ(WriteFileSafely(path, Pattern(200)), "") << length;
    EXPECT_EQ(ReadBytes(path), Pattern(200)) << length;
    TSafeFileWriter writer(path);
    EXPECT_EQ(writer.Error(), "") << length;
    EXPECT_TRUE(writer.Write(Pattern(300)) && writer.Commit()) << length;
    EXPECT_EQ(ReadBytes(path), Pattern(300)) << length;
    fs::remove(path);
  }
  std::string accents = "x";  // then two-byte characters from the second byte on
  for (int i = 0; i < 120; ++i) accents += "\xc3\xa9";
  const std::string path = dir.File(accents + ".ckf");
  TSafeFileWriter writer(path);
  ASSERT_EQ(writer.Error(), "");
  const std::vector<std::string> names = Names(dir.Path());
  ASSERT_EQ(names.size(), 1u);
  const std::string& hidden = names[0];
  const std::size_t start = hidden.find('~');
  ASSERT_NE(start, std::string::npos) << hidden;
  EXPECT_EQ(hidden[0], '.');
  EXPECT_GT(start, 2u) << hidden;
  EXPECT_EQ((start - 2) % 2, 0u) << "a character cut in two: " << hidden;
  EXPECT_EQ(accents.compare(0, start - 1, hidden, 1, start - 1), 0) << hidden;
  EXPECT_TRUE(writer.Write(Pattern(10)) && writer.Commit());
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{accents + ".ckf"});
}

// A save gives the name a file of its own: the other names of a file with several hard links
// keep the old content, as they would after any editor's rename into place.
TEST(WriteFileSafely, ASavedNameLeavesItsHardLinks) {
  test::TTempDir dir;
  const std::string path = dir.File("saved.ckf");
  WriteBytes(path, kOld);
  const std::string link = dir.File("link.ckf");
  fs::create_hard_link(path, link);
  EXPECT_EQ(WriteFileSafely(path, Pattern(100)), "");
  EXPECT_EQ(ReadBytes(path), Pattern(100));
  EXPECT_EQ(ReadBytes(link), kOld);
  EXPECT_EQ(OwnerOf(path).links, nlink_t{1});
  EXPECT_EQ(OwnerOf(link).links, nlink_t{1});
}

#endif

// Names are the program's bytes: any bytes on POSIX systems; UTF-8 on Windows, whose names are
// UTF-16 (a name outside the ANSI code pages shows that the wide calls are used).
TEST(WholeFiles, NamesAreWrittenAndReadAsTheirBytes) {
  test::TTempDir dir;
  std::vector<std::string> names{"plain \xc3\xa9.ckf", "\xe6\x97\xa5\xe6\x9c\xac.z00"};
#ifndef _WIN32
  // Names that are no UTF-8.
  names.insert(names.end(), {"caf\xe9.ckf", "\xff\xfe.z00"});
#endif
  for (const std::string& name : names) {
    const std::string path = dir.Path().string() + "/" + name;
    EXPECT_EQ(WriteFileSafely(path, Pattern(700)), "") << path;
    const platform::TReadResult read = ReadWholeFile(path, 1000);
    EXPECT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.bytes, Pattern(700));
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(Names(dir.Path()), names);
}

#ifdef _WIN32
TEST(WholeFiles, OnWindowsANameThatIsNoUtf8IsRefused) {
  test::TTempDir dir;
  const std::string path = dir.Path().string() + "/caf\xe9.ckf";
  EXPECT_NE(WriteFileSafely(path, Pattern(10)), "");
  platform::TSafeFileWriter writer(path);
  EXPECT_NE(writer.Error(), "");
  EXPECT_FALSE(ReadWholeFile(path, 1000).ok);
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{});
}
#endif

#ifndef _WIN32  // POSIX: named pipes

TEST(ReadWholeFile, APipeWithoutWriterIsRefusedWithoutWaiting) {
  test::TTempDir dir;
  const std::string pipe = dir.File("pipe.ckf");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  const platform::TReadResult read = ReadWholeFile(pipe, 1000);
  EXPECT_FALSE(read.ok);
  EXPECT_EQ(read.error, platform::kNotRegularFileReason);
}

#endif

TEST(ReadWholeFile, AFileLargerThanTheLimitIsRefused) {
  test::TTempDir dir;
  const std::string path = dir.File("big.ckf");
  WriteBytes(path, Pattern(1001));
  const platform::TReadResult read = ReadWholeFile(path, 1000);
  EXPECT_FALSE(read.ok);
  EXPECT_TRUE(read.tooLarge);
  EXPECT_TRUE(ReadWholeFile(path, 1001).ok);
}

TEST(WriteFilesSafely, AFailureWritesNoneOfTheFiles) {
  test::TTempDir dir;
  WriteBytes(dir.File("b.mid"), kOld);
  fs::create_directory(dir.Path() / "c.mid");
  const platform::TWriteResult result =
      platform::WriteFilesSafely({{dir.File("a.mid"), Pattern(10)},
                                  {dir.File("b.mid"), Pattern(20)},
                                  {dir.File("c.mid"), Pattern(30)},
                                  {dir.File("d.mid"), Pattern(40)}});
  EXPECT_EQ(result.failedPath, dir.File("c.mid"));
  EXPECT_EQ(result.error, platform::kNotRegularFileReason);
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"b.mid", "c.mid"}));
  EXPECT_EQ(ReadBytes(dir.File("b.mid")), kOld);

  fs::remove(dir.Path() / "c.mid");
  const platform::TWriteResult done = platform::WriteFilesSafely(
      {{dir.File("a.mid"), Pattern(10)}, {dir.File("b.mid"), Pattern(20)}});
  EXPECT_TRUE(done.error.empty()) << done.error;
  EXPECT_EQ(ReadBytes(dir.File("b.mid")), Pattern(20));
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"a.mid", "b.mid"}));
}

// --- A file written piece by piece ---

TEST(TSafeFileWriter, PiecesReplaceTheTargetOnlyOnceCommitted) {
  test::TTempDir dir;
  const std::string path = dir.File("out.wav");
  WriteBytes(path, kOld);
#ifndef _WIN32
  ::chmod(path.c_str(), 0640);
#endif
  {
    TSafeFileWriter writer(path);
    ASSERT_EQ(writer.Error(), "");
    const std::vector<std::uint8_t> bytes = Pattern(100'000);
    for (std::size_t at = 0; at < bytes.size(); at += 4096) {
      ASSERT_TRUE(writer.Write(
          std::span(bytes).subspan(at, std::min<std::size_t>(4096, bytes.size() - at))));
      EXPECT_EQ(ReadBytes(path), kOld) << "replaced before the commit";
    }
    EXPECT_TRUE(writer.Commit());
  }
  EXPECT_EQ(ReadBytes(path), Pattern(100'000));
#ifndef _WIN32
  EXPECT_EQ(ModeOf(path), 0640u);
#endif
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.wav"});
}

TEST(TSafeFileWriter, AWriterLeftWithoutACommitLeavesNothingBehind) {
  test::TTempDir dir;
  const std::string path = dir.File("out.wav");
  WriteBytes(path, kOld);
  {
    TSafeFileWriter writer(path);
    ASSERT_TRUE(writer.Write(Pattern(5000)));
  }
  EXPECT_EQ(ReadBytes(path), kOld);
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.wav"});
  {
    TSafeFileWriter fresh(dir.File("new.wav"));
    ASSERT_TRUE(fresh.Write(Pattern(10)));
  }
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.wav"});
}

TEST(TSafeFileWriter, ATargetThatIsNoRegularFileIsRefusedBeforeAnyWrite) {
  test::TTempDir dir;
  fs::create_directory(dir.Path() / "folder");
  TSafeFileWriter writer(dir.File("folder"));
  EXPECT_EQ(writer.Error(), platform::kNotRegularFileReason);
  EXPECT_FALSE(writer.Write(Pattern(10)));
  EXPECT_FALSE(writer.Commit());
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"folder"});
}

#ifndef _WIN32  // POSIX: child processes under a file size limit

TEST(TSafeFileWriter, AWritePastTheFileSizeLimitFailsAndKeepsTheOldFile) {
  test::TTempDir dir;
  const std::string path = dir.File("old.wav");
  WriteBytes(path, kOld);
  const auto run = test::RunInChild(
      [&] {
        TSafeFileWriter writer(path);
        for (int piece = 0; piece < 10 && writer.Write(Pattern(1000)); ++piece) {
        }
        const bool committed = writer.Commit();
        std::cerr << writer.Error();
        return committed ? 1 : 0;
      },
      {4096, false, std::nullopt});
  EXPECT_EQ(run.signal, 0) << "the write ended the process";
  EXPECT_EQ(run.exitCode, 0) << "a file cut off at 4096 bytes was committed";
  EXPECT_EQ(run.err, std::strerror(EFBIG));
  EXPECT_EQ(ReadBytes(path), kOld);
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"old.wav"});
}

#endif

}  // namespace
}  // namespace brondel
