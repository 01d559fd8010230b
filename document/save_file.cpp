#include "document/save_file.h"

#include "document/rhythm_writer.h"

namespace brondel {

std::string ProposedSaveName(const std::string& openedPath) {
  if (!IsZ00FileName(openedPath)) return openedPath;
  return openedPath.substr(0, openedPath.size() - FileExtension(openedPath).size()) + ".ckf";
}

std::optional<std::string> SaveTargetRefusal(const std::string& target) {
  if (!IsZ00FileName(target)) return std::nullopt;
  return kZ00TargetRefusal;
}

TSaveImage BuildSaveImage(TRhythmDocuments& docs) {
  TRhythmSlot& main = docs.slots[kMainSlot];
  if (TooLargeToSave(main.streams)) {
    const std::size_t total = TotalLength(main.streams);
    return TSaveImage{{},
                      "The rhythm is too large to save: its header and part data take " +
                          std::to_string(total) + " bytes, more than the " +
                          std::to_string(kMaxTotalLength) + " a rhythm file can hold."};
  }
  return TSaveImage{BuildCkfFile(main.header, main.streams, docs.filePrefix), std::nullopt};
}

}  // namespace brondel
