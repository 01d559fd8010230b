#include "app/ckf.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTableWidget>
#include <exception>

#include "app/pattern_window.h"
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

using brondel::kImportSlot;
using brondel::kMainSlot;
using brondel::ToQString;

namespace {

const QColor kAqua(0x00, 0xFF, 0xFF);
const QColor kMoneyGreen(0xC0, 0xDC, 0xC0);
constexpr int kGridColumns = 7;
constexpr int kGridRows = 6;
constexpr int kClientMargin = 8;  // the left margin of the window's controls

const char kOpenBeforeImportMessage[] =
    "Open a rhythm first (File > Open): the MIDI part goes into the main file.";

const char kAboutText[] =
    "Brondel v2.1\r\nFor Casio ctk/wk keyboards\r\n"
    "Written by the Brondel developers.\r\n"
    "Questions and problems: the Brondel project's issue tracker.";

void Paint(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

// Gives a control its name, parent-relative geometry and hint.
template <class Widget>
Widget* Place(Widget* widget, const char* name, QRect geometry, const char* hint = nullptr) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(geometry);
  if (hint != nullptr) widget->setToolTip(QString::fromLatin1(hint));
  return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, int x, int y, const char* text) {
  auto* label = Place(new QLabel(QString::fromLatin1(text), parent), name, QRect(x, y, 0, 0));
  label->adjustSize();
  return label;
}

}  // namespace

// The grid's cell texts as the document routines read and write them.
class TSettingsGridCells : public brondel::ISettingsGrid {
 public:
  explicit TSettingsGridCells(QTableWidget* grid) : grid_(grid) {}
  std::string Cell(int column, int row) const override {
    const QTableWidgetItem* item = grid_->item(row, column);
    return item == nullptr ? std::string() : item->text().toStdString();
  }
  void SetCell(int column, int row, const std::string& text) override {
    grid_->item(row, column)->setText(ToQString(text));
  }

 private:
  QTableWidget* grid_;
};

TForm1::TForm1(brondel::platform::IMidiService& midi, brondel::platform::IDialogs* dialogs,
               QWidget* parent)
    : QMainWindow(parent),
      midi_(midi),
      dialogs_(dialogs),
      ownMidiDialogs_(std::make_unique<brondel::platform::TQtMidiImportDialogs>(this)),
      midiDialogs_(ownMidiDialogs_.get()) {
  if (dialogs_ == nullptr) {
    ownDialogs_ = std::make_unique<brondel::platform::TQtDialogs>(this);
    dialogs_ = ownDialogs_.get();
  }
  brondel::IPlaybackHost& host = *this;
  playback_ = std::make_unique<brondel::TPlayback>(docs_, midi_, host);
  BuildControls();
  BuildMenu();
  PatternWindow1 = new TPatternWindow(docs_, this);
  BuildViewMenu();
  ConnectPatternWindow();
  gridCells_ = std::make_unique<TSettingsGridCells>(StringGrid1);
  // The stream reports a buffer handed back from its own thread; a posted no-op wakes the
  // window's event loop so that a waiting play looks at its buffer again.
  midi_.SetBufferDoneNotifier([this] {
    buffersDone_.fetch_add(1);
    QMetaObject::invokeMethod(
        this, [] {}, Qt::QueuedConnection);
  });
  FormCreate();
}

TForm1::~TForm1() {
  midi_.SetBufferDoneNotifier(nullptr);
}

