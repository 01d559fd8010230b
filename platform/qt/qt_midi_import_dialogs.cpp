#include "platform/qt_midi_import_dialogs.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace brondel::platform {

namespace {

// The chosen files' paths in the system's encoding of file names, as the file calls take them.
std::vector<std::string> ChosenMidiFiles(QWidget* parent, QFileDialog::FileMode mode) {
  QFileDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("MidiOpenDialog"));
  dialog.setWindowTitle(mode == QFileDialog::ExistingFiles
                            ? QStringLiteral("New rhythm from MIDI files")
                            : QStringLiteral("Import MIDI part"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(mode);
  dialog.setNameFilters(
      {QStringLiteral("MIDI files (*.mid *.midi *.smf *.MID)"), QStringLiteral("All files (*)")});
  std::vector<std::string> paths;
  if (dialog.exec() != QDialog::Accepted) return paths;
  for (const QString& file : dialog.selectedFiles()) {
    paths.push_back(QFile::encodeName(file).toStdString());
  }
  return paths;
}

}  // namespace

std::optional<std::string> TQtMidiImportDialogs::AskMidiFileName() {
  const std::vector<std::string> paths = ChosenMidiFiles(parent_, QFileDialog::ExistingFile);
  if (paths.empty()) return std::nullopt;
  return paths.front();
}

std::vector<std::string> TQtMidiImportDialogs::AskMidiFileNames() {
  return ChosenMidiFiles(parent_, QFileDialog::ExistingFiles);
}

std::optional<TMidiSourceChoice> TQtMidiImportDialogs::ChooseMidiSource(
    const std::string& target, const std::vector<std::string>& sources, int proposed) {
  QDialog dialog(parent_);
  dialog.setObjectName(QStringLiteral("MidiSourceDialog"));
  dialog.setWindowTitle(QStringLiteral("Import MIDI part"));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(
      new QLabel(QStringLiteral("Replace %1 with:").arg(QString::fromStdString(target)), &dialog));
  auto* list = new QListWidget(&dialog);
  list->setObjectName(QStringLiteral("MidiSourceList"));
  for (const std::string& source : sources) list->addItem(QString::fromStdString(source));
  list->setCurrentRow(proposed);
  list->setMinimumWidth(list->sizeHintForColumn(0) + 40);
  layout->addWidget(list);
  auto* sounds = new QCheckBox(QStringLiteral("Take sounds"), &dialog);
  sounds->setObjectName(QStringLiteral("TakeSounds"));
  sounds->setToolTip(
      QStringLiteral("Set Tone, Bank, Volume, Pane, Reverb and Chorus from the source's first "
                     "program change and controllers"));
  layout->addWidget(sounds);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0) return std::nullopt;
  return TMidiSourceChoice{list->currentRow(), sounds->isChecked()};
}

}  // namespace brondel::platform
