#include "examples/generator/example_rhythms.h"

#include "examples/generator/compositions.h"
#include "platform/file_io.h"
#include "render/send_order.h"

namespace brondel::examples {

namespace {

// The compositions list a key's note-off before its next note-on of the same tick. The render's
// sort may send equal times in another order, and a note-on sent before the note-off it follows
// would be ended as it starts; every part is arranged so that the render sends its notes in the
// order the composition lists them.
TRhythmBuilder SentAsComposed(TRhythmBuilder rhythm) {
  TRhythmSlot slot = rhythm.Slot();
  for (int s = 0; s < kSectionCount; ++s) {
    ArrangeSectionForSendOrder(slot, s);
    for (int p = 0; p < kPartCount; ++p) {
      rhythm.Part(s, p, slot.streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(p)]);
    }
  }
  return rhythm;
}

}  // namespace

std::vector<TExampleRhythm> ExampleRhythms() {
  return {{"pop_beat.ckf", SentAsComposed(PopBeat()).CkfFile()},
          {"waltz.z00", SentAsComposed(Waltz()).Z00File()},
          {"ballad.ckf", SentAsComposed(Ballad()).CkfFile()}};
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
