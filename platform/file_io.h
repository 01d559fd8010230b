// Reading and writing whole files. Paths are the bytes the system gets, whatever their encoding.
// A write goes to a temporary file beside the target, is flushed to the disk and checked at
// every step, and only then replaces the target, so a failure never destroys what was on disk.
// Failures come back as the system's reason, a text; nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace brondel::platform {

struct TReadResult {
  bool ok = false;
  bool tooLarge = false;  // the file holds more than the limit; nothing was kept
  std::vector<std::uint8_t> bytes;
  std::string error;  // the system's reason when !ok
};

/// The reason given for a path that names a folder, a device, a named pipe or a socket: such a
/// file is neither read (it may never end) nor replaced.
inline constexpr const char* kNotRegularFileReason = "It is not a regular file";

/// Reads a whole regular file of at most `limit` bytes; a larger file sets tooLarge.
TReadResult ReadWholeFile(const std::string& path, std::size_t limit);

/// Writes `bytes` as the file at `path`, replacing it only once every byte is on the disk.
/// Refuses an existing target that is no regular file, or that the user may not write (the
/// system's "Permission denied", as a plain write would give). A symbolic link to a regular file
/// stays a link: the file it points to is replaced. The new file keeps the old one's permissions,
/// and its owner and group where the system allows it: root keeps both; another user keeps the
/// group when a member of it and becomes the owner. The name gets a file of its own: other hard
/// links to the old file keep the old content. Returns an empty string on success, else the
/// system's reason; the target is then as it was and no temporary file is left. A write past
/// the process's file size limit fails like any other (the limit's signal is ignored from the
/// first write on, for the whole process).
std::string WriteFileSafely(const std::string& path, const std::vector<std::uint8_t>& bytes);

/// One file of a WriteFilesSafely call.
struct TFileToWrite {
  std::string path;
  std::vector<std::uint8_t> bytes;
};

/// The outcome of WriteFilesSafely: an empty error when every file was written.
struct TWriteResult {
  std::string failedPath;  // the file the error is about
  std::string error;       // the system's reason
};

/// Writes several files all or none: every file is written to its temporary file first, and
/// the targets are replaced only once all of them are complete. Should replacing fail part way
/// (a rename refused after every file was written), the files replaced so far stay replaced.
TWriteResult WriteFilesSafely(const std::vector<TFileToWrite>& files);

/// One file written piece by piece, as WriteFileSafely writes it whole: into a temporary file
/// beside the target, which replaces the target only when Commit has flushed it to the disk. A
/// writer that fails, or is destroyed without a Commit, removes its temporary file and leaves the
/// target as it was. For outputs too large to hold in memory.
class TSafeFileWriter {
 public:
  /// Starts the temporary file for `path`; Error() tells why when it cannot (a target that is no
  /// regular file or that the user may not write, a folder that cannot be written).
  explicit TSafeFileWriter(const std::string& path);
  ~TSafeFileWriter();
  TSafeFileWriter(const TSafeFileWriter&) = delete;
  TSafeFileWriter& operator=(const TSafeFileWriter&) = delete;

  /// Appends `bytes`; false once anything has failed.
  bool Write(std::span<const std::uint8_t> bytes);
  /// Flushes, closes and puts the file in place of the target; false when any step failed.
  bool Commit();
  /// The system's reason for the first failure; empty while all went well.
  const std::string& Error() const { return error_; }

 private:
  struct TState;
  std::unique_ptr<TState> state_;
  std::string error_;
};

/// Makes the standard output take bytes as they are (Windows would turn "\n" into "\r\n").
void UseBinaryStandardOutput();

/// True when the standard error stream is a terminal (a person watching), not a file or a pipe.
bool StandardErrorIsTerminal();

}  // namespace brondel::platform
