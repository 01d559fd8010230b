// Our example rhythms: a 4/4 pop beat, a 3/4 waltz and a 12/8 ballad, composed in code with the
// rhythm builder. The files in examples/ are what WriteExampleRhythms writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brondel::examples {

/// One example: its file name (the extension selects the layout) and the file's bytes.
struct TExampleRhythm {
  std::string fileName;
  std::vector<std::uint8_t> bytes;
};

/// Every example, always byte for byte the same.
std::vector<TExampleRhythm> ExampleRhythms();

/// Writes every example into `folder`; returns the first failure as "<path>: <reason>", or an
/// empty text.
std::string WriteExampleRhythms(const std::string& folder);

}  // namespace brondel::examples
