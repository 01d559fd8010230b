#include "platform/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <span>
#include <string_view>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

namespace brondel::platform {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr int kNameAttempts = 100;

std::string Reason(int error) {
  return std::strerror(error);
}

// A path of the program's (its bytes) as the file system takes it. POSIX names are bytes, taken
// as they are. Windows names are UTF-16 and the program's text is UTF-8: converted here, so that
// every name is reached through the wide calls, not the ANSI code page's. A name that is no UTF-8
// cannot exist there; its conversion throws fs::filesystem_error.
fs::path NativePath(const std::string& path) {
#ifdef _WIN32
  return fs::path(std::u8string(path.begin(), path.end()));
#else
  return fs::path(path);
#endif
}

// The reverse of NativePath.
std::string ProgramPath(const fs::path& path) {
#ifdef _WIN32
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
#else
  return path.string();
#endif
}

void RemoveFile(const std::string& path) {
  std::error_code ignored;
  fs::remove(NativePath(path), ignored);
}

// The temporary file's name: hidden, beside the target (on its file system, so that the rename
// that replaces the target cannot fail for crossing file systems), recognisably the target's,
// and short whatever the target's length: ".", the start of the target's name, "~" and random
// letters, at most 48 bytes, where a name may have 255. The name is cut before a character,
// never inside one of UTF-8's several bytes.
constexpr std::size_t kTemporaryNameStart = 40;
constexpr std::size_t kTemporaryNameLetters = 6;

std::string TemporaryNameBeside(const std::string& target) {
  static constexpr std::string_view kLetters =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  const fs::path path = NativePath(target);
  const std::string name = ProgramPath(path.filename());
  std::size_t kept = std::min(name.size(), kTemporaryNameStart);
  while (kept > 0 && kept < name.size() &&
         (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) {
    --kept;
  }
  std::string hidden = ".";
  hidden.append(name, 0, kept);
  hidden += '~';
  std::uniform_int_distribution<std::size_t> letter(0, kLetters.size() - 1);
  for (std::size_t i = 0; i < kTemporaryNameLetters; ++i) hidden += kLetters[letter(random)];
  return ProgramPath(path.parent_path() / NativePath(hidden));
}

/// A temporary file beside its target, written completely and closed, waiting to replace it.
struct TPreparedFile {
  std::string temporary;
  std::string target;  // the file to replace: the path given, or the file a link points to
};

void Discard(std::span<const TPreparedFile> files) {
  for (const TPreparedFile& file : files) RemoveFile(file.temporary);
}

#ifndef _WIN32

// Past the file size limit the system sends SIGXFSZ, which ends the process; ignored, the write
// fails with EFBIG instead and is reported like a full disk.
void IgnoreFileSizeSignal() {
  static const bool ignored = [] { return std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR; }();
  static_cast<void>(ignored);
}

// Creates a file beside `base` that did not exist, in `mode` narrowed by the umask (0666 for a
// file new to the user, 0600 for one that takes over a target's permissions). Returns the
// descriptor, or -1 with `error` set.
int CreateNewFile(const std::string& base, mode_t mode, std::string& created, std::string& error) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string name = TemporaryNameBeside(base);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      created = name;
      return fd;
    }
    if (errno != EEXIST) break;
  }
  error = Reason(errno);
  return -1;
}

// The regular file a write to `path` replaces (the file itself, or the file a link points to),
// with its status when it exists; an error for anything else.
struct TTarget {
  std::string path;
  bool exists = false;
  struct stat info {};
  std::string error;
};

TTarget ResolveTarget(const std::string& path) {
  TTarget target;
  target.path = path;
  if (::lstat(path.c_str(), &target.info) != 0) {
    if (errno != ENOENT) target.error = Reason(errno);
    return target;
  }
  if (S_ISLNK(target.info.st_mode)) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    if (real == nullptr) {
      target.error =
          errno == ENOENT ? "It is a symbolic link to a file that does not exist" : Reason(errno);
      return target;
    }
    target.path = real.get();
    if (::stat(target.path.c_str(), &target.info) != 0) {
      target.error = Reason(errno);
      return target;
    }
  }
  if (!S_ISREG(target.info.st_mode)) {
    target.error = kNotRegularFileReason;
    return target;
  }
  target.exists = true;
  return target;
}

std::string WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return Reason(errno);
    if (written == 0) return Reason(EIO);
    done += static_cast<std::size_t>(written);
  }
  return {};
}

// A rename needs only the folder's permission: a save must still refuse a target that the user
// (the process's effective ids) may not write, as a plain write to it would be refused.
std::string CheckWritable(const std::string& target) {
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return Reason(errno);
  return {};
}

