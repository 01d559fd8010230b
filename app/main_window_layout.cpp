// The main window's controls at their fixed pixel positions, and its menu.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>

#include "app/main_window_controls.h"
#include "document/settings_grid.h"

namespace brondel::app {
namespace {

const QColor kAqua(0x00, 0xFF, 0xFF);
const QColor kMoneyGreen(0xC0, 0xDC, 0xC0);
constexpr int kClientMargin = 8;  // the left margin of the window's controls
const char kPlayAllHint[] = "Play a simple chord progression starting with Intro1";

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

QLineEdit* MakeReadOnlyEdit(QWidget* parent, const char* name, QRect geometry) {
  auto* edit = Place(new QLineEdit(parent), name, geometry);
  edit->setReadOnly(true);
  return edit;
}

// The window is laid out in pixels for an 8-point "MS Sans Serif"; where that font is missing,
// narrow look-alikes keep the captions inside their controls.
QFont WindowFont() {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                    QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                    QStringLiteral("DejaVu Sans Condensed")});
  font.setPointSize(8);
  return font;
}

// The labels that name the edits below the group boxes, made with their boxes.
struct TEditLabels {
  QLabel* tempo = nullptr;
  QLabel* timeSignature = nullptr;
};

// Builds the controls in the order that stacks them: the group boxes first, so that the window's
// own controls drawn over them stay on top.
class TLayoutBuilder {
 public:
  explicit TLayoutBuilder(QWidget* client) : client_(client) {}

  TMainWindowControls Build() {
    BuildMainFileBox();
    BuildImportFileBox();
    BuildDeviceRow();
    BuildSettingsArea();
    BuildMainFileArea();
    BuildImportFileArea();
    return controls_;
  }

 private:
  void BuildMainFileBox() {
    TSlotControls& area = controls_.mainFile;
    area.fileBox = Place(new QGroupBox(QStringLiteral("Nofile"), client_), "GroupBox2",
                         QRect(8, 40, 345, 353));
    Paint(area.fileBox, kMoneyGreen);
    mainLabels_.tempo = MakeLabel(area.fileBox, "Label3", 64, 160, "Tempo");
    mainLabels_.timeSignature = MakeLabel(area.fileBox, "Label4", 120, 160, "Bar");
  }

  void BuildImportFileBox() {
    TSlotControls& area = controls_.importFile;
    area.fileBox = Place(new QGroupBox(QStringLiteral("Nofile"), client_), "GroupBox1",
                         QRect(352, 168, 369, 225));
    Paint(area.fileBox, QApplication::palette().color(QPalette::Window));
    MakeLabel(area.fileBox, "Label5", 136, 32, "Tempo");
    MakeLabel(area.fileBox, "Label6", 200, 32, "Bar");
    controls_.includeToneParamsBox =
        Place(new QCheckBox(QStringLiteral("Include tone param"), area.fileBox), "CheckBox2",
              QRect(224, 16, 121, 17), "Copy part tone params when pasting part");
    controls_.copyPartButton =
        Place(new QPushButton(QStringLiteral("Copy"), area.fileBox), "Button11",
              QRect(272, 40, 75, 25), "Copy a part to main file");
    area.playAllButton = Place(new QPushButton(QStringLiteral("Play all"), area.fileBox),
                               "Button10", QRect(176, 176, 75, 25), kPlayAllHint);
  }

  void BuildDeviceRow() {
    MakeLabel(client_, "Label1", 8, 0, "Output Device");
    controls_.outputDeviceBox =
        Place(new QComboBox(client_), "ComboBox1", QRect(8, 16, 185, 21), "Select output device");
    controls_.outputDeviceBox->setEditable(true);
    controls_.outputDeviceBox->setInsertPolicy(QComboBox::NoInsert);
    QPushButton* stop = Place(new QPushButton(QStringLiteral("Stop!!!!"), client_), "Button3",
                              QRect(304, 8, 75, 25));
    QFont stopFont = stop->font();
    stopFont.setBold(true);
    stopFont.setPointSize(10);
    stop->setFont(stopFont);
    controls_.stopButton = stop;
    QLabel* title = Place(new QLabel(QStringLiteral("Brondel v2.1"), client_), "Label7",
                          QRect(360, 48, 352, 37));
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setItalic(true);
    titleFont.setPointSize(24);
    title->setFont(titleFont);
  }

  void BuildSettingsArea() {
    controls_.updateParametersButton =
        Place(new QPushButton(QStringLiteral("Update parameters"), client_), "Button4",
              QRect(8, 56, 105, 25), "Upadate params and tempo");
    controls_.changeInAllSectionsBox =
        Place(new QCheckBox(QStringLiteral("Change param in all"), client_), "CheckBox1",
              QRect(152, 56, 129, 17), "Apply changes in all sections");
    Paint(controls_.changeInAllSectionsBox, kMoneyGreen);
    controls_.settingsGrid = BuildSettingsGrid();
  }

  // The part settings grid: parameter names across, part names down, both fixed; cells are
  // edited in place.
  QTableWidget* BuildSettingsGrid() {
    auto* grid = Place(new QTableWidget(kGridRows, kGridColumns, client_), "StringGrid1",
                       QRect(8, 80, 321, 113));
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setMinimumSectionSize(1);
    grid->verticalHeader()->setMinimumSectionSize(1);
    grid->horizontalHeader()->setDefaultSectionSize(40);
    grid->verticalHeader()->setDefaultSectionSize(16);
    grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
    grid->setTextElideMode(Qt::ElideNone);  // narrow cells clip their text
    for (int row = 0; row < kGridRows; ++row) {
      for (int column = 0; column < kGridColumns; ++column) {
        auto* item = new QTableWidgetItem();
        if (row == 0 || column == 0) {  // headings: fixed, not editable
          item->setFlags(Qt::ItemIsEnabled);
          item->setBackground(QApplication::palette().color(QPalette::Button));
        }
        grid->setItem(row, column, item);
      }
    }
    return grid;
  }

