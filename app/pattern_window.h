// The pattern window: a second, resizable window beside the main window that shows the section
// last selected in either slot as a sequencer shows a pattern. It follows:
//  - a section the user selects in ListBox2 or ListBox3 (mouse or keyboard);
//  - the section Play all is playing, as its walk selects it in the list;
//  - Intro1 of a slot a file has just been opened into (the section its list now selects);
//    the other slot's list, which the open also resets, is not followed;
//  - every change of the document it shows: "Update parameters", "Copy", an open ("Save as"
//    changes nothing it shows).
// A toolbar above the view holds the zoom; the commands that play the pattern go there too.
#pragma once

#include <QWidget>

#include "document/rhythm_slot.h"
#include "playback/part_mix.h"

class QLabel;
class QToolBar;
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
  /// The toolbar above the view.
  QToolBar* ToolBar() const { return toolBar_; }
  /// The lanes' mute and solo switches: the parts the window's own playing is to sound.
  const brondel::TPartMix& Mix() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildToolBar();
  /// Builds the pattern of the slot and section shown, or marks it out of date while hidden.
  void Refresh();

  const brondel::TRhythmDocuments& docs_;
  int slot_ = -1;
  int section_ = 0;
  bool outOfDate_ = false;  // a change arrived while the window was hidden
  QToolBar* toolBar_ = nullptr;
  QLabel* summary_ = nullptr;
  TPatternView* view_ = nullptr;
};
