// The main window TForm1: the main file on the left (slot 0), the import panel on the right
// (slot 1), the device list, Stop, the settings grid and the menu. Every handler reads its
// controls, calls a routine of document/ or playback/, and shows the result.
#pragma once

#include <QMainWindow>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/rhythm_slot.h"
#include "platform/dialogs.h"
#include "platform/midi_import_dialogs.h"
#include "platform/midi_service.h"
#include "playback/playback.h"
#include "playback/playback_host.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QTableWidget;
class TPatternWindow;

class TSettingsGridCells;

class TForm1 : public QMainWindow, private brondel::IPlaybackHost {
  Q_OBJECT
 public:
  /// Builds the window and runs FormCreate. `dialogs` may be null: then Qt's dialogs are used.
  TForm1(brondel::platform::IMidiService& midi, brondel::platform::IDialogs* dialogs = nullptr,
         QWidget* parent = nullptr);
  ~TForm1() override;

  /// The program-wide documents and playback state, for tests.
  brondel::TRhythmDocuments& Documents() { return docs_; }
  brondel::TPlayback& Playback() { return *playback_; }
  /// Puts scripted MIDI import dialogs in place of Qt's, for tests.
  void UseMidiImportDialogs(brondel::platform::IMidiImportDialogs& dialogs) {
    midiDialogs_ = &dialogs;
  }

  // Command handlers, named after their control and event.
  void Open1Click();
  void Saveas1Click();
  void NewFromMidi1Click();
  void ImportMidiPart1Click();
  void Exit1Click();
  void About1Click();
  void ComboBox1Change();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button9Click();
  void Button10Click();
  void Button11Click();
  void ListBox1DblClick();
  void ListBox2Click();
  void ListBox2DblClick();
  void ListBox3Click();
  void ListBox3DblClick();
  void ListBox4DblClick();
  void StringGrid1SetEditText();
  void Pattern1Click();
  /// The pattern window's Play: the section it shows, in its mix, looping while Loop is on.
  void PatternPlayClick();
  /// The pattern window's mix or Loop changed: a play of the pattern follows from its next
  /// repetition.
  void PatternOptionsChange();

  /// Reads a rhythm file chosen in the open dialog into a slot.
  void OpenRhythmFile(int slot);

  /// The notes or the header of a slot's document changed: every view of it is refreshed.
  void DocumentChanged(int slot);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // IPlaybackHost
  void ShowMessage(const std::string& text) override;
  void ShowPartSettings() override;
  void ShowPlayAllEntry(int slot, int section) override;
  void WaitForEvents() override;

  void BuildControls();
  void BuildMenu();
  void BuildViewMenu();
  void ConnectPatternWindow();
  /// A section of a slot was selected, by the user or by the program: the pattern window
  /// follows.
  void SectionSelected(int slot, int section);
  void FormCreate();
  void ShowLoadedSlot(int slot);
  void FillPartList(int slot, int section, bool selectFirst);
  QListWidget* SectionList(int slot) const;
  QListWidget* PartList(int slot) const;
  /// Runs a command; an error raised inside it ends the command and is shown in an error box.
  void RunCommand(const std::function<void()>& command);
  /// Runs a play command, keeping count so that a close box click waits for the play to end.
  void RunPlayCommand(const std::function<void()>& command);
  /// Shows what an import left out, in one message box.
  void ShowNotices(const std::vector<std::string>& notices);

  brondel::TRhythmDocuments docs_;
  brondel::platform::IMidiService& midi_;
  std::unique_ptr<brondel::platform::IDialogs> ownDialogs_;
  brondel::platform::IDialogs* dialogs_;
  std::unique_ptr<brondel::platform::IMidiImportDialogs> ownMidiDialogs_;
  brondel::platform::IMidiImportDialogs* midiDialogs_;
  std::unique_ptr<brondel::TPlayback> playback_;
  std::unique_ptr<TSettingsGridCells> gridCells_;

  int playDepth_ = 0;          // play commands on the call stack
  bool closePending_ = false;  // the close box was used while something played
  bool closing_ = false;       // Exit or a pending close is closing the window now
  std::atomic<unsigned> buffersDone_{0};
  unsigned buffersSeen_ = 0;

 public:
  // Controls, under the names the program uses for them.
  QLabel* Label1 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QPushButton* Button3 = nullptr;
  QLabel* Label7 = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QPushButton* Button4 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QTableWidget* StringGrid1 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* LabeledEdit2 = nullptr;
  QLineEdit* LabeledEdit1 = nullptr;
  QListWidget* ListBox2 = nullptr;
  QListWidget* ListBox1 = nullptr;
  QPushButton* Button5 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QPushButton* Button11 = nullptr;
  QPushButton* Button10 = nullptr;
  QPushButton* Button9 = nullptr;
  QLineEdit* Edit4 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QListWidget* ListBox3 = nullptr;
  QListWidget* ListBox4 = nullptr;
  QAction* Open1 = nullptr;
  QAction* Saveas1 = nullptr;
  QAction* NewFromMidi1 = nullptr;
  QAction* ImportMidiPart1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* About1 = nullptr;
  QMenu* View1 = nullptr;
  QAction* Pattern1 = nullptr;
  TPatternWindow* PatternWindow1 = nullptr;
};
