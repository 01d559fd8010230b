#include "platform/qt_dialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace brondel::platform {

namespace {

// Texts of the program use "\r\n" line breaks; a label wants plain "\n".
QString DisplayText(const std::string& text) {
  return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// The chosen file's path in the system's encoding of file names, as the file calls take it.
std::optional<std::string> ChosenPath(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}

}  // namespace

void TQtDialogs::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), DisplayText(text),
                  QMessageBox::Ok, parent_);
  box.exec();
}

void TQtDialogs::ShowError(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), DisplayText(text),
                  QMessageBox::Ok, parent_);
  box.exec();
}

std::optional<std::string> TQtDialogs::AskOpenFileName() {
  QFileDialog dialog(parent_);
  dialog.setObjectName(QStringLiteral("OpenDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(QStringLiteral("*:ckf (*.ckf *.z00)"));
  return ChosenPath(dialog);
}

std::optional<std::string> TQtDialogs::AskSaveFileName(const std::string& initialName) {
  QFileDialog dialog(parent_);
  dialog.setObjectName(QStringLiteral("SaveDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QStringLiteral("*.ckf (*.ckf)"));
  dialog.setDefaultSuffix(QStringLiteral("ckf"));
  // Replacing an existing file is what "Save as" does; it asks nothing.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (!initialName.empty()) dialog.selectFile(QFile::decodeName(initialName.c_str()));
  return ChosenPath(dialog);
}

TSaveChangesAnswer TQtDialogs::AskSaveChanges(const std::string& question) {
  QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), DisplayText(question),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
  box.setObjectName(QStringLiteral("SaveChangesBox"));
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save:
      return TSaveChangesAnswer::kSave;
    case QMessageBox::Discard:
      return TSaveChangesAnswer::kDiscard;
    default:
      return TSaveChangesAnswer::kCancel;
  }
}

}  // namespace brondel::platform