  void BuildMainFileArea() {
    TSlotControls& area = controls_.mainFile;
    MakeLabel(client_, "Label2", 144, 192, "File");
    area.tempoEdit =
        Place(new QLineEdit(client_), "LabeledEdit2", QRect(64, 216, 41, 21), "Tempo (10-250)");
    area.timeSignatureEdit = MakeReadOnlyEdit(client_, "LabeledEdit1", QRect(120, 216, 41, 21));
    mainLabels_.tempo->setBuddy(area.tempoEdit);
    mainLabels_.timeSignature->setBuddy(area.timeSignatureEdit);
    area.sectionList = Place(new QListWidget(client_), "ListBox2", QRect(16, 240, 121, 145),
                             "Doubleclick to play");
    area.partList = Place(new QListWidget(client_), "ListBox1", QRect(152, 240, 121, 73),
                          "Doubleclick to play");
    area.playAllButton = Place(new QPushButton(QStringLiteral("Play all"), client_), "Button5",
                               QRect(168, 344, 75, 25), kPlayAllHint);
  }

  void BuildImportFileArea() {
    TSlotControls& area = controls_.importFile;
    controls_.openImportButton = Place(new QPushButton(QStringLiteral("Open"), client_), "Button9",
                                       QRect(400, 208, 75, 25), "Open a new file to import parts");
    area.tempoEdit = MakeReadOnlyEdit(client_, "Edit4", QRect(488, 216, 41, 21));
    area.timeSignatureEdit = MakeReadOnlyEdit(client_, "Edit3", QRect(552, 216, 41, 21));
    area.sectionList = Place(new QListWidget(client_), "ListBox3", QRect(376, 240, 121, 137),
                             "Dubleclick to play");
    area.partList = Place(new QListWidget(client_), "ListBox4", QRect(520, 240, 121, 73),
                          "Doubleclick to play");
  }

  QWidget* client_;
  TMainWindowControls controls_;
  TEditLabels mainLabels_;
};

// File, Edit, View and About. The MIDI commands make or change the main file, so they follow Open
// and Save as, in a group of their own; Exit stays last in File. Edit and View sit between File
// and About, in the order desktop programs keep them; About stays the last item.
void BuildMenu(QMenuBar* bar, TMainWindowControls& controls) {
  const auto add = [](QMenu* menu, const char* text, const char* name) {
    QAction* action = menu->addAction(QString::fromLatin1(text));
    action->setObjectName(QString::fromLatin1(name));
    return action;
  };
  QMenu* file = bar->addMenu(QStringLiteral("File"));
  file->setObjectName(QStringLiteral("File1"));
  controls.openAction = add(file, "Open", "Open1");
  controls.openAction->setShortcut(QKeySequence::Open);
  // The platforms' standard Save As and Quit keys are empty on some (Windows), so these two are
  // spelled out, the same everywhere.
  controls.saveAsAction = add(file, "Save as", "Saveas1");
  controls.saveAsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  file->addSeparator();
  controls.newFromMidiAction = add(file, "New rhythm from MIDI...", "NewFromMidi1");
  controls.importMidiPartAction = add(file, "Import MIDI part...", "ImportMidiPart1");
  file->addSeparator();
  controls.exitAction = add(file, "Exit", "Exit1");
  controls.exitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

  // Undo and Redo name their step once there is one (TForm1::ShowEditMenu).
  controls.editMenu = bar->addMenu(QStringLiteral("Edit"));
  controls.editMenu->setObjectName(QStringLiteral("Edit1"));
  controls.undoAction = add(controls.editMenu, "Undo", "Undo1");
  controls.undoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  controls.undoAction->setEnabled(false);
  controls.redoAction = add(controls.editMenu, "Redo", "Redo1");
  controls.redoAction->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  controls.redoAction->setEnabled(false);

  controls.viewMenu = bar->addMenu(QStringLiteral("View"));
  controls.viewMenu->setObjectName(QStringLiteral("View1"));
  controls.patternAction = add(controls.viewMenu, "Pattern", "Pattern1");
  controls.playAlongAction = add(controls.viewMenu, "Play along", "PlayAlong1");

  controls.aboutAction = bar->addAction(QStringLiteral("About"));
  controls.aboutAction->setObjectName(QStringLiteral("About1"));
}

}  // namespace

TMainWindowControls BuildMainWindowControls(QMainWindow& window) {
  window.setObjectName(QStringLiteral("Form1"));
  window.setFont(WindowFont());
  auto* client = new QWidget(&window);
  client->setObjectName(QStringLiteral("ClientArea"));
  Paint(client, kAqua);
  window.setCentralWidget(client);

  TMainWindowControls controls = TLayoutBuilder(client).Build();
  BuildMenu(window.menuBar(), controls);

  // The controls sit at fixed positions: the window may not shrink below the last of them plus
  // the margin they keep on the left.
  const QRect placed = client->childrenRect();
  client->setMinimumSize(placed.right() + 1 + kClientMargin, placed.bottom() + 1 + kClientMargin);
  return controls;
}

}  // namespace brondel::app