void TForm1::BuildControls() {
  setObjectName(QStringLiteral("Form1"));
  // The window is laid out in pixels for an 8-point "MS Sans Serif"; where that font is missing,
  // narrow look-alikes keep the captions inside their controls.
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                    QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                    QStringLiteral("DejaVu Sans Condensed")});
  font.setPointSize(8);
  setFont(font);
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("ClientArea"));
  Paint(client, kAqua);
  setCentralWidget(client);

  // Group boxes first, so that the window's own controls drawn over them stay on top.
  GroupBox2 =
      Place(new QGroupBox(QStringLiteral("Nofile"), client), "GroupBox2", QRect(8, 40, 345, 353));
  Paint(GroupBox2, kMoneyGreen);
  Label3 = MakeLabel(GroupBox2, "Label3", 64, 160, "Tempo");
  Label4 = MakeLabel(GroupBox2, "Label4", 120, 160, "Bar");

  GroupBox1 = Place(new QGroupBox(QStringLiteral("Nofile"), client), "GroupBox1",
                    QRect(352, 168, 369, 225));
  Paint(GroupBox1, QApplication::palette().color(QPalette::Window));
  Label5 = MakeLabel(GroupBox1, "Label5", 136, 32, "Tempo");
  Label6 = MakeLabel(GroupBox1, "Label6", 200, 32, "Bar");
  CheckBox2 = Place(new QCheckBox(QStringLiteral("Include tone param"), GroupBox1), "CheckBox2",
                    QRect(224, 16, 121, 17), "Copy part tone params when pasting part");
  Button11 = Place(new QPushButton(QStringLiteral("Copy"), GroupBox1), "Button11",
                   QRect(272, 40, 75, 25), "Copy a part to main file");
  Button10 = Place(new QPushButton(QStringLiteral("Play all"), GroupBox1), "Button10",
                   QRect(176, 176, 75, 25), "Play a simple chord progression starting with Intro1");

  Label1 = MakeLabel(client, "Label1", 8, 0, "Output Device");
  ComboBox1 =
      Place(new QComboBox(client), "ComboBox1", QRect(8, 16, 185, 21), "Select output device");
  ComboBox1->setEditable(true);
  ComboBox1->setInsertPolicy(QComboBox::NoInsert);
  Button3 =
      Place(new QPushButton(QStringLiteral("Stop!!!!"), client), "Button3", QRect(304, 8, 75, 25));
  QFont stopFont = Button3->font();
  stopFont.setBold(true);
  stopFont.setPointSize(10);
  Button3->setFont(stopFont);
  Label7 =
      Place(new QLabel(QStringLiteral("Brondel v2.1"), client), "Label7", QRect(360, 48, 352, 37));
  QFont titleFont = Label7->font();
  titleFont.setBold(true);
  titleFont.setItalic(true);
  titleFont.setPointSize(24);
  Label7->setFont(titleFont);

  Button4 = Place(new QPushButton(QStringLiteral("Update parameters"), client), "Button4",
                  QRect(8, 56, 105, 25), "Upadate params and tempo");
  CheckBox1 = Place(new QCheckBox(QStringLiteral("Change param in all"), client), "CheckBox1",
                    QRect(152, 56, 129, 17), "Apply changes in all sections");
  Paint(CheckBox1, kMoneyGreen);

  StringGrid1 = Place(new QTableWidget(kGridRows, kGridColumns, client), "StringGrid1",
                      QRect(8, 80, 321, 113));
  StringGrid1->horizontalHeader()->hide();
  StringGrid1->verticalHeader()->hide();
  StringGrid1->horizontalHeader()->setMinimumSectionSize(1);
  StringGrid1->verticalHeader()->setMinimumSectionSize(1);
  StringGrid1->horizontalHeader()->setDefaultSectionSize(40);
  StringGrid1->verticalHeader()->setDefaultSectionSize(16);
  StringGrid1->setEditTriggers(QAbstractItemView::AllEditTriggers);
  StringGrid1->setTextElideMode(Qt::ElideNone);  // narrow cells clip their text
  for (int row = 0; row < kGridRows; ++row) {
    for (int column = 0; column < kGridColumns; ++column) {
      auto* item = new QTableWidgetItem();
      if (row == 0 || column == 0) {  // headings: fixed, not editable
        item->setFlags(Qt::ItemIsEnabled);
        item->setBackground(QApplication::palette().color(QPalette::Button));
      }
      StringGrid1->setItem(row, column, item);
    }
  }

  Label2 = MakeLabel(client, "Label2", 144, 192, "File");
  LabeledEdit2 =
      Place(new QLineEdit(client), "LabeledEdit2", QRect(64, 216, 41, 21), "Tempo (10-250)");
  LabeledEdit1 = Place(new QLineEdit(client), "LabeledEdit1", QRect(120, 216, 41, 21));
  LabeledEdit1->setReadOnly(true);
  Label3->setBuddy(LabeledEdit2);
  Label4->setBuddy(LabeledEdit1);
  ListBox2 =
      Place(new QListWidget(client), "ListBox2", QRect(16, 240, 121, 145), "Doubleclick to play");
  ListBox1 =
      Place(new QListWidget(client), "ListBox1", QRect(152, 240, 121, 73), "Doubleclick to play");
  Button5 = Place(new QPushButton(QStringLiteral("Play all"), client), "Button5",
                  QRect(168, 344, 75, 25), "Play a simple chord progression starting with Intro1");

  Button9 = Place(new QPushButton(QStringLiteral("Open"), client), "Button9",
                  QRect(400, 208, 75, 25), "Open a new file to import parts");
  Edit4 = Place(new QLineEdit(client), "Edit4", QRect(488, 216, 41, 21));
  Edit4->setReadOnly(true);
  Edit3 = Place(new QLineEdit(client), "Edit3", QRect(552, 216, 41, 21));
  Edit3->setReadOnly(true);
  ListBox3 =
      Place(new QListWidget(client), "ListBox3", QRect(376, 240, 121, 137), "Dubleclick to play");
  ListBox4 =
      Place(new QListWidget(client), "ListBox4", QRect(520, 240, 121, 73), "Doubleclick to play");

  connect(ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Change(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  connect(Button9, &QPushButton::clicked, this, [this] { Button9Click(); });
  connect(Button10, &QPushButton::clicked, this, [this] { Button10Click(); });
  connect(Button11, &QPushButton::clicked, this, [this] { Button11Click(); });
  connect(StringGrid1, &QTableWidget::itemChanged, this, [this] { StringGrid1SetEditText(); });
  // Selecting by mouse or keyboard runs the click handler; the program's own selections are
  // made with signals blocked, so they do not.
  // A mouse click runs it on release, also on the item already selected; a keyboard move runs
  // it when the row changes.
  connect(ListBox2, &QListWidget::itemClicked, this, [this] { ListBox2Click(); });
  connect(ListBox3, &QListWidget::itemClicked, this, [this] { ListBox3Click(); });
  connect(ListBox2, &QListWidget::currentRowChanged, this, [this] {
    if (QApplication::mouseButtons() == Qt::NoButton) ListBox2Click();
  });
  connect(ListBox3, &QListWidget::currentRowChanged, this, [this] {
    if (QApplication::mouseButtons() == Qt::NoButton) ListBox3Click();
  });
  for (QListWidget* list : {ListBox1, ListBox2, ListBox3, ListBox4}) {
    list->viewport()->installEventFilter(this);
  }

  // The controls sit at fixed positions: the window may not shrink below the last of them plus
  // the margin they keep on the left.
  const QRect controls = client->childrenRect();
  client->setMinimumSize(controls.right() + 1 + kClientMargin,
                         controls.bottom() + 1 + kClientMargin);
}

void TForm1::BuildMenu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
  file->setObjectName(QStringLiteral("File1"));
  Open1 = file->addAction(QStringLiteral("Open"), this, [this] { Open1Click(); });
  Open1->setObjectName(QStringLiteral("Open1"));
  Open1->setShortcut(QKeySequence::Open);
  // The platforms' standard Save As and Quit keys are empty on some (Windows), so these two are
  // spelled out, the same everywhere.
  Saveas1 = file->addAction(QStringLiteral("Save as"), this, [this] { Saveas1Click(); });
  Saveas1->setObjectName(QStringLiteral("Saveas1"));
  Saveas1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  // The MIDI commands make or change the main file, so they follow Open and Save as, in a group
  // of their own; Exit stays last.
  file->addSeparator();
  NewFromMidi1 = file->addAction(QStringLiteral("New rhythm from MIDI..."), this,
                                 [this] { NewFromMidi1Click(); });
  NewFromMidi1->setObjectName(QStringLiteral("NewFromMidi1"));
  ImportMidiPart1 = file->addAction(QStringLiteral("Import MIDI part..."), this,
                                    [this] { ImportMidiPart1Click(); });
  ImportMidiPart1->setObjectName(QStringLiteral("ImportMidiPart1"));
  file->addSeparator();
  Exit1 = file->addAction(QStringLiteral("Exit"), this, [this] { Exit1Click(); });
  Exit1->setObjectName(QStringLiteral("Exit1"));
  Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  About1 = menuBar()->addAction(QStringLiteral("About"), this, [this] { About1Click(); });
  About1->setObjectName(QStringLiteral("About1"));
}

