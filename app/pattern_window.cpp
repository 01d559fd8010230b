#include "app/pattern_window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/pattern_view.h"
#include "pattern/editor_rules.h"
#include "pattern/key_names.h"
#include "pattern/pattern_model.h"
#include "pattern/section_edit.h"
#include "platform/qt_text.h"

namespace brondel::app {
namespace {

constexpr int kInitialWidth = 960;
constexpr int kInitialHeight = 600;
constexpr int kLineInterval = 10;  // ms: the line is at most this much older than the sound
constexpr int kDefaultVelocity = 100;
constexpr int kFirstDrumName = 35;  // the General MIDI percussion names run from key 35 to 81
constexpr int kLastDrumName = 81;
constexpr int kHighestKey = 127;
constexpr int kMaxBars = 65535;
constexpr int kSemitone = 1;
constexpr int kOctave = 12;

}  // namespace

TPatternWindow::TPatternWindow(const brondel::TRhythmDocuments& docs, QWidget* parent)
    : QWidget(parent, Qt::Window), docs_(docs) {
  setObjectName(QStringLiteral("PatternWindow"));
  setWindowTitle(QStringLiteral("Pattern"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  toolBar_ = new QToolBar(this);
  toolBar_->setObjectName(QStringLiteral("PatternToolBar"));
  layout->addWidget(toolBar_);
  editBar_ = new QToolBar(this);
  editBar_->setObjectName(QStringLiteral("PatternEditBar"));
  layout->addWidget(editBar_);
  view_ = new TPatternView(this);
  layout->addWidget(view_, 1);
  auto* status = new QHBoxLayout;
  status->setContentsMargins(8, 2, 8, 2);
  notice_ = new QLabel(this);
  notice_->setObjectName(QStringLiteral("PatternReadOnly"));
  notice_->setStyleSheet(QStringLiteral("color: #8a4b00; font-weight: bold;"));
  notice_->hide();
  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("PatternMessage"));
  bytes_ = new QLabel(this);
  bytes_->setObjectName(QStringLiteral("PatternBytes"));
  status->addWidget(notice_);
  status->addWidget(message_, 1);
  status->addWidget(bytes_);
  layout->addLayout(status);
  BuildToolBar();
  BuildEditBar();
  view_->SetClipboard(&clipboard_);
  view_->SetEditSink([this](const brondel::TNotesEdit& edit) { return ApplyEdit(edit); });
  connect(view_, &TPatternView::NoteSounded, this, [this](int part, int key, int velocity) {
    if (audition_->isChecked()) Q_EMIT AuditionRequested(part, key, velocity);
  });
  connect(view_, &TPatternView::MixChanged, this, &TPatternWindow::PlayOptionsChanged);
  lineTimer_.setInterval(kLineInterval);
  lineTimer_.setTimerType(Qt::PreciseTimer);
  connect(&lineTimer_, &QTimer::timeout, this, [this] { MovePlayLine(); });
  resize(kInitialWidth, kInitialHeight);
}

void TPatternWindow::BuildToolBar() {
  play_ = toolBar_->addAction(QStringLiteral("Play"), this, &TPatternWindow::PlayClicked);
  play_->setObjectName(QStringLiteral("PatternPlay"));
  play_->setToolTip(QStringLiteral("Play the section shown with the parts that are not muted"));
  stop_ = toolBar_->addAction(QStringLiteral("Stop"), this, &TPatternWindow::StopClicked);
  stop_->setObjectName(QStringLiteral("PatternStop"));
  stop_->setToolTip(QStringLiteral("Stop the sound"));
  loop_ = toolBar_->addAction(QStringLiteral("Loop"));
  loop_->setObjectName(QStringLiteral("PatternLoop"));
  loop_->setCheckable(true);
  loop_->setToolTip(QStringLiteral("Play the section again and again until Stop"));
  connect(loop_, &QAction::toggled, this, &TPatternWindow::PlayOptionsChanged);
  toolBar_->addSeparator();
  QAction* zoomIn = toolBar_->addAction(QStringLiteral("Zoom in"), view_, &TPatternView::ZoomIn);
  zoomIn->setShortcut(QKeySequence::ZoomIn);
  zoomIn->setToolTip(QStringLiteral("Zoom in (Ctrl+wheel over the notes)"));
  QAction* zoomOut = toolBar_->addAction(QStringLiteral("Zoom out"), view_, &TPatternView::ZoomOut);
  zoomOut->setShortcut(QKeySequence::ZoomOut);
  QAction* fit = toolBar_->addAction(QStringLiteral("Fit"), view_, &TPatternView::Fit);
  fit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
  fit->setToolTip(QStringLiteral("Show the whole section"));
  toolBar_->addSeparator();
  summary_ = new QLabel(toolBar_);
  summary_->setObjectName(QStringLiteral("PatternSummary"));
  summary_->setContentsMargins(8, 0, 8, 0);
  toolBar_->addWidget(summary_);
}

void TPatternWindow::BuildEditBar() {
  undo_ = editBar_->addAction(QStringLiteral("Undo"), this, &TPatternWindow::Undo);
  undo_->setObjectName(QStringLiteral("PatternUndo"));
  undo_->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
  undo_->setShortcutContext(Qt::WindowShortcut);
  redo_ = editBar_->addAction(QStringLiteral("Redo"), this, &TPatternWindow::Redo);
  redo_->setObjectName(QStringLiteral("PatternRedo"));
  redo_->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  redo_->setShortcutContext(Qt::WindowShortcut);
  editBar_->addSeparator();

  editBar_->addWidget(new QLabel(QStringLiteral(" Snap "), editBar_));
  snapBox_ = new QComboBox(editBar_);
  snapBox_->setObjectName(QStringLiteral("PatternSnap"));
  for (const brondel::TSnapStep step : brondel::kSnapSteps) {
    snapBox_->addItem(QString::fromUtf8(brondel::SnapStepName(step).data(),
                                        static_cast<qsizetype>(brondel::SnapStepName(step).size())),
                      static_cast<int>(step));
  }
  snapBox_->setCurrentIndex(snapBox_->findData(static_cast<int>(brondel::TSnapStep::kSixteenth)));
  snapBox_->setFocusPolicy(Qt::NoFocus);
  connect(snapBox_, &QComboBox::currentIndexChanged, this, [this] {
    view_->SetSnap(static_cast<brondel::TSnapStep>(snapBox_->currentData().toInt()));
    if (!applyingDefault_) snapChosen_ = true;
  });
  editBar_->addWidget(snapBox_);

  editBar_->addWidget(new QLabel(QStringLiteral(" Velocity "), editBar_));
  velocityBox_ = new QSpinBox(editBar_);
  velocityBox_->setObjectName(QStringLiteral("PatternVelocity"));
  velocityBox_->setRange(1, kHighestKey);
  velocityBox_->setValue(kDefaultVelocity);
  velocityBox_->setToolTip(QStringLiteral("The velocity of the notes added"));
  connect(velocityBox_, &QSpinBox::valueChanged, view_, &TPatternView::SetVelocity);
  editBar_->addWidget(velocityBox_);
  QAction* setVelocity = editBar_->addAction(QStringLiteral("Set velocity"), this, [this] {
    view_->SetSelectionVelocity(velocityBox_->value());
  });
  setVelocity->setObjectName(QStringLiteral("PatternSetVelocity"));
  setVelocity->setToolTip(QStringLiteral("Give the selected notes this velocity"));

  audition_ = editBar_->addAction(QStringLiteral("Audition"));
  audition_->setObjectName(QStringLiteral("PatternAudition"));
  audition_->setCheckable(true);
  audition_->setChecked(true);
  audition_->setToolTip(QStringLiteral("Sound a note when it is clicked, drawn or moved"));
  editBar_->addSeparator();

  drumRowBox_ = new QComboBox(editBar_);
  drumRowBox_->setObjectName(QStringLiteral("PatternDrumRow"));
  drumRowBox_->setEditable(true);
  drumRowBox_->setInsertPolicy(QComboBox::NoInsert);
  drumRowBox_->setToolTip(QStringLiteral("A percussion name or a key number 0-127"));
  for (int key = kFirstDrumName; key <= kLastDrumName; ++key) {
    drumRowBox_->addItem(
        QStringLiteral("%1 %2").arg(key).arg(QString::fromStdString(brondel::PercussionName(key))),
        key);
  }
  editBar_->addWidget(drumRowBox_);
  QAction* addRow = editBar_->addAction(QStringLiteral("Add drum row"), this, [this] {
    // A key number, or (part of) a percussion name in the list.
    const QString text = drumRowBox_->currentText().trimmed();
    bool number = false;
    int key = text.section(QLatin1Char(' '), 0, 0).toInt(&number);
    if (!number) {
      const int item = drumRowBox_->findText(text, Qt::MatchContains);
      number = item >= 0 && !text.isEmpty();
      if (number) key = drumRowBox_->itemData(item).toInt();
    }
    if (number && key >= 0 && key <= kHighestKey) {
      AddDrumRow(key);
    } else {
      ShowMessage(QStringLiteral("Add drum row: a percussion name or a key from 0 to 127"), true);
    }
  });
  addRow->setObjectName(QStringLiteral("PatternAddDrumRow"));
  editBar_->addSeparator();

  QAction* quantize =
      editBar_->addAction(QStringLiteral("Quantize"), view_, &TPatternView::QuantizeSelection);
  quantize->setObjectName(QStringLiteral("PatternQuantize"));
  quantize->setToolTip(QStringLiteral("Move the selected notes to the snap (Q)"));
  strengthBox_ = new QComboBox(editBar_);
  strengthBox_->setObjectName(QStringLiteral("PatternStrength"));
  for (const int percent : {100, 75, 50})
    strengthBox_->addItem(QStringLiteral("%1 %").arg(percent), percent);
  strengthBox_->setToolTip(QStringLiteral("How far Quantize moves a note"));
  strengthBox_->setFocusPolicy(Qt::NoFocus);
  editBar_->addWidget(strengthBox_);
  editBar_->addWidget(new QLabel(QStringLiteral(" Swing "), editBar_));
  swingBox_ = new QSpinBox(editBar_);
  swingBox_->setObjectName(QStringLiteral("PatternSwing"));
  swingBox_->setRange(50, 75);
  swingBox_->setSuffix(QStringLiteral(" %"));
  editBar_->addWidget(swingBox_);
  const auto quantizeChanged = [this] {
    view_->SetQuantize(strengthBox_->currentData().toInt(), swingBox_->value());
  };
  connect(strengthBox_, &QComboBox::currentIndexChanged, this, quantizeChanged);
  connect(swingBox_, &QSpinBox::valueChanged, this, quantizeChanged);
  editBar_->addSeparator();

  editBar_->addWidget(new QLabel(QStringLiteral(" Bars "), editBar_));
  barsBox_ = new QSpinBox(editBar_);
  barsBox_->setObjectName(QStringLiteral("PatternBars"));
  barsBox_->setRange(1, kMaxBars);
  editBar_->addWidget(barsBox_);
  repeatBox_ = new QCheckBox(QStringLiteral("repeat"), editBar_);
  repeatBox_->setObjectName(QStringLiteral("PatternRepeatBars"));
  repeatBox_->setToolTip(QStringLiteral("New bars repeat the bars the section has"));
  editBar_->addWidget(repeatBox_);
  QAction* setBars = editBar_->addAction(QStringLiteral("Set bars"), this, [this] {
    SetBars(barsBox_->value(), repeatBox_->isChecked());
  });
  setBars->setObjectName(QStringLiteral("PatternSetBars"));
  editBar_->addWidget(BuildPartMenu());
}

QToolButton* TPatternWindow::BuildPartMenu() {
  auto* button = new QToolButton(editBar_);
  button->setObjectName(QStringLiteral("PatternPartMenu"));
  button->setText(QStringLiteral("Part"));
  button->setPopupMode(QToolButton::InstantPopup);
  auto* menu = new QMenu(button);
  for (int part = 0; part < brondel::kPartCount; ++part) {
    QMenu* sub =
        menu->addMenu(brondel::ToQString(brondel::kPartNames[static_cast<std::size_t>(part)]));
    sub->addAction(QStringLiteral("Clear"), this, [this, part] { ClearPart(part); });
    const std::pair<const char*, int> steps[] = {{"Transpose up a semitone", kSemitone},
                                                 {"Transpose down a semitone", -kSemitone},
                                                 {"Transpose up an octave", kOctave},
                                                 {"Transpose down an octave", -kOctave}};
    for (const auto& [text, keys] : steps) {
      sub->addAction(QString::fromLatin1(text), this,
                     [this, part, keys = keys] { TransposePart(part, keys); });
    }
    QMenu* copy = sub->addMenu(QStringLiteral("Copy to section..."));
    for (int section = 0; section < brondel::kSectionCount; ++section) {
      copy->addAction(brondel::ToQString(brondel::kSectionNames[static_cast<std::size_t>(section)]),
                      this, [this, part, section] { CopyPartTo(part, section); });
    }
  }
  button->setMenu(menu);
  return button;
}

bool TPatternWindow::Editable() const {
  return editDocs_ != nullptr && history_ != nullptr && slot_ == brondel::kMainSlot &&
         editDocs_->slots[brondel::kMainSlot].Loaded();
}

bool TPatternWindow::ApplyEdit(const brondel::TNotesEdit& edit) {
  if (!Editable()) return false;
  return Show(
      brondel::ApplySectionEdit(editDocs_->slots[brondel::kMainSlot], section_, edit, *history_),
      edit.name);
}

bool TPatternWindow::Show(const brondel::TEditOutcome& outcome, const std::string& name) {
  if (outcome.refusal) {
    ShowMessage(QString::fromStdString(*outcome.refusal), true);
    return false;
  }
  pendingSelection_ = outcome.selection;
  ShowMessage(
      QString::fromStdString(outcome.message.empty() ? name : name + ": " + outcome.message),
      false);
  MainFileChanged();
  return true;
}

void TPatternWindow::ShowMessage(const QString& text, bool refused) {
  message_->setText(text);
  message_->setStyleSheet(refused ? QStringLiteral("color: #b00020;") : QString());
}

QString TPatternWindow::Message() const {
  return message_->text();
}

QString TPatternWindow::BytesText() const {
  return bytes_->text();
}

void TPatternWindow::MainFileChanged() {
  const std::uint64_t before = refreshes_;
  Q_EMIT MainFileEdited();
  if (refreshes_ == before) Refresh();
  pendingSelection_.reset();
}

void TPatternWindow::Undo() {
  StepHistory(true);
}

void TPatternWindow::Redo() {
  StepHistory(false);
}

void TPatternWindow::StepHistory(bool undo) {
  if (editDocs_ == nullptr || history_ == nullptr) return;
  if (!(undo ? history_->CanUndo() : history_->CanRedo())) return;
  if (stepHistory_) {
    // The main window steps it and tells every view, this one included (HistoryStepped).
    stepHistory_(undo);
    return;
  }
  const std::string name = undo ? history_->UndoName() : history_->RedoName();
  brondel::TRhythmSlot& main = editDocs_->slots[brondel::kMainSlot];
  if (!(undo ? history_->Undo(main) : history_->Redo(main))) return;
  MainFileChanged();
  HistoryStepped(undo, name);
}

void TPatternWindow::HistoryStepped(bool undo, const std::string& name) {
  ShowMessage((undo ? QStringLiteral("Undone: ") : QStringLiteral("Redone: ")) +
                  QString::fromStdString(name),
              false);
}

void TPatternWindow::SetBars(int bars, bool repeat) {
  if (!Editable()) return;
  const std::string name = "Set bars to " + std::to_string(bars);
  Show(brondel::ApplyBarCount(editDocs_->slots[brondel::kMainSlot], section_,
                              static_cast<std::uint16_t>(std::clamp(bars, 1, kMaxBars)), repeat,
                              *history_),
       name);
}

void TPatternWindow::AddDrumRow(int key) {
  addedDrumRows_.push_back(key);
  ShowMessage(QStringLiteral("Drum row added: %1")
                  .arg(QString::fromStdString(brondel::PercussionName(key))),
              false);
  Refresh();
}

void TPatternWindow::ClearPart(int part) {
  if (!Editable()) return;
  ApplyEdit(brondel::ClearPart(
      brondel::ReadSectionNotes(editDocs_->slots[brondel::kMainSlot], section_), part));
}

void TPatternWindow::TransposePart(int part, int keys) {
  if (!Editable()) return;
  ApplyEdit(brondel::TransposePart(
      brondel::ReadSectionNotes(editDocs_->slots[brondel::kMainSlot], section_), part, keys));
}

void TPatternWindow::CopyPartTo(int part, int section) {
  if (!Editable()) return;
  const std::string name =
      "Copy " + std::string(brondel::kPartNames[static_cast<std::size_t>(part)]) + " to " +
      std::string(brondel::kSectionNames[static_cast<std::size_t>(section)]);
  Show(brondel::CopyPartToSection(editDocs_->slots[brondel::kMainSlot], section_, part, section,
                                  *history_),
       name);
}

void TPatternWindow::HistoryChanged() {
  UpdateHistoryState();
}

void TPatternWindow::UpdateHistoryState() {
  const bool history = editDocs_ != nullptr && history_ != nullptr;
  undo_->setEnabled(history && history_->CanUndo());
  redo_->setEnabled(history && history_->CanRedo());
  undo_->setToolTip(history && history_->CanUndo()
                        ? QStringLiteral("Undo ") + QString::fromStdString(history_->UndoName())
                        : QStringLiteral("Nothing to undo"));
  redo_->setToolTip(history && history_->CanRedo()
                        ? QStringLiteral("Redo ") + QString::fromStdString(history_->RedoName())
                        : QStringLiteral("Nothing to redo"));
  const brondel::TRhythmSlot* slot =
      slot_ >= 0 ? &docs_.slots[static_cast<std::size_t>(slot_)] : nullptr;
  if (slot == nullptr || !slot->Loaded()) {
    setWindowTitle(QStringLiteral("Pattern"));
    return;
  }
  const bool modified = history && slot_ == brondel::kMainSlot && history_->Modified();
  const QString file = QFileInfo(QFile::decodeName(slot->fileName.c_str())).fileName();
  setWindowTitle(file + (modified ? QStringLiteral("*") : QString()) + QStringLiteral(" - ") +
                 brondel::ToQString(brondel::kSectionNames[static_cast<std::size_t>(section_)]));
}

void TPatternWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // A save in the main window changes nothing shown but the title's `*`.
  if (event->type() == QEvent::ActivationChange) UpdateHistoryState();
}

brondel::TPartMix TPatternWindow::Mix() const {
  return view_->Mix();
}

bool TPatternWindow::Looping() const {
  return loop_->isChecked();
}

void TPatternWindow::FollowPlay(
    std::function<std::optional<brondel::TPlayingPosition>()> playingNow) {
  playingNow_ = std::move(playingNow);
}

void TPatternWindow::SetPlaying(bool playing) {
  playing_ = playing;
  if (playing && isVisible()) lineTimer_.start();
}

void TPatternWindow::MovePlayLine() {
  const std::optional<brondel::TPlayingPosition> now = playingNow_ ? playingNow_() : std::nullopt;
  const bool shown = now && now->slot == slot_ && now->section == section_;
  view_->SetPlayTick(shown ? std::optional(now->tick) : std::nullopt);
  // The sound follows the engine by the device's latency: the line goes on until it has ended.
  if (!now && !playing_) lineTimer_.stop();
}

void TPatternWindow::ShowSection(int slot, int section) {
  if (slot != slot_ || section != section_) {
    addedDrumRows_.clear();
    view_->SetSelection({});
    message_->clear();
  }
  slot_ = slot;
  section_ = section;
  Refresh();
}

void TPatternWindow::SetEditing(brondel::TRhythmDocuments* docs, brondel::TEditHistory* history) {
  editDocs_ = docs;
  history_ = history;
  Refresh();
}

void TPatternWindow::DocumentChanged(int slot) {
  if (slot == slot_) Refresh();
}

void TPatternWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (outOfDate_) Refresh();
  if (playing_) lineTimer_.start();
}

void TPatternWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  lineTimer_.stop();
  view_->SetPlayTick(std::nullopt);
}

void TPatternWindow::Refresh() {
  // A hidden window builds nothing: a play-all walk or a burst of edits costs nothing then.
  outOfDate_ = !isVisible();
  UpdateHistoryState();
  if (outOfDate_) return;
  ++refreshes_;
  const brondel::TRhythmSlot* slot =
      slot_ >= 0 ? &docs_.slots[static_cast<std::size_t>(slot_)] : nullptr;
  if (slot == nullptr || !slot->Loaded()) {
    summary_->clear();
    bytes_->clear();
    notice_->hide();
    view_->SetPattern(std::nullopt, {});
    view_->SetNotes(std::nullopt, false);
    return;
  }
  const QString section =
      brondel::ToQString(brondel::kSectionNames[static_cast<std::size_t>(section_)]);
  const int bars = slot->header.BarCount(section_);
  summary_->setText(
      QStringLiteral("%1   %2 %3 of %4   Tempo %5")
          .arg(slot_ == brondel::kMainSlot ? QStringLiteral("Main file")
                                           : QStringLiteral("Import file"))
          .arg(bars)
          .arg(bars == 1 ? QStringLiteral("bar") : QStringLiteral("bars"))
          .arg(brondel::ToQString(brondel::TimeSignatureText(slot->header.TimeSignature())))
          .arg(slot->header.Tempo()));
  bytes_->setText(
      QString::fromStdString(brondel::ByteUseText(brondel::ByteUse(*slot, section_), section_)));
  const bool editable = Editable();
  notice_->setText(slot_ == brondel::kImportSlot
                       ? QStringLiteral("Read-only: the import file (select and copy its notes)")
                       : QStringLiteral("Read-only"));
  notice_->setVisible(!editable);
  // Undo and Redo follow the history whatever the section shown; the rest edit it.
  for (QAction* action : editBar_->actions()) {
    if (action != undo_ && action != redo_) action->setEnabled(editable);
  }
  barsBox_->setValue(bars);
  brondel::TSectionPattern pattern = brondel::BuildSectionPattern(*slot, section_);
  if (!snapChosen_) {
    applyingDefault_ = true;
    snapBox_->setCurrentIndex(
        snapBox_->findData(static_cast<int>(brondel::DefaultSnapStep(pattern.meter))));
    applyingDefault_ = false;
  }
  if (editable) {
    for (int part = 0; part < brondel::kPartCount; ++part) {
      const auto index = static_cast<std::size_t>(part);
      brondel::SetLaneKeys(pattern, part,
                           brondel::EditableLaneKeys(
                               part, pattern.lanes[index].keys,
                               part == brondel::kDrumPart ? addedDrumRows_ : std::vector<int>{}));
    }
  }
  view_->SetPattern(std::move(pattern), section);
  view_->SetNotes(brondel::ReadSectionNotes(*slot, section_), editable);
  if (pendingSelection_) view_->SetSelection(*pendingSelection_);
}

}  // namespace brondel::app
