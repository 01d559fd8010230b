// The pattern window: a second, resizable window beside the main window that shows the section
// last selected in either slot as a sequencer shows a pattern. It follows:
//  - a section the user selects in ListBox2 or ListBox3 (mouse or keyboard);
//  - the section Play all is playing, as its walk selects it in the list;
//  - Intro1 of a slot a file has just been opened into (the section its list now selects);
//    the other slot's list, which the open also resets, is not followed;
//  - every change of the document it shows: "Update parameters", "Copy", an open ("Save as"
//    changes nothing it shows).
// A toolbar above the view holds Play, Stop and Loop, then the zoom. While anything plays, a
// timer (every 10 ms, running only while something plays and the window shows)
// reads what sounds and moves the play line across the section shown; the line shows only when
// what sounds is that section (or one of its parts), and goes at Stop and at the end.
//
// Once SetEditing has been called, a section of the main file can be edited: a second toolbar
// holds Undo and Redo, the snap, the velocity of new notes, audition, "Add drum row", Quantize,
// the section's bar count and the Part menu; a status line shows the bytes used and what the
// last edit did or why it was refused. A section of the import file stays read-only (its notes
// can be selected and copied) and says so. The title carries a `*` while the main file has
// changes not saved.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "document/rhythm_slot.h"
#include "pattern/edit_history.h"
#include "pattern/section_edit.h"
#include "playback/playback.h"
#include "render/part_mix.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class QToolBar;
class QToolButton;

namespace brondel::app {

class TPatternView;

class TPatternWindow : public QWidget {
  Q_OBJECT
 public:
  /// A hidden pattern window over both slots of `docs`, which must outlive it.
  explicit TPatternWindow(const brondel::TRhythmDocuments& docs, QWidget* parent = nullptr);

  /// Shows section 0-9 of slot 0 or 1.
  void ShowSection(int slot, int section);
  /// The document of a slot changed: the pattern is built anew if it shows that slot.
  void DocumentChanged(int slot);

  /// The slot shown, -1 before any selection, and its section.
  int Slot() const { return slot_; }
  int Section() const { return section_; }
  /// The view of the pattern.
  TPatternView* View() const { return view_; }
  /// The lanes' mute and solo switches: the parts the window's own playing is to sound.
  brondel::TPartMix Mix() const;
  /// True while "Loop" is on: the window's Play repeats the section until Stop.
  bool Looping() const;
  /// The toolbar's Play, Stop and Loop.
  QAction* PlayAction() const { return play_; }
  QAction* StopAction() const { return stop_; }
  QAction* LoopAction() const { return loop_; }

  /// Where the play line is read from: what sounds now and where, none when nothing does.
  void FollowPlay(std::function<std::optional<brondel::TPlayingPosition>()> playingNow);
  /// A play command started (true) or the last one ended (false): the line follows the sound
  /// from the start until nothing sounds any more.
  void SetPlaying(bool playing);
  /// True while the play line's timer runs.
  bool FollowingPlay() const { return lineTimer_.isActive(); }
  /// One step of the play line (the timer's): the line goes where the sound is, if that is in the
  /// section shown, and the timer stops once nothing sounds and no play command runs.
  void MovePlayLine();

  /// Lets the window edit the main file (slot 0) of `docs`, each change one step of `history`;
  /// both outlive the window. Until then the window only shows.
  void SetEditing(brondel::TRhythmDocuments* docs, brondel::TEditHistory* history);
  /// True when the section shown may be edited: a section of the main file, editing set.
  bool Editable() const;

  /// Writes an edit of the section shown into the main file as one step of the history; a
  /// refusal is shown in the status line and changes nothing. True when written.
  bool ApplyEdit(const brondel::TNotesEdit& edit);
  /// The main file's history changed elsewhere (a save, a step recorded by the main window):
  /// the title's `*` and Undo's and Redo's tool tips follow. Edits, undos and redos made here
  /// and DocumentChanged do it themselves; otherwise it happens when the window is activated.
  void HistoryChanged();
  /// Who takes the toolbar's Undo and Redo (true: undo) on the main file: the main window, which
  /// also makes the stream follow a tempo taken back. Unset, the window steps the history itself.
  void StepHistoryWith(std::function<void(bool undo)> step) { stepHistory_ = std::move(step); }
  /// A step of the main file's history was taken back (true) or done again, wherever it was
  /// asked for: the status line names it.
  void HistoryStepped(bool undo, const std::string& name);
  /// Takes back the last step of the main file's history, or does it again.
  void Undo();
  void Redo();
  /// Gives the section shown `bars` bars (with `repeat`, its bars played again).
  void SetBars(int bars, bool repeat);
  /// Adds a row for drum key 0-127 to the drum lane.
  void AddDrumRow(int key);
  /// Part menu commands on the section shown.
  void ClearPart(int part);
  void TransposePart(int part, int keys);
  void CopyPartTo(int part, int section);

