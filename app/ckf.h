// The main window TForm1: the main file on the left (slot 0), the import panel on the right
// (slot 1), the device list, Stop, the settings grid and the menu. Every handler reads its
// controls, calls a routine of document/ or playback/, and shows the result.
//
// Its parts live in files of their own: the controls and their layout (main_window_layout.cpp),
// which handler each control runs (main_window_wiring.cpp), the grid as the document sees it
// (settings_grid_view), and what playback asks of the window (window_playback_host.cpp).
#pragma once

#include <QMainWindow>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window_controls.h"
#include "document/rhythm_slot.h"
#include "pattern/edit_history.h"
#include "platform/dialogs.h"
#include "platform/midi_import_dialogs.h"
#include "platform/midi_service.h"
#include "playback/playback.h"
#include "playback/playback_host.h"

namespace brondel::app {

class TPatternWindow;
class TPlayAlongWindow;
class TSettingsGridView;

class TForm1 : public QMainWindow, private IPlaybackHost {
  Q_OBJECT
 public:
  /// Builds the window and runs FormCreate. `dialogs` may be null: then Qt's dialogs are used.
  TForm1(platform::IMidiService& midi, platform::IDialogs* dialogs = nullptr,
         QWidget* parent = nullptr);
  ~TForm1() override;

  /// The program-wide documents and playback state, for tests.
  TRhythmDocuments& Documents() { return docs_; }
  /// The undo history of the main file.
  TEditHistory& EditHistory() { return history_; }
  TPlayback& Playback() { return *playback_; }
  /// The window's controls.
  const TMainWindowControls& Controls() const { return controls_; }
  /// The pattern window (View > Pattern), created hidden with the main window.
  TPatternWindow* PatternWindow() const { return patternWindow_; }
  /// The Play along window (View > Play along), created hidden with the main window.
  TPlayAlongWindow* PlayAlongWindow() const { return playAlongWindow_; }
  /// Puts scripted MIDI import dialogs in place of Qt's, for tests.
  void UseMidiImportDialogs(platform::IMidiImportDialogs& dialogs) { midiDialogs_ = &dialogs; }

  // Command handlers, named after their control (its object name) and event.
  void Open1Click();
  void Saveas1Click();
  void NewFromMidi1Click();
  void ImportMidiPart1Click();
  void Exit1Click();
  /// Edit > Undo and Edit > Redo: the main file's last step taken back or done again.
  void Undo1Click();
  void Redo1Click();
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
  void Pattern1Click();
  /// The pattern window's Play: the section it shows, in its mix, looping while Loop is on.
  void PatternPlayClick();
  /// The pattern window's mix or Loop changed: a play of the pattern follows from its next
  /// repetition.
  void PatternOptionsChange();
  void PlayAlong1Click();

  /// Reads a rhythm file chosen in the open dialog into a slot.
  void OpenRhythmFile(int slot);

  /// The notes or the header of a slot's document changed: every view of it is refreshed.
  void DocumentChanged(int slot);

 protected:
  void closeEvent(QCloseEvent* event) override;
  /// Routes a double-click on a list's viewport to the list's DblClick handler.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // IPlaybackHost (window_playback_host.cpp)
  void ShowMessage(const std::string& text) override;
  void ShowPartSettings() override;
  void ShowPlayAllEntry(int slot, int section) override;
  void WaitForEvents() override;
  /// Has the stream wake the window's event loop whenever it hands a buffer back.
  void ListenForBuffersDone();

  // Wiring (main_window_wiring.cpp)
  /// Connects every control and menu command to its handler.
  void ConnectCommands();
  /// The pattern window's Play runs as a play command, its Stop is the Stop command, and its
  /// line reads what playback says sounds now.
  void ConnectPatternWindow();
  /// The Play along window's plays run as play commands, its Stop is the Stop command, and the
  /// pattern window shows the section it plays.
  void ConnectPlayAlongWindow();
  /// The main file changed by an edit, an undo or a redo: everything that shows it follows,
  /// and a pattern loop plays the change from its next repetition.
  void MainFileEdited();

  void FormCreate();
  /// A section of a slot was selected, by the user or by the program: the pattern window
  /// follows.
  void SectionSelected(int slot, int section);
  void ShowLoadedSlot(int slot);
  void FillPartList(int slot, int section, bool selectFirst);
  /// Runs a command; an error raised inside it ends the command and is shown in an error box.
  void RunCommand(const std::function<void()>& command);
  /// Runs a play command, keeping count so that a close box click waits for the play to end.
  void RunPlayCommand(const std::function<void()>& command);
  /// Shows what an import left out, in one message box.
  void ShowNotices(const std::vector<std::string>& notices);

  // The main file's history (ckf.cpp)
  /// RunCommand for a command that may change the main file: what it changed, also when it
  /// ended with an error, becomes one step `name` of the history.
  void RunRecordedCommand(std::string name, const std::function<void()>& command);
  /// Takes the last step back (`undo`) or does it again, and shows the main file anew.
  void StepHistory(bool undo);
  /// Edit's Undo and Redo: their texts name the step, each enabled while there is one.
  void ShowEditMenu();
  /// The main file's tempo, time signature, section list and grid as the document has them.
  void ShowMainFile();
  /// "Save as" of the main file; true once the file was written.
  bool SaveMainFile();
  /// Asks "Save changes to NAME?" while the main file has unsaved changes: true when the
  /// window may close (nothing unsaved, saved now, or Discard).
  bool MayCloseMainFile();

  TRhythmDocuments docs_;
  TEditHistory history_;  // the main file's changes since it was opened
  platform::IMidiService& midi_;
  std::unique_ptr<platform::IDialogs> ownDialogs_;
  platform::IDialogs* dialogs_;
  std::unique_ptr<platform::IMidiImportDialogs> ownMidiDialogs_;
  platform::IMidiImportDialogs* midiDialogs_;
  std::unique_ptr<TPlayback> playback_;
  TMainWindowControls controls_;
  std::unique_ptr<TSettingsGridView> settingsGrid_;
  TPatternWindow* patternWindow_ = nullptr;
  TPlayAlongWindow* playAlongWindow_ = nullptr;

  int playDepth_ = 0;             // play commands on the call stack
  bool closePending_ = false;     // the close box was used while something played
  bool closing_ = false;          // Exit or a pending close is closing the window now
  unsigned mainFileChanges_ = 0;  // counts every change of the main file
  // The change count the user last answered Discard at: the same state closes unasked.
  std::optional<unsigned> discardedAt_;
  std::atomic<unsigned> buffersDone_{0};
  unsigned buffersSeen_ = 0;
};

}  // namespace brondel::app
