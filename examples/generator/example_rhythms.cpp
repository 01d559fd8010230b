#include "examples/generator/example_rhythms.h"

#include "examples/generator/compositions.h"
#include "platform/files/file_io.h"

namespace brondel::examples {

std::vector<TExampleRhythm> ExampleRhythms() {
  return {{"pop_beat.ckf", PopBeat().CkfFile()},
          {"waltz.z00", Waltz().Z00File()},
          {"ballad.ckf", Ballad().CkfFile()}};
}

std::string WriteExampleRhythms(const std::string& folder) {
  for (const TExampleRhythm& example : ExampleRhythms()) {
    const std::string path = folder + "/" + example.fileName;
    const std::string reason = platform::WriteFileSafely(path, example.bytes);
    if (!reason.empty()) return path + ": " + reason;
  }
  return {};
}

}  // namespace brondel::examples