  /// The toolbar's controls.
  QAction* UndoAction() const { return undo_; }
  QAction* RedoAction() const { return redo_; }
  QAction* AuditionAction() const { return audition_; }
  QComboBox* SnapBox() const { return snapBox_; }
  QSpinBox* VelocityBox() const { return velocityBox_; }
  /// The status line: what the last edit did or why it was refused; the bytes used; the
  /// read-only notice.
  QString Message() const;
  QString BytesText() const;
  QLabel* ReadOnlyNotice() const { return notice_; }

 Q_SIGNALS:
  /// An edit, an undo or a redo made in this window changed the main file.
  void MainFileEdited();
  /// A note clicked, drawn or moved, to be heard briefly on its part's channel with the part's
  /// sound.
  void AuditionRequested(int part, int key, int velocity);

  /// Play was clicked: the section shown is to play in the window's mix.
  void PlayClicked();
  /// Stop was clicked.
  void StopClicked();
  /// A mute or solo switch or Loop changed: a play of the window's is to follow.
  void PlayOptionsChanged();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildToolBar();
  void BuildEditBar();
  QToolButton* BuildPartMenu();
  /// Undo's and Redo's state and tool tips, and the title's `*`.
  void UpdateHistoryState();
  /// Undo (true) or Redo on the main file, and what it did shown.
  void StepHistory(bool undo);
  /// The main file was changed here: the main window is told (it refreshes this window), and
  /// the window is refreshed if it was not.
  void MainFileChanged();
  /// An outcome of ApplySectionEdit shown; true when it was written.
  bool Show(const brondel::TEditOutcome& outcome, const std::string& name);
  void ShowMessage(const QString& text, bool refused);
  /// Builds the pattern of the slot and section shown, or marks it out of date while hidden.
  void Refresh();

  const brondel::TRhythmDocuments& docs_;
  int slot_ = -1;
  int section_ = 0;
  bool outOfDate_ = false;  // a change arrived while the window was hidden
  QToolBar* toolBar_ = nullptr;
  QLabel* summary_ = nullptr;
  TPatternView* view_ = nullptr;
  QAction* play_ = nullptr;
  QAction* stop_ = nullptr;
  QAction* loop_ = nullptr;
  std::function<std::optional<brondel::TPlayingPosition>()> playingNow_;
  bool playing_ = false;  // a play command is on the call stack
  QTimer lineTimer_;
  brondel::TRhythmDocuments* editDocs_ = nullptr;  // set: the main file may be edited
  brondel::TEditHistory* history_ = nullptr;
  std::function<void(bool undo)> stepHistory_;

  QToolBar* editBar_ = nullptr;
  QAction* undo_ = nullptr;
  QAction* redo_ = nullptr;
  QAction* audition_ = nullptr;
  QComboBox* snapBox_ = nullptr;
  bool snapChosen_ = false;  // the user picked a snap: it stays, else it follows the meter
  bool applyingDefault_ = false;
  QSpinBox* velocityBox_ = nullptr;
  QComboBox* drumRowBox_ = nullptr;
  QComboBox* strengthBox_ = nullptr;
  QSpinBox* swingBox_ = nullptr;
  QSpinBox* barsBox_ = nullptr;
  QCheckBox* repeatBox_ = nullptr;
  QLabel* notice_ = nullptr;
  QLabel* bytes_ = nullptr;
  QLabel* message_ = nullptr;
  std::vector<int> addedDrumRows_;                       // drum rows added to the section shown
  std::optional<brondel::TSelection> pendingSelection_;  // the last edit's notes, to select
  std::uint64_t refreshes_ = 0;
  brondel::TNoteClipboard clipboard_;
};

}  // namespace brondel::app
