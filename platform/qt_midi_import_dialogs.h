// The MIDI import's dialogs in the real window: Qt's file dialog and a small dialog listing the
// tracks and channels of a file.
#pragma once

#include "platform/midi_import_dialogs.h"

class QWidget;

namespace brondel::platform {

class TQtMidiImportDialogs : public IMidiImportDialogs {
 public:
  explicit TQtMidiImportDialogs(QWidget* parent) : parent_(parent) {}
  std::optional<std::string> AskMidiFileName() override;
  std::vector<std::string> AskMidiFileNames() override;
  std::optional<TMidiSourceChoice> ChooseMidiSource(const std::string& target,
                                                    const std::vector<std::string>& sources,
                                                    int proposed) override;

 private:
  QWidget* parent_;
};

}  // namespace brondel::platform
