// Files for tests: paths in the source tree, a temporary folder that removes itself, reading and
// writing whole files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace brondel::test {

/// A path inside the source tree, wherever the test runs from. The build gives the tree's
/// absolute path: __FILE__ may be relative (compiler caches rewrite it).
inline std::filesystem::path SourcePath(const std::string& relative) {
  return std::filesystem::path(BRONDEL_SOURCE_DIR) / relative;
}

/// A fresh folder below the system's temporary folder, removed with everything in it.
class TTempDir {
 public:
  TTempDir() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("brondel-test-" + std::to_string(seed()) + "-" + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

}  // namespace brondel::test
