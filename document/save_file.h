// "Save as": the main file laid out as a .ckf file, ready for the window to write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/rhythm_slot.h"

namespace brondel {

/// The bytes to write, or the reason not to write anything.
struct TSaveImage {
  std::vector<std::uint8_t> bytes;
  std::string refusal;  // non-empty: show it and write nothing
};

/// Rebuilds the writer's fields of the main file's header and of the shared prefix, and returns
/// the whole file. A document too large for the 16-bit lengths is refused with nothing changed.
TSaveImage BuildSaveImage(TRhythmDocuments& docs);

}  // namespace brondel
