// The Play along window (View > Play along): the main file's rhythm played live, as a keyboard
// plays it under the left hand. A chart field with "Play chart" (the chart from its start, the
// bar sounding highlighted), a chord pad (twelve roots times the common types, and N.C.; a click
// changes the chord at once, also while playing), the section buttons Intro, Var1, Var2, Fill,
// Ending, Sync start and Stop, the chord and section sounding, and each part's settings for the
// session (break point, invert, retrigger). Everything it plays goes through TPlayback's live
// play on the program's one stream; while stopped, Intro, Var1, Var2 and Sync start start a play
// (Sync start waits for the first chord), while playing they ask for the section at the next bar
// line. A timer (every 20 ms, while the window shows) reads what sounds.
#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "chords/chord_map.h"
#include "playback/playback.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace brondel::app {

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
  QTimer timer_;
  int sectionShown_ = -1;
  int chartBarShown_ = -2;
};

}  // namespace brondel::app
