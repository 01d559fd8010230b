// The pattern window's view of a section: the picture of its pattern in a scroll area. The
// lanes scroll under the fixed name column and ruler; Ctrl+wheel zooms around the mouse; a tool
// tip names the note under the mouse; each lane's title carries a mute and a solo switch.
#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "pattern/painting/pattern_layout.h"
#include "pattern/pattern_model.h"
#include "render/part_mix.h"

class QHelpEvent;
class QToolButton;

namespace brondel::app {

/// What a note's tool tip says: its key's name and number, velocity, bar:beat:tick and length.
QString DescribeNote(const brondel::TSectionPattern& pattern, const brondel::TPatternNote& note);

class TPatternView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TPatternView(QWidget* parent = nullptr);
  ~TPatternView() override;

  /// Shows a pattern with a caption (its section's name), or with none a hint. The zoom stays,
  /// or the fit to the view's width; the scroll stays as far as the new pattern reaches.
  void SetPattern(std::optional<brondel::TSectionPattern> pattern, const QString& caption);
  /// The pattern shown; null when none is.
  const brondel::TSectionPattern* Pattern() const;
  /// Where the pattern stands in the view (viewport coordinates); null when none is shown.
  const brondel::pattern::TPatternLayout* Layout() const;

  /// Multiplies the zoom by `factor`, keeping the tick at viewport x `anchorX` in place; the
  /// zoom stays between the fit to the view and 4 pixels per tick.
  void ZoomBy(double factor, double anchorX);
  /// Zooms in or out by one step around the time area's middle.
  void ZoomIn();
  void ZoomOut();
  /// Shows the whole timeline, and keeps it fitted while the view is resized.
  void Fit();
  /// True while the whole timeline is fitted to the view.
  bool Fitting() const { return fitting_; }

  /// Draws the play position's line at a tick, or no line.
  void SetPlayTick(std::optional<std::uint32_t> tick);
  /// The tick the play position's line stands at; none when no line is drawn.
  std::optional<std::uint32_t> PlayTick() const { return playTick_; }

  /// The mute and solo switches of the lanes, as their buttons stand.
  brondel::TPartMix Mix() const;
  /// A lane's mute and solo buttons.
  QToolButton* MuteButton(int part) const;
  QToolButton* SoloButton(int part) const;

 Q_SIGNALS:
  /// A mute or solo switch was flipped.
  void MixChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void wheelEvent(QWheelEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  QToolButton* MakeLaneButton(const QString& text, const QString& hint);
  void FlipSwitch();
  /// Scroll ranges, the layout's view size, zoom and scroll, and the lane buttons, after any
  /// change of the pattern, the zoom or the view's size.
  void UpdateGeometry();
  void PlaceLaneButtons();
  /// Asks for the strip under the play line to be painted again.
  void UpdatePlayLine();
  void SyncScroll();
  bool ShowToolTip(const QHelpEvent& help);

  std::optional<brondel::TSectionPattern> pattern_;
  std::optional<brondel::pattern::TPatternLayout> layout_;
  QString caption_;
  double pixelsPerTick_ = 1;
  bool fitting_ = true;
  std::optional<std::uint32_t> playTick_;
  std::array<QToolButton*, brondel::kPartCount> muteButtons_{};
  std::array<QToolButton*, brondel::kPartCount> soloButtons_{};
};

}  // namespace brondel::app
