// Modal message boxes and the open and save dialogs, behind one small interface so that
// tests can script the answers.
#pragma once

#include <optional>
#include <string>

namespace brondel::platform {

/// The answers to the question on closing with unsaved changes.
enum class TSaveChangesAnswer { kSave, kDiscard, kCancel };

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  /// A modal message box with a single OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  /// The window's general error handling: a modal error box.
  virtual void ShowError(const std::string& text) = 0;
  /// The file-open dialog ("*:ckf", mask "*.ckf;*.z00"); nullopt when cancelled.
  virtual std::optional<std::string> AskOpenFileName() = 0;
  /// The file-save dialog ("*.ckf", default extension "ckf"), proposing `initialName`.
  virtual std::optional<std::string> AskSaveFileName(const std::string& initialName) = 0;
  /// A modal question with Save, Discard and Cancel ("Save changes to NAME?"); closing the box
  /// answers Cancel.
  virtual TSaveChangesAnswer AskSaveChanges(const std::string& question) = 0;
};

}  // namespace brondel::platform
