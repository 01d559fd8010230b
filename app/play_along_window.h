// The Play along window (View > Play along): the main file's rhythm played live, as a keyboard
// plays it under the left hand. A chart field with "Play chart" (the chart from its start, the
// bar sounding highlighted), a chord pad (twelve roots times the common types, and N.C.; a click
// changes the chord at once, also while playing), the section buttons Intro, Var1, Var2, Fill,
// Ending, Sync start and Stop, the chord and section sounding, and each part's settings for the
// session (break point, invert, retrigger). Everything it plays goes through TPlayback's live
// play on the program's one stream; while stopped, Intro, Var1, Var2 and Sync start start a play
// (Sync start waits for the first chord), while playing they ask for the section at the next bar
// line. A timer (every 20 ms, while the window shows) reads what sounds.
//
// A MIDI keyboard plays along too (TKeyboardPlay, once SetInputs gave the inputs): the input
// chosen (none by default), its split point on an on-screen keyboard (a click sets it) or learnt
// from the next key pressed, memory, fingered or one finger, the melody's program, and the
// programs that ask for sections (changeable). Its chords, sections and melody reach the live play
// from the input's own thread; the window only sets the switches and, on its timer, shows the split
// point and a device that went away.
#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include <memory>

#include "chords/chord_map.h"
#include "platform/midi_input.h"
#include "playback/keyboard_play.h"
#include "playback/playback.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace brondel::app {

class TSplitKeyboard;

class TPlayAlongWindow : public QWidget {
  Q_OBJECT
 public:
  /// A hidden window steering `playback`, which must outlive it; `startPlay` runs a live play as
  /// the main window runs its play commands (it returns when the play has ended).
  TPlayAlongWindow(brondel::TPlayback& playback,
                   std::function<void(const brondel::TPlayback::TLiveStart&)> startPlay,
                   QWidget* parent = nullptr);

  /// The chord pad's button for a chord ("Dm", "G7", "N.C."), none for another name.
  QPushButton* PadButton(const QString& name) const;
  /// The section buttons by their text: "Intro", "Var1", "Var2", "Fill", "Ending", "Sync start",
  /// "Stop", and "Play chart".
  QPushButton* Button(const QString& text) const;
  QLineEdit* ChartField() const { return chart_; }
  /// What the window shows of the chord, the section and the chart's bars.
  QLabel* ChordLabel() const { return chordLabel_; }
  QLabel* SectionLabel() const { return sectionLabel_; }
  QLabel* ChartBarsLabel() const { return chartBars_; }
  /// The parts' settings as the window holds them.
  const brondel::chords::TPlaySettings& PlaySettings() const { return settings_; }
  /// Reads what sounds now and shows it (the timer's work).
  void ShowPlaying();

  /// The MIDI inputs a keyboard may be chosen from (they must outlive the window); until then
  /// the input list offers none.
  void SetInputs(brondel::platform::IMidiInputService& inputs);
  /// The input choice: "(none)", then the input devices as listed when the window last showed.
  QComboBox* InputChoice() const { return inputChoice_; }
  /// What the input says: the device's refusal or its going.
  QLabel* InputStatus() const { return inputStatus_; }
  TSplitKeyboard* SplitKeyboard() const { return splitKeyboard_; }
  /// The keyboard play (none before SetInputs).
  brondel::TKeyboardPlay* Keyboard() const { return keyboard_.get(); }

 Q_SIGNALS:
  /// Stop was clicked.
  void StopClicked();
  /// The section sounding changed: the pattern window may show it.
  void SectionSounding(int section);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QWidget* BuildPad();
  QWidget* BuildSections();
  QWidget* BuildSettings();
  void ChordClicked(const brondel::chords::TChordSymbol& chord);
  /// A section button: starts a play from it while stopped, asks for it while playing.
  void SectionClicked(int section, bool startsPlay);
  void SyncStartClicked();
  void PlayChartClicked();
  void SettingsChanged();
  QWidget* BuildKeyboard();
  /// The input list anew, keeping the choice when it is still there.
  void ListInputs();
  void InputChosen(int index);
  /// The section programs as the window shows them, to the keyboard play.
  void SectionProgramsChanged();  // the programs and keys that ask for sections
  /// The split point and a device that went away (the timer's work).
  void ShowKeyboard();
  void Start(brondel::TPlayback::TLiveStart start);
  bool Playing();

  brondel::TPlayback& playback_;
  std::function<void(const brondel::TPlayback::TLiveStart&)> startPlay_;
  brondel::chords::TPlaySettings settings_ = brondel::chords::DefaultPlaySettings();
  std::optional<brondel::chords::TChart> chartPlaying_;
  QLineEdit* chart_ = nullptr;
  QLabel* chartBars_ = nullptr;
  QLabel* chordLabel_ = nullptr;
  QLabel* sectionLabel_ = nullptr;
  QLabel* chartError_ = nullptr;
  std::array<QComboBox*, brondel::kPartCount> breakPoints_{};
  std::array<QCheckBox*, brondel::kPartCount> inverts_{};
  std::array<QCheckBox*, brondel::kPartCount> retriggers_{};
  std::unique_ptr<brondel::TKeyboardPlay> keyboard_;
  QComboBox* inputChoice_ = nullptr;
  QLabel* inputStatus_ = nullptr;
  TSplitKeyboard* splitKeyboard_ = nullptr;
  QLabel* splitLabel_ = nullptr;
  QPushButton* learn_ = nullptr;
  QCheckBox* memory_ = nullptr;
  QComboBox* fingering_ = nullptr;
  QSpinBox* melodyTone_ = nullptr;
  std::array<QSpinBox*, 5> sectionPrograms_{};  // Intro, Var1, Var2, Fill, Ending
  std::array<QSpinBox*, 5> sectionKeys_{};      // the same, by key
  QTimer timer_;
  int sectionShown_ = -1;
  int chartBarShown_ = -2;
};

}  // namespace brondel::app
