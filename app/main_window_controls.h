// The controls of the main window under names that say what they are. Each keeps the object
// name the window has always given it ("Button4" for "Update parameters"), by which the tests
// and the layout know it.
#pragma once

#include <array>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QMainWindow;
class QMenu;
class QPushButton;
class QTableWidget;

namespace brondel::app {

/// The controls of one slot's area: the main file on the left, the import file on the right.
struct TSlotControls {
  QGroupBox* fileBox = nullptr;            // GroupBox2 / GroupBox1: the file's path
  QLineEdit* tempoEdit = nullptr;          // LabeledEdit2 / Edit4
  QLineEdit* timeSignatureEdit = nullptr;  // LabeledEdit1 / Edit3
  QListWidget* sectionList = nullptr;      // ListBox2 / ListBox3
  QListWidget* partList = nullptr;         // ListBox1 / ListBox4
  QPushButton* playAllButton = nullptr;    // Button5 / Button10
};

/// Every control the window's code reads or wires, and the menu's commands.
struct TMainWindowControls {
  QComboBox* outputDeviceBox = nullptr;           // ComboBox1
  QPushButton* stopButton = nullptr;              // Button3
  QPushButton* updateParametersButton = nullptr;  // Button4
  QCheckBox* changeInAllSectionsBox = nullptr;    // CheckBox1
  QTableWidget* settingsGrid = nullptr;           // StringGrid1
  QPushButton* openImportButton = nullptr;        // Button9
  QCheckBox* includeToneParamsBox = nullptr;      // CheckBox2
  QPushButton* copyPartButton = nullptr;          // Button11
  TSlotControls mainFile;
  TSlotControls importFile;

  QAction* openAction = nullptr;            // File > Open (Open1)
  QAction* saveAsAction = nullptr;          // File > Save as (Saveas1)
  QAction* newFromMidiAction = nullptr;     // File > New rhythm from MIDI... (NewFromMidi1)
  QAction* importMidiPartAction = nullptr;  // File > Import MIDI part... (ImportMidiPart1)
  QAction* exitAction = nullptr;            // File > Exit (Exit1)
  QMenu* editMenu = nullptr;                // Edit (Edit1)
  QAction* undoAction = nullptr;            // Edit > Undo (Undo1): "Undo " + the step's name
  QAction* redoAction = nullptr;            // Edit > Redo (Redo1): "Redo " + the step's name
  QMenu* viewMenu = nullptr;                // View (View1)
  QAction* patternAction = nullptr;         // View > Pattern (Pattern1)
  QAction* playAlongAction = nullptr;       // View > Play along (PlayAlong1)
  QAction* aboutAction = nullptr;           // About (About1)

  /// The area of slot 0 (main file) or 1 (import file).
  const TSlotControls& Slot(int slot) const { return slot == 0 ? mainFile : importFile; }
  /// The four lists, each slot's sections and parts.
  std::array<QListWidget*, 4> Lists() const {
    return {mainFile.partList, mainFile.sectionList, importFile.sectionList, importFile.partList};
  }
};

/// Builds the window's controls and menu at their fixed places, each under its object name, and
/// sets the window's name, font and minimum size. Nothing is connected yet.
TMainWindowControls BuildMainWindowControls(QMainWindow& window);

}  // namespace brondel::app