// View sits between File and About, where desktop programs keep it; About stays the last item.
void TForm1::BuildViewMenu() {
  View1 = new QMenu(QStringLiteral("View"), menuBar());
  View1->setObjectName(QStringLiteral("View1"));
  Pattern1 = View1->addAction(QStringLiteral("Pattern"), this, [this] { Pattern1Click(); });
  Pattern1->setObjectName(QStringLiteral("Pattern1"));
  menuBar()->insertMenu(About1, View1);
}

// The pattern window's Play runs as a play command, its Stop is the Stop command, and its line
// reads what playback says sounds now.
void TForm1::ConnectPatternWindow() {
  connect(PatternWindow1, &TPatternWindow::PlayClicked, this, [this] { PatternPlayClick(); });
  connect(PatternWindow1, &TPatternWindow::StopClicked, this, [this] { Button3Click(); });
  connect(PatternWindow1, &TPatternWindow::PlayOptionsChanged, this,
          [this] { PatternOptionsChange(); });
  PatternWindow1->FollowPlay([this] { return playback_->PlayingNow(); });
}

void TForm1::FormCreate() {
  setWindowTitle(QStringLiteral("Brondel 2"));
  resize(739, 452);
  if (const QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  // The part streams of both slots exist from here on, empty (they are members of docs_).
  playback_->SetStopFlag(false);
  for (const std::string& name : midi_.OutputDeviceNames()) ComboBox1->addItem(ToQString(name));
  ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
  ComboBox1->lineEdit()->setCursorPosition(0);  // show the start of a long device name
  playback_->OpenMidiStream();
  StringGrid1->setColumnWidth(0, 70);
  CheckBox1->setChecked(true);
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
  if (playDepth_++ == 0) PatternWindow1->SetPlaying(true);
  RunCommand(command);
  if (--playDepth_ == 0) PatternWindow1->SetPlaying(false);
  if (playDepth_ == 0 && closePending_) {
    closePending_ = false;
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
  const brondel::platform::MidiResult stopped = playback_->StopStream();
  if (stopped != brondel::platform::kMidiNoError) {
    playback_->ShowMidiError("OPEN ", stopped);
    return;
  }
  const std::optional<std::string> path = dialogs_->AskOpenFileName();
  if (!path) return;
  brondel::TLoadOutcome outcome = brondel::ReadRhythmFile(*path);
  switch (outcome.status) {
    case brondel::TLoadStatus::kCannotOpen:
      dialogs_->ShowError(outcome.message);
      return;
    case brondel::TLoadStatus::kTooLarge:
    case brondel::TLoadStatus::kNotRhythm:
    case brondel::TLoadStatus::kDamaged:
      dialogs_->ShowMessage(outcome.message);
      return;
    case brondel::TLoadStatus::kLoaded:
      break;
  }
  const std::size_t badFillers = outcome.rhythm->badFillers.size();
  brondel::CommitLoadedRhythm(docs_, slot, std::move(*outcome.rhythm));
  ShowLoadedSlot(slot);
  playback_->SetTimeDivision(slot);
  for (std::size_t i = 0; i < badFillers; ++i) dialogs_->ShowMessage("Error in file");
}

void TForm1::ShowLoadedSlot(int slot) {
  const brondel::TRhythmSlot& doc = docs_.slots[static_cast<std::size_t>(slot)];
  const QString path = ToQString(doc.fileName);
  if (slot == kMainSlot) setWindowTitle(QStringLiteral("Brondel 2     ") + path);
  (slot == kMainSlot ? GroupBox2 : GroupBox1)->setTitle(path);
  (slot == kMainSlot ? LabeledEdit1 : Edit3)
      ->setText(QStringLiteral("%1/%2").arg(doc.numerator).arg(doc.denominator));
  (slot == kMainSlot ? LabeledEdit2 : Edit4)->setText(QString::number(doc.header.Tempo()));

  QListWidget* sections = SectionList(slot);
  {
    const QSignalBlocker blocker(sections);
    sections->clear();
    for (int s = 0; s < brondel::kSectionCount; ++s) {
      sections->addItem(ToQString(brondel::kSectionNames[static_cast<std::size_t>(s)]) +
                        QStringLiteral(",mesures: ") + QString::number(doc.header.BarCount(s)));
    }
  }
  FillPartList(slot, 0, false);
  // Item 0 is selected in all four lists, whichever slot was loaded.
  for (QListWidget* list : {ListBox1, ListBox2, ListBox3, ListBox4}) {
    const QSignalBlocker blocker(list);
    if (list->count() > 0) list->setCurrentRow(0);
  }
  if (slot == kMainSlot) ShowPartSettings();
  SectionSelected(slot, 0);
}

void TForm1::FillPartList(int slot, int section, bool selectFirst) {
  QListWidget* parts = PartList(slot);
  const QSignalBlocker blocker(parts);
  parts->clear();
  const QString prefix = ToQString(brondel::kSectionNames[static_cast<std::size_t>(section)]) + ':';
  for (std::string_view part : brondel::kPartNames) parts->addItem(prefix + ToQString(part));
  if (selectFirst) parts->setCurrentRow(0);
}

QListWidget* TForm1::SectionList(int slot) const {
  return slot == kMainSlot ? ListBox2 : ListBox3;
}
QListWidget* TForm1::PartList(int slot) const {
  return slot == kMainSlot ? ListBox1 : ListBox4;
}

void TForm1::ListBox2Click() {
  RunCommand([this] {
    const int section = ListBox2->currentRow();
    if (section < 0 || !docs_.slots[kMainSlot].Loaded()) return;
    FillPartList(kMainSlot, section, true);
    ShowPartSettings();
    SectionSelected(kMainSlot, section);
  });
}

void TForm1::ListBox3Click() {
  RunCommand([this] {
    const int section = ListBox3->currentRow();
    if (section < 0 || !docs_.slots[kImportSlot].Loaded()) return;
    FillPartList(kImportSlot, section, true);
    SectionSelected(kImportSlot, section);
  });
}

void TForm1::StringGrid1SetEditText() {
  // Typing into a cell only changes the cell's text; "Update parameters" reads it later.
}

void TForm1::Saveas1Click() {
  RunCommand([this] {
    brondel::TSaveImage image = brondel::BuildSaveImage(docs_);
    if (image.refusal) {
      dialogs_->ShowMessage(*image.refusal);
      return;
    }
    const std::optional<std::string> target =
        dialogs_->AskSaveFileName(brondel::ProposedSaveName(docs_.slots[kMainSlot].fileName));
    if (!target) {
      dialogs_->ShowMessage("Error writting file");
      return;
    }
    if (const auto refusal = brondel::SaveTargetRefusal(*target)) {
      dialogs_->ShowMessage(*refusal);
      return;
    }
    const std::string reason = brondel::platform::WriteFileSafely(*target, image.bytes);
    if (!reason.empty()) dialogs_->ShowError("Cannot create file \"" + *target + "\". " + reason);
  });
}

void TForm1::NewFromMidi1Click() {
  RunCommand([this] {
    // Like Open, a new main file first stops what plays.
    const brondel::platform::MidiResult stopped = playback_->StopStream();
    if (stopped != brondel::platform::kMidiNoError) {
      playback_->ShowMidiError("OPEN ", stopped);
      return;
    }
    const brondel::TMidiFilesRead read = brondel::ReadMidiFiles(midiDialogs_->AskMidiFileNames());
    if (!read.refusals.empty()) {
      dialogs_->ShowMessage(brondel::MidiRefusalsText(read.refusals, "\r\n"));
      return;
    }
    if (read.files.empty()) return;
    brondel::TMidiRhythm made = brondel::RhythmFromMidi(read.files);
    if (made.outcome.refusal) {
      dialogs_->ShowMessage(made.outcome.refusal->Text());
      return;
    }
    made.rhythm->slot.fileName = brondel::FreeRhythmName(
        made.rhythm->slot.fileName,
        [](const std::string& name) { return QFileInfo::exists(QFile::decodeName(name.c_str())); });
    brondel::CommitLoadedRhythm(docs_, kMainSlot, std::move(*made.rhythm));
    ShowLoadedSlot(kMainSlot);
    playback_->SetTimeDivision(kMainSlot);
    ShowNotices(made.outcome.notices);
  });
}

void TForm1::ImportMidiPart1Click() {
  RunCommand([this] {
    if (!docs_.slots[kMainSlot].Loaded()) {
      dialogs_->ShowMessage(kOpenBeforeImportMessage);
      return;
    }
    const int section = ListBox2->currentRow();
    const int part = ListBox1->currentRow();
    if (section < 0 || part < 0) {
      dialogs_->ShowMessage(brondel::kSelectTargetMessage);
      return;
    }
    const std::optional<std::string> path = midiDialogs_->AskMidiFileName();
    if (!path) return;
    const brondel::platform::TMidiFileRead read = brondel::platform::ReadMidiFileAt(*path);
    if (!read.error.empty()) {
      dialogs_->ShowMessage(*path + ": " + read.error);
      return;
    }
    const std::vector<brondel::TMidiSourceInfo> sources = brondel::ListMidiSources(read.file);
    if (sources.empty()) {
      dialogs_->ShowMessage(*path + ": holds no notes");
      return;
    }
    std::vector<std::string> lines;
    for (const brondel::TMidiSourceInfo& info : sources) {
      lines.push_back(brondel::DescribeMidiSource(info));
    }
    const auto choice =
        midiDialogs_->ChooseMidiSource(brondel::PartItemText(section, part), lines,
                                       brondel::ProposedMidiSource(read.file, sources, part));
    if (!choice) return;
    const brondel::TMidiImportOutcome outcome = brondel::ImportMidiPart(
        docs_.slots[kMainSlot], *path, read.file,
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
  RunCommand([this] {
    brondel::TRhythmSlot& main = docs_.slots[kMainSlot];
    if (!main.Loaded()) return;
    std::string tempoText = LabeledEdit2->text().toStdString();
    if (!brondel::ApplyTempoText(main.header, tempoText))
      LabeledEdit2->setText(ToQString(tempoText));
    playback_->SetTimeDivision(kMainSlot);
    brondel::ApplyGridToSections(main.header, *gridCells_, CheckBox1->isChecked(),
                                 ListBox2->currentRow());
  });
  DocumentChanged(kMainSlot);
}

void TForm1::Button11Click() {
  RunCommand([this] {
    if (!docs_.slots[kMainSlot].Loaded() || !docs_.slots[kImportSlot].Loaded()) return;
    const brondel::TCopyRequest request{ListBox3->currentRow(), ListBox4->currentRow(),
                                        ListBox2->currentRow(), ListBox1->currentRow(),
                                        CheckBox2->isChecked()};
    if (const auto refusal = brondel::CopyPart(docs_, request, *gridCells_)) {
      dialogs_->ShowMessage(*refusal);
    }
  });
  DocumentChanged(kMainSlot);
}

void TForm1::Button3Click() {
  RunCommand([this] { playback_->Stop(); });
}

void TForm1::ListBox2DblClick() {
  RunPlayCommand([this] { playback_->PlaySection(kMainSlot, ListBox2->currentRow()); });
}

void TForm1::ListBox3DblClick() {
  RunPlayCommand([this] { playback_->PlaySection(kImportSlot, ListBox3->currentRow()); });
}

void TForm1::ListBox1DblClick() {
  RunPlayCommand(
      [this] { playback_->PlayPart(kMainSlot, ListBox2->currentRow(), ListBox1->currentRow()); });
}

void TForm1::ListBox4DblClick() {
  RunPlayCommand(
      [this] { playback_->PlayPart(kImportSlot, ListBox3->currentRow(), ListBox4->currentRow()); });
}

void TForm1::Button5Click() {
  RunPlayCommand([this] { playback_->PlayAllCommand(kMainSlot); });
}
void TForm1::Button10Click() {
  RunPlayCommand([this] { playback_->PlayAllCommand(kImportSlot); });
}

void TForm1::ComboBox1Change() {
  ComboBox1->lineEdit()->setCursorPosition(0);
  RunCommand([this] { playback_->ComboBox1Change(ComboBox1->currentIndex()); });
}

void TForm1::Exit1Click() {
  playback_->SetStopFlag(true);
  playback_->CloseMidiStream();
  closing_ = true;
  close();
}

void TForm1::About1Click() {
  dialogs_->ShowMessage(kAboutText);
}

void TForm1::Pattern1Click() {
  PatternWindow1->show();
  PatternWindow1->raise();
  PatternWindow1->activateWindow();
}

void TForm1::PatternPlayClick() {
  RunPlayCommand([this] {
    playback_->PlayPattern(PatternWindow1->Slot(), PatternWindow1->Section(), PatternWindow1->Mix(),
                           PatternWindow1->Looping());
  });
}

void TForm1::PatternOptionsChange() {
  RunCommand(
      [this] { playback_->ChangePatternPlay(PatternWindow1->Mix(), PatternWindow1->Looping()); });
}

void TForm1::DocumentChanged(int slot) {
  PatternWindow1->DocumentChanged(slot);
}

void TForm1::SectionSelected(int slot, int section) {
  PatternWindow1->ShowSection(slot, section);
}

// ---------------------------------------------------------------------------------------------
// Window events

void TForm1::closeEvent(QCloseEvent* event) {
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

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    if (watched == ListBox1->viewport()) ListBox1DblClick();
    if (watched == ListBox2->viewport()) ListBox2DblClick();
    if (watched == ListBox3->viewport()) ListBox3DblClick();
    if (watched == ListBox4->viewport()) ListBox4DblClick();
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// What playback asks of the window

void TForm1::ShowMessage(const std::string& text) {
  dialogs_->ShowMessage(text);
}

void TForm1::ShowPartSettings() {
  const int section = ListBox2->currentRow();
  if (section < 0 || !docs_.slots[kMainSlot].Loaded()) return;
  brondel::ShowPartSettings(*gridCells_, docs_.slots[kMainSlot].header, section);
}

void TForm1::ShowPlayAllEntry(int slot, int section) {
  QListWidget* sections = SectionList(slot);
  {
    const QSignalBlocker blocker(sections);
    sections->setCurrentRow(section);
  }
  FillPartList(slot, section, false);
  SectionSelected(slot, section);
}

void TForm1::WaitForEvents() {
  // A buffer that ended since the last look needs no wait; otherwise sleep in the event loop
  // until a window event or the stream's notification arrives.
  const unsigned done = buffersDone_.load();
  if (done != buffersSeen_) {
    buffersSeen_ = done;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return;
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}
