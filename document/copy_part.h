// "Copy": one part of the import file replaces one part of the main file, with or without its
// sound settings, when both rhythms share their time signature and the sections their length.
#pragma once

#include <optional>
#include <string>

#include "document/rhythm_slot.h"
#include "document/settings_grid.h"

namespace brondel {

inline constexpr const char* kBarsDifferMessage = "Sorry. Both rhythms bars must be the same";
inline constexpr const char* kMesuresDifferMessage =
    "Sorry. Both sections mesures must be the same length";
inline constexpr const char* kSelectSourceMessage = "Select a part of the import file to copy";
inline constexpr const char* kSelectTargetMessage = "Select the part of the main file to replace";

/// The lists' selected indices at the moment of the copy; -1 = no selection.
struct TCopyRequest {
  int sourceSection = -1;  // import file's section list
  int sourcePart = -1;     // import file's part list
  int targetSection = -1;  // main file's section list
  int targetPart = -1;     // main file's part list
  bool includeTone = false;
};

/// Copies the part when both slots are loaded (the caller checks that). Returns the refusal to
/// show, or nullopt once copied; throws EConvertError from reading the target's grid row back.
std::optional<std::string> CopyPart(TRhythmDocuments& docs, const TCopyRequest& request,
                                    ISettingsGrid& grid);

}  // namespace brondel