// The new file takes over the old one's owner, group and permissions, before its first byte, so
// that the new content is never open to more users than the old. Only root may give a file to
// another user: any other saver keeps it as their own, with the old group when they belong to it
// (the group's members may then still write it), else with their own. A set-ID bit stays only
// with the owner or group it was set for.
std::string TakeOverAttributes(int fd, const struct stat& old) {
  struct stat now {};
  if (::fstat(fd, &now) != 0) return Reason(errno);
  if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
    // Refused to anyone but root, the pair; the group alone is allowed to its members.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
      static_cast<void>(::fchown(fd, static_cast<uid_t>(-1), old.st_gid));
    }
    if (::fstat(fd, &now) != 0) return Reason(errno);
  }
  mode_t mode = old.st_mode & 07777;
  if (now.st_uid != old.st_uid) mode &= static_cast<mode_t>(~S_ISUID);
  if (now.st_gid != old.st_gid) mode &= static_cast<mode_t>(~S_ISGID);
  if (::fchmod(fd, mode) != 0) return Reason(errno);
  return {};
}

// The rename is on the disk only once the folder is; a failure here loses nothing.
void SyncFolderOf(const std::string& file) {
  fs::path folder = fs::path(file).parent_path();
  if (folder.empty()) folder = ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// A temporary file beside its target, being written: started, written piece by piece, then
// flushed to the disk and closed, checked at every step; on failure it is removed again.
class TPendingFile {
 public:
  ~TPendingFile() {
    if (fd_ >= 0) ::close(fd_);
  }

  std::string Start(const std::string& path) {
    IgnoreFileSizeSignal();
    const TTarget target = ResolveTarget(path);
    if (!target.error.empty()) return target.error;
    std::string error;
    if (target.exists) error = CheckWritable(target.path);
    if (!error.empty()) return error;
    fd_ = CreateNewFile(target.path, target.exists ? 0600 : 0666, prepared_.temporary, error);
    if (fd_ < 0) return error;
    prepared_.target = target.path;
    return target.exists ? TakeOverAttributes(fd_, target.info) : std::string();
  }

  std::string Write(std::span<const std::uint8_t> bytes) { return WriteAll(fd_, bytes); }

  std::string Finish() {
    std::string error;
    if (::fsync(fd_) != 0) error = Reason(errno);
    // Some file systems report a failed write only when the file is closed.
    if (::close(fd_) != 0 && error.empty()) error = Reason(errno);
    fd_ = -1;
    return error;
  }

  void Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!prepared_.temporary.empty()) RemoveFile(prepared_.temporary);
  }

  const TPreparedFile& Prepared() const { return prepared_; }

 private:
  int fd_ = -1;
  TPreparedFile prepared_;
};

std::string Replace(const TPreparedFile& file) {
  if (std::rename(file.temporary.c_str(), file.target.c_str()) != 0) return Reason(errno);
  SyncFolderOf(file.target);
  return {};
}

#else  // Windows: the same steps through the standard library, every name through NativePath.

// The mode is POSIX's; a new file here has the folder's permissions.
int CreateNewFile(const std::string& base, int /*mode*/, std::string& created, std::string& error) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string name = TemporaryNameBeside(base);
    std::error_code ignored;
    if (fs::exists(NativePath(name), ignored)) continue;
    std::ofstream file(NativePath(name), std::ios::binary);
    if (!file) break;
    created = name;
    return 0;
  }
  error = Reason(errno);
  return -1;
}

class TPendingFile {
 public:
  std::string Start(const std::string& path) try {
    std::error_code status;
    const fs::file_status kind = fs::status(NativePath(path), status);
    if (fs::exists(kind) && !fs::is_regular_file(kind)) return kNotRegularFileReason;
    // A read-only file (its attribute, which the permissions show as no write bit) is refused
    // as a plain write to it would be.
    if (fs::exists(kind) && (kind.permissions() & fs::perms::owner_write) == fs::perms::none) {
      return Reason(EACCES);
    }
    std::string target = path;
    if (fs::exists(kind)) {
      target = ProgramPath(fs::canonical(NativePath(path), status));
      if (status) return status.message();
    }
    std::string error;
    if (CreateNewFile(target, 0666, prepared_.temporary, error) < 0) return error;
    prepared_.target = target;
    file_.open(NativePath(prepared_.temporary), std::ios::binary | std::ios::trunc);
    return file_ ? std::string() : Reason(errno);
  } catch (const fs::filesystem_error& failure) {
    return failure.code().message();  // a name that is no UTF-8
  }

  std::string Write(std::span<const std::uint8_t> bytes) {
    file_.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
    return file_ ? std::string() : Reason(errno);
  }

  std::string Finish() {
    file_.flush();
    file_.close();
    return file_ ? std::string() : Reason(errno);
  }

  void Discard() {
    if (file_.is_open()) file_.close();
    if (!prepared_.temporary.empty()) RemoveFile(prepared_.temporary);
  }

  const TPreparedFile& Prepared() const { return prepared_; }

 private:
  std::ofstream file_;
  TPreparedFile prepared_;
};

