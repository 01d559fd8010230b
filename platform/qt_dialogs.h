// The dialogs of the real window, with Qt's message boxes and file dialogs.
#pragma once

#include "platform/dialogs.h"

class QWidget;

namespace brondel::platform {

class TQtDialogs : public IDialogs {
 public:
  explicit TQtDialogs(QWidget* parent) : parent_(parent) {}
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  std::optional<std::string> AskOpenFileName() override;
  std::optional<std::string> AskSaveFileName(const std::string& initialName) override;
  TSaveChangesAnswer AskSaveChanges(const std::string& question) override;

 private:
  QWidget* parent_;
};

}  // namespace brondel::platform
