// TForm1's construction, its state, and the commands its handlers run.
#include "app/ckf.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QSignalBlocker>
#include <QTableWidget>
#include <exception>

#include "app/pattern_window.h"
#include "app/play_along_window.h"
#include "app/settings_grid_view.h"
#include "document/apply_settings.h"
#include "document/copy_part.h"
#include "document/rhythm_loader.h"
#include "document/save_file.h"
#include "document/settings_grid.h"
#include "exchange/midi_import.h"
#include "platform/file_io.h"
#include "platform/midi_file.h"
#include "platform/qt_dialogs.h"
#include "platform/qt_midi_import_dialogs.h"
#include "platform/qt_text.h"

namespace brondel::app {
namespace {

const char kOpenBeforeImportMessage[] =
    "Open a rhythm first (File > Open): the MIDI part goes into the main file.";

const char kAboutText[] =
    "Brondel v2.1\r\nFor Casio ctk/wk keyboards\r\n"
    "Written by the Brondel developers.\r\n"
    "Questions and problems: the Brondel project's issue tracker.";

// A section list's item: the section's name and its bar count.
QString SectionItemText(const TRhythmSlot& doc, int section) {
  return ToQString(kSectionNames[static_cast<std::size_t>(section)]) +
         QStringLiteral(",mesures: ") + QString::number(doc.header.BarCount(section));
}

// A slot's time signature and tempo fields.
void ShowSlotFields(const TSlotControls& area, const TRhythmSlot& doc) {
  area.timeSignatureEdit->setText(QStringLiteral("%1/%2").arg(doc.numerator).arg(doc.denominator));
  area.tempoEdit->setText(QString::number(doc.header.Tempo()));
}

}  // namespace

TForm1::TForm1(platform::IMidiService& midi, platform::IDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent),
      midi_(midi),
      dialogs_(dialogs),
      ownMidiDialogs_(std::make_unique<platform::TQtMidiImportDialogs>(this)),
      midiDialogs_(ownMidiDialogs_.get()) {
  if (dialogs_ == nullptr) {
    ownDialogs_ = std::make_unique<platform::TQtDialogs>(this);
    dialogs_ = ownDialogs_.get();
  }
  IPlaybackHost& host = *this;
  playback_ = std::make_unique<TPlayback>(docs_, midi_, host);
  controls_ = BuildMainWindowControls(*this);
  settingsGrid_ = std::make_unique<TSettingsGridView>(controls_.settingsGrid);
  patternWindow_ = new TPatternWindow(docs_, this);
  ConnectCommands();
  ConnectPatternWindow();
  ConnectPlayAlongWindow();
  ListenForBuffersDone();
  FormCreate();
}

TForm1::~TForm1() {
  midi_.SetBufferDoneNotifier(nullptr);
}

void TForm1::FormCreate() {
  setWindowTitle(QStringLiteral("Brondel 2"));
  resize(739, 452);
  if (const QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  // The part streams of both slots exist from here on, empty (they are members of docs_).
  playback_->SetStopFlag(false);
  QComboBox* devices = controls_.outputDeviceBox;
  for (const std::string& name : midi_.OutputDeviceNames()) devices->addItem(ToQString(name));
  devices->setCurrentIndex(devices->count() > 0 ? 0 : -1);
  devices->lineEdit()->setCursorPosition(0);  // show the start of a long device name
  playback_->OpenMidiStream();
  controls_.settingsGrid->setColumnWidth(0, 70);
  controls_.changeInAllSectionsBox->setChecked(true);
}

// ---------------------------------------------------------------------------------------------
// Commands

void TForm1::RunCommand(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& error) {
    dialogs_->ShowError(error.what());
  }
}

void TForm1::RunPlayCommand(const std::function<void()>& command) {
  if (playDepth_++ == 0) patternWindow_->SetPlaying(true);
  RunCommand(command);
  if (--playDepth_ == 0) patternWindow_->SetPlaying(false);
  if (playDepth_ == 0 && closePending_) {
    closePending_ = false;
    // The main file changed again while the play ended: the question is asked anew.
    if (!MayCloseMainFile()) return;
    closing_ = true;
    close();
  }
}

void TForm1::Open1Click() {
  RunCommand([this] { OpenRhythmFile(kMainSlot); });
}
void TForm1::Button9Click() {
  RunCommand([this] { OpenRhythmFile(kImportSlot); });
}

void TForm1::OpenRhythmFile(int slot) {
  const platform::MidiResult stopped = playback_->StopStream();
  if (stopped != platform::kMidiNoError) {
    playback_->ShowMidiError("OPEN ", stopped);
    return;
  }
  const std::optional<std::string> path = dialogs_->AskOpenFileName();
  if (!path) return;
  TLoadOutcome outcome = ReadRhythmFile(*path);
  switch (outcome.status) {
    case TLoadStatus::kCannotOpen:
      dialogs_->ShowError(outcome.message);
      return;
    case TLoadStatus::kTooLarge:
    case TLoadStatus::kNotRhythm:
    case TLoadStatus::kDamaged:
      dialogs_->ShowMessage(outcome.message);
      return;
    case TLoadStatus::kLoaded:
      break;
  }
  const std::size_t badFillers = outcome.rhythm->badFillers.size();
  CommitLoadedRhythm(docs_, slot, std::move(*outcome.rhythm));
  if (slot == kMainSlot) {
    history_.Reset(true);
    ++mainFileChanges_;
    ShowEditMenu();
  }
  ShowLoadedSlot(slot);
  playback_->SetTimeDivision(slot);
  for (std::size_t i = 0; i < badFillers; ++i) dialogs_->ShowMessage("Error in file");
}

void TForm1::ShowLoadedSlot(int slot) {
  const TRhythmSlot& doc = docs_.slots[static_cast<std::size_t>(slot)];
  const TSlotControls& area = controls_.Slot(slot);
  const QString path = ToQString(doc.fileName);
  if (slot == kMainSlot) setWindowTitle(QStringLiteral("Brondel 2     ") + path);
  area.fileBox->setTitle(path);
  ShowSlotFields(area, doc);

  QListWidget* sections = area.sectionList;
  {
    const QSignalBlocker blocker(sections);
    sections->clear();
    for (int s = 0; s < kSectionCount; ++s) sections->addItem(SectionItemText(doc, s));
  }
  FillPartList(slot, 0, false);
  // Item 0 is selected in all four lists, whichever slot was loaded.
  for (QListWidget* list : controls_.Lists()) {
    const QSignalBlocker blocker(list);
    if (list->count() > 0) list->setCurrentRow(0);
  }
  if (slot == kMainSlot) ShowPartSettings();
  SectionSelected(slot, 0);
}

void TForm1::FillPartList(int slot, int section, bool selectFirst) {
  QListWidget* parts = controls_.Slot(slot).partList;
  const QSignalBlocker blocker(parts);
  parts->clear();
  const QString prefix = ToQString(kSectionNames[static_cast<std::size_t>(section)]) + ':';
  for (std::string_view part : kPartNames) parts->addItem(prefix + ToQString(part));
  if (selectFirst) parts->setCurrentRow(0);
}

void TForm1::ListBox2Click() {
  RunCommand([this] {
    const int section = controls_.mainFile.sectionList->currentRow();
    if (section < 0 || !docs_.slots[kMainSlot].Loaded()) return;
    FillPartList(kMainSlot, section, true);
    ShowPartSettings();
    SectionSelected(kMainSlot, section);
  });
}

void TForm1::ListBox3Click() {
  RunCommand([this] {
    const int section = controls_.importFile.sectionList->currentRow();
    if (section < 0 || !docs_.slots[kImportSlot].Loaded()) return;
    FillPartList(kImportSlot, section, true);
    SectionSelected(kImportSlot, section);
  });
}

void TForm1::Saveas1Click() {
  SaveMainFile();
}

bool TForm1::SaveMainFile() {
  bool written = false;
  RunCommand([this, &written] {
    TSaveImage image = BuildSaveImage(docs_);
    if (image.refusal) {
      dialogs_->ShowMessage(*image.refusal);
      return;
    }
    const std::optional<std::string> target =
        dialogs_->AskSaveFileName(ProposedSaveName(docs_.slots[kMainSlot].fileName));
    if (!target) {
      dialogs_->ShowMessage("Error writting file");
      return;
    }
    if (const auto refusal = SaveTargetRefusal(*target)) {
      dialogs_->ShowMessage(*refusal);
      return;
    }
    const std::string reason = platform::WriteFileSafely(*target, image.bytes);
    if (!reason.empty()) {
      dialogs_->ShowError("Cannot create file \"" + *target + "\". " + reason);
      return;
    }
    written = true;
  });
  if (written) {
    history_.MarkSaved();
    ShowEditMenu();
  }
  return written;
}

void TForm1::NewFromMidi1Click() {
  RunCommand([this] {
    // Like Open, a new main file first stops what plays.
    const platform::MidiResult stopped = playback_->StopStream();
    if (stopped != platform::kMidiNoError) {
      playback_->ShowMidiError("OPEN ", stopped);
      return;
    }
    const TMidiFilesRead read = ReadMidiFiles(midiDialogs_->AskMidiFileNames());
    if (!read.refusals.empty()) {
      dialogs_->ShowMessage(MidiRefusalsText(read.refusals, "\r\n"));
      return;
    }
    if (read.files.empty()) return;
    TMidiRhythm made = RhythmFromMidi(read.files);
    if (made.outcome.refusal) {
      dialogs_->ShowMessage(made.outcome.refusal->Text());
      return;
    }
    made.rhythm->slot.fileName = FreeRhythmName(
        made.rhythm->slot.fileName,
        [](const std::string& name) { return QFileInfo::exists(QFile::decodeName(name.c_str())); });
    CommitLoadedRhythm(docs_, kMainSlot, std::move(*made.rhythm));
    // A new history, and a rhythm that has no file yet counts as unsaved.
    history_.Reset(false);
    ++mainFileChanges_;
    ShowEditMenu();
    ShowLoadedSlot(kMainSlot);
    playback_->SetTimeDivision(kMainSlot);
    ShowNotices(made.outcome.notices);
  });
}

void TForm1::ImportMidiPart1Click() {
  RunRecordedCommand("Import MIDI part", [this] {
    if (!docs_.slots[kMainSlot].Loaded()) {
      dialogs_->ShowMessage(kOpenBeforeImportMessage);
      return;
    }
    const int section = controls_.mainFile.sectionList->currentRow();
    const int part = controls_.mainFile.partList->currentRow();
    if (section < 0 || part < 0) {
      dialogs_->ShowMessage(kSelectTargetMessage);
      return;
    }
    const std::optional<std::string> path = midiDialogs_->AskMidiFileName();
    if (!path) return;
    const platform::TMidiFileRead read = platform::ReadMidiFileAt(*path);
    if (!read.error.empty()) {
      dialogs_->ShowMessage(*path + ": " + read.error);
      return;
    }
    const std::vector<TMidiSourceInfo> sources = ListMidiSources(read.file);
    if (sources.empty()) {
      dialogs_->ShowMessage(*path + ": holds no notes");
      return;
    }
    std::vector<std::string> lines;
    for (const TMidiSourceInfo& info : sources) {
      lines.push_back(DescribeMidiSource(info));
    }
    const auto choice = midiDialogs_->ChooseMidiSource(
        PartItemText(section, part), lines, ProposedMidiSource(read.file, sources, part));
    if (!choice) return;
    const TMidiImportOutcome outcome =
        ImportMidiPart(docs_.slots[kMainSlot], *path, read.file,
                       {section, part, sources[static_cast<std::size_t>(choice->index)].source,
                        choice->takeSounds});
    if (outcome.refusal) {
      dialogs_->ShowMessage(outcome.refusal->Text());
      return;
    }
    ShowPartSettings();
    DocumentChanged(kMainSlot);
    ShowNotices(outcome.notices);
  });
}

void TForm1::ShowNotices(const std::vector<std::string>& notices) {
  if (notices.empty()) return;
  std::string text;
  for (const std::string& notice : notices) text += (text.empty() ? "" : "\r\n") + notice;
  dialogs_->ShowMessage(text);
}

void TForm1::Button4Click() {
  // A refused cell ends the command; what it stored before is still one step.
  RunRecordedCommand("Update parameters", [this] {
    TRhythmSlot& main = docs_.slots[kMainSlot];
    if (!main.Loaded()) return;
    std::string tempoText = controls_.mainFile.tempoEdit->text().toStdString();
    if (!ApplyTempoText(main.header, tempoText))
      controls_.mainFile.tempoEdit->setText(ToQString(tempoText));
    playback_->SetTimeDivision(kMainSlot);
    ApplyGridToSections(main.header, *settingsGrid_, controls_.changeInAllSectionsBox->isChecked(),
                        controls_.mainFile.sectionList->currentRow());
  });
  DocumentChanged(kMainSlot);
}

void TForm1::Button11Click() {
  RunRecordedCommand("Copy", [this] {
    if (!docs_.slots[kMainSlot].Loaded() || !docs_.slots[kImportSlot].Loaded()) return;
    const TCopyRequest request{
        controls_.importFile.sectionList->currentRow(), controls_.importFile.partList->currentRow(),
        controls_.mainFile.sectionList->currentRow(), controls_.mainFile.partList->currentRow(),
        controls_.includeToneParamsBox->isChecked()};
    if (const auto refusal = CopyPart(docs_, request, *settingsGrid_)) {
      dialogs_->ShowMessage(*refusal);
    }
  });
  DocumentChanged(kMainSlot);
}

void TForm1::Button3Click() {
  RunCommand([this] { playback_->Stop(); });
}

void TForm1::ListBox2DblClick() {
  RunPlayCommand(
      [this] { playback_->PlaySection(kMainSlot, controls_.mainFile.sectionList->currentRow()); });
}

void TForm1::ListBox3DblClick() {
  RunPlayCommand([this] {
    playback_->PlaySection(kImportSlot, controls_.importFile.sectionList->currentRow());
  });
}

void TForm1::ListBox1DblClick() {
  RunPlayCommand([this] {
    playback_->PlayPart(kMainSlot, controls_.mainFile.sectionList->currentRow(),
                        controls_.mainFile.partList->currentRow());
  });
}

void TForm1::ListBox4DblClick() {
  RunPlayCommand([this] {
    playback_->PlayPart(kImportSlot, controls_.importFile.sectionList->currentRow(),
                        controls_.importFile.partList->currentRow());
  });
}

void TForm1::Button5Click() {
  RunPlayCommand([this] { playback_->PlayAllCommand(kMainSlot); });
}
void TForm1::Button10Click() {
  RunPlayCommand([this] { playback_->PlayAllCommand(kImportSlot); });
}

void TForm1::ComboBox1Change() {
  controls_.outputDeviceBox->lineEdit()->setCursorPosition(0);
  RunCommand([this] { playback_->ChangeOutputDevice(controls_.outputDeviceBox->currentIndex()); });
}

void TForm1::Exit1Click() {
  // Cancel, or a Save that did not write the file, leaves everything as it was, a play too.
  if (!MayCloseMainFile()) return;
  playback_->SetStopFlag(true);
  playback_->CloseMidiStream();
  closing_ = true;
  close();
}

void TForm1::About1Click() {
  dialogs_->ShowMessage(kAboutText);
}

void TForm1::Pattern1Click() {
  patternWindow_->show();
  patternWindow_->raise();
  patternWindow_->activateWindow();
}

void TForm1::PlayAlong1Click() {
  playAlongWindow_->show();
  playAlongWindow_->raise();
  playAlongWindow_->activateWindow();
}

void TForm1::PatternPlayClick() {
  RunPlayCommand([this] {
    playback_->PlayPattern(patternWindow_->Slot(), patternWindow_->Section(), patternWindow_->Mix(),
                           patternWindow_->Looping());
  });
}

void TForm1::PatternOptionsChange() {
  RunCommand(
      [this] { playback_->ChangePatternPlay(patternWindow_->Mix(), patternWindow_->Looping()); });
}

void TForm1::Undo1Click() {
  RunCommand([this] { StepHistory(true); });
}

void TForm1::Redo1Click() {
  RunCommand([this] { StepHistory(false); });
}

// ---------------------------------------------------------------------------------------------
// The main file's history

void TForm1::RunRecordedCommand(std::string name, const std::function<void()>& command) {
  const TRhythmSlot before = docs_.slots[kMainSlot];
  RunCommand(command);
  if (history_.Record(std::move(name), before, docs_.slots[kMainSlot])) {
    ++mainFileChanges_;
    ShowEditMenu();
  }
}

void TForm1::StepHistory(bool undo) {
  TRhythmSlot& main = docs_.slots[kMainSlot];
  const std::uint8_t tempo = main.header.Tempo();
  const std::string name = undo ? history_.UndoName() : history_.RedoName();
  if (!(undo ? history_.Undo(main) : history_.Redo(main))) return;
  // A tempo taken back or set again plays as "Update parameters" makes it play: the stream
  // stops and takes the tempo as its time division.
  if (main.header.Tempo() != tempo) playback_->SetTimeDivision(kMainSlot);
  MainFileEdited();
  patternWindow_->HistoryStepped(undo, name);
}

void TForm1::MainFileEdited() {
  ++mainFileChanges_;
  ShowMainFile();
  DocumentChanged(kMainSlot);
  ShowEditMenu();
  // A looping pattern play takes the section as it is now from its next repetition (the play
  // of the import file's section renders the same as before). Without Loop the play ends with
  // the repetition sounding, as it would have.
  if (patternWindow_->Looping()) {
    playback_->ChangePatternPlay(patternWindow_->Mix(), true);
  }
}

void TForm1::ShowEditMenu() {
  const auto show = [](QAction* action, const QString& verb, const std::string& step) {
    action->setText(step.empty() ? verb : verb + ' ' + ToQString(step));
    action->setEnabled(!step.empty());
  };
  show(controls_.undoAction, QStringLiteral("Undo"), history_.UndoName());
  show(controls_.redoAction, QStringLiteral("Redo"), history_.RedoName());
  patternWindow_->HistoryChanged();  // its Undo, Redo and the title's "*"
}

void TForm1::ShowMainFile() {
  const TRhythmSlot& doc = docs_.slots[kMainSlot];
  if (!doc.Loaded()) return;
  const TSlotControls& area = controls_.mainFile;
  ShowSlotFields(area, doc);
  // The items keep their places, so the selections stay.
  for (int s = 0; s < kSectionCount && s < area.sectionList->count(); ++s) {
    area.sectionList->item(s)->setText(SectionItemText(doc, s));
  }
  ShowPartSettings();
}

bool TForm1::MayCloseMainFile() {
  const TRhythmSlot& main = docs_.slots[kMainSlot];
  if (!main.Loaded() || !history_.Modified()) return true;
  if (discardedAt_ == mainFileChanges_) return true;
  switch (dialogs_->AskSaveChanges("Save changes to " + main.fileName + "?")) {
    case platform::TSaveChangesAnswer::kSave:
      return SaveMainFile();
    case platform::TSaveChangesAnswer::kDiscard:
      discardedAt_ = mainFileChanges_;
      return true;
    case platform::TSaveChangesAnswer::kCancel:
      break;
  }
  return false;
}

void TForm1::DocumentChanged(int slot) {
  patternWindow_->DocumentChanged(slot);
}

void TForm1::SectionSelected(int slot, int section) {
  patternWindow_->ShowSection(slot, section);
}

// ---------------------------------------------------------------------------------------------
// Window events

void TForm1::closeEvent(QCloseEvent* event) {
  // Unsaved changes are saved or discarded first; Cancel keeps the window, and what plays.
  if (!closing_ && !MayCloseMainFile()) {
    event->ignore();
    return;
  }
  // The close box does not stop a play: the close waits until the outermost play has ended.
  if (!closing_ && playDepth_ > 0) {
    closePending_ = true;
    // A pattern loop would never end: it ends with the repetition playing.
    playback_->FinishPatternPlay();
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace brondel::app