std::string Replace(const TPreparedFile& file) {
  std::error_code error;
  fs::rename(NativePath(file.temporary), NativePath(file.target), error);
  return error ? error.message() : std::string();
}

#endif

// Writes, flushes to the disk and closes a temporary file beside the target; on failure it is
// removed again.
std::string Prepare(const std::string& path, std::span<const std::uint8_t> bytes,
                    TPreparedFile& prepared) {
  TPendingFile pending;
  std::string error = pending.Start(path);
  if (error.empty()) error = pending.Write(bytes);
  if (error.empty()) error = pending.Finish();
  if (!error.empty()) {
    pending.Discard();
    return error;
  }
  prepared = pending.Prepared();
  return {};
}

}  // namespace

struct TSafeFileWriter::TState {
  TPendingFile pending;
  bool finished = false;
};

TSafeFileWriter::TSafeFileWriter(const std::string& path) : state_(std::make_unique<TState>()) {
  error_ = state_->pending.Start(path);
  if (!error_.empty()) state_->pending.Discard();
}

TSafeFileWriter::~TSafeFileWriter() {
  if (!state_->finished) state_->pending.Discard();
}

bool TSafeFileWriter::Write(std::span<const std::uint8_t> bytes) {
  if (!error_.empty() || state_->finished) return false;
  error_ = state_->pending.Write(bytes);
  return error_.empty();
}

bool TSafeFileWriter::Commit() {
  if (!error_.empty() || state_->finished) return false;
  error_ = state_->pending.Finish();
  if (error_.empty()) error_ = Replace(state_->pending.Prepared());
  if (!error_.empty()) {
    state_->pending.Discard();
    return false;
  }
  state_->finished = true;
  return true;
}

TReadResult ReadWholeFile(const std::string& path, std::size_t limit) {
  TReadResult result;
#ifndef _WIN32
  // Opening without waiting: a named pipe must not block the open. The descriptor's status tells
  // what the path really is, with no gap between a look at the name and the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    result.error = Reason(errno);
    return result;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    result.error = Reason(errno);
  } else if (!S_ISREG(info.st_mode)) {
    result.error = kNotRegularFileReason;
  }
  if (!result.error.empty()) {
    ::close(fd);
    return result;
  }
  // Reading one byte past the limit tells a file that is too large without trusting its size.
  std::vector<std::uint8_t> chunk(kReadChunk);
  while (result.bytes.size() <= limit) {
    const ssize_t got = ::read(fd, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) result.error = Reason(errno);
    if (got <= 0) break;
    result.bytes.insert(result.bytes.end(), chunk.begin(), chunk.begin() + got);
  }
  ::close(fd);
#else
  fs::path name;
  try {
    name = NativePath(path);
  } catch (const fs::filesystem_error& failure) {
    result.error = failure.code().message();  // a name that is no UTF-8
    return result;
  }
  std::error_code status;
  if (fs::exists(name, status) && !fs::is_regular_file(name, status)) {
    result.error = kNotRegularFileReason;
    return result;
  }
  std::ifstream file(name, std::ios::binary);
  if (!file) {
    result.error = Reason(errno);
    return result;
  }
  std::vector<char> chunk(kReadChunk);
  while (result.bytes.size() <= limit && file.read(chunk.data(), chunk.size()).gcount() > 0) {
    result.bytes.insert(result.bytes.end(), chunk.begin(), chunk.begin() + file.gcount());
  }
  if (file.bad()) result.error = Reason(errno);
#endif
  if (!result.error.empty()) {
    result.bytes.clear();
    return result;
  }
  if (result.bytes.size() > limit) {
    result.bytes.clear();
    result.tooLarge = true;
    result.error = "The file is larger than " + std::to_string(limit) + " bytes";
    return result;
  }
  result.ok = true;
  return result;
}

std::string WriteFileSafely(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  TPreparedFile prepared;
  std::string error = Prepare(path, bytes, prepared);
  if (!error.empty()) return error;
  error = Replace(prepared);
  if (!error.empty()) Discard({&prepared, 1});
  return error;
}

TWriteResult WriteFilesSafely(const std::vector<TFileToWrite>& files) {
  std::vector<TPreparedFile> prepared;
  for (const TFileToWrite& file : files) {
    TPreparedFile next;
    const std::string error = Prepare(file.path, file.bytes, next);
    if (!error.empty()) {
      Discard(prepared);
      return {file.path, error};
    }
    prepared.push_back(next);
  }
  for (std::size_t i = 0; i < prepared.size(); ++i) {
    const std::string error = Replace(prepared[i]);
    if (!error.empty()) {
      Discard(std::span(prepared).subspan(i));
      return {files[i].path, error};
    }
  }
  return {};
}

void UseBinaryStandardOutput() {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
}

bool StandardErrorIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return ::isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace brondel::platform
