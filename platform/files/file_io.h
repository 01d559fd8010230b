// Reading and writing whole files. A write goes to a temporary file beside the target and
// replaces the target only once everything is written, so a failure never destroys what was
// on disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brondel::platform {

struct TReadResult {
  bool ok = false;
  bool tooLarge = false;  // the file holds more than the limit; nothing was kept
  std::vector<std::uint8_t> bytes;
  std::string error;  // the system's reason when !ok
};

/// Reads a whole regular file of at most `limit` bytes; a larger file sets tooLarge.
TReadResult ReadWholeFile(const std::string& path, std::size_t limit);

/// Writes `bytes` as the file at `path`, replacing it atomically. Returns an empty string on
/// success, else the system's reason.
std::string WriteFileSafely(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace brondel::platform
