// "Save as": the main file laid out as a .ckf file, ready for the window to write.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/rhythm_slot.h"

namespace brondel {

/// The bytes to write, or the reason not to write anything.
struct TSaveImage {
  std::vector<std::uint8_t> bytes;
  std::optional<std::string> refusal;  // show it and write nothing
};

/// The refusal of a target named like a .z00 file: the saved .ckf layout would open in the .z00
/// layout and be refused as damaged.
inline constexpr const char* kZ00TargetRefusal =
    "Brondel saves .ckf files only: under a name ending in \".z00\" the saved rhythm would not "
    "open again. Choose a name ending in \".ckf\".";

/// The name "Save as" proposes for the main file opened from `openedPath`: that path, with
/// ".ckf" in place of an exact ".z00" extension, as the file written is always a .ckf file.
std::string ProposedSaveName(const std::string& openedPath);

/// kZ00TargetRefusal for a target whose extension is exactly ".z00", else none.
std::optional<std::string> SaveTargetRefusal(const std::string& target);

/// Rebuilds the writer's fields of the main file's header and of the shared prefix, and returns
/// the whole file. A document too large for the 16-bit lengths is refused with nothing changed.
TSaveImage BuildSaveImage(TRhythmDocuments& docs);

}  // namespace brondel
