#include "document/copy_part.h"

#include "document/apply_settings.h"

namespace brondel {

namespace {

bool ValidPart(int section, int part) {
  return section >= 0 && section < kSectionCount && part >= 0 && part < kPartCount;
}

}  // namespace

std::optional<std::string> CopyPart(TRhythmDocuments& docs, const TCopyRequest& request,
                                    ISettingsGrid& grid) {
  TRhythmSlot& main = docs.slots[kMainSlot];
  TRhythmSlot& import = docs.slots[kImportSlot];
  if (main.header.TimeSignature() != import.header.TimeSignature()) return kBarsDifferMessage;
  // After Play all a part list has no selection: there is no part to copy from or into.
  if (!ValidPart(request.sourceSection, request.sourcePart)) return kSelectSourceMessage;
  if (!ValidPart(request.targetSection, request.targetPart)) return kSelectTargetMessage;
  if (import.header.BarCount(request.sourceSection) !=
      main.header.BarCount(request.targetSection)) {
    return kMesuresDifferMessage;
  }

  ReplacePartStream(main, request.targetSection, request.targetPart,
                    import.streams[static_cast<std::size_t>(request.sourceSection)]
                                  [static_cast<std::size_t>(request.sourcePart)]);
  if (request.includeTone) {
    main.header.SetSettings(request.targetSection, request.targetPart,
                            import.header.Settings(request.sourceSection, request.sourcePart));
    ShowPartSettings(grid, main.header, request.targetSection);
  }
  // The target row is read back whatever it shows: the copied settings, or values typed there.
  ApplyGridRow(main.header, grid, request.targetSection, request.targetPart);
  return std::nullopt;
}

}  // namespace brondel
