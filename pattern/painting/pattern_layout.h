// Where everything of a section's pattern stands on a picture of it, in pixels. The picture has
// a name column on the left (lane titles, row names) and a ruler on top (bar numbers); the time
// area below and right of them shows the lanes: one title strip and one row per key each. When
// the picture is a scrolling view, the lanes and the timeline move under the name column and the
// ruler, which stay in place. The window and brondel-tool's `draw` paint with it, and the
// window's tool tips find the note under the mouse with it.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <array>
#include <cstdint>
#include <utility>

#include "pattern/pattern_model.h"

namespace brondel::pattern {

class TPatternLayout {
 public:
  static constexpr int kNameColumnWidth = 156;
  static constexpr int kRulerHeight = 24;
  static constexpr int kLaneTitleHeight = 22;
  static constexpr int kRowHeight = 16;
  static constexpr int kLaneGap = 6;          // below each lane
  static constexpr int kTimelineMargin = 12;  // after the timeline's end
  static constexpr double kMinNoteWidth = 3;  // a short note stays visible
  static constexpr double kMaxPixelsPerTick = 4;
  static constexpr int kVelocityHeight = 30;  // a lane's velocity strip, when shown
  static constexpr double kVelocityBarWidth = 3;

  /// The layout of `pattern`, which must outlive it: 1 pixel per tick, unscrolled, no view size
  /// yet.
  explicit TPatternLayout(const TSectionPattern& pattern);

  /// The pattern laid out.
  const TSectionPattern& Pattern() const { return pattern_; }

  /// The zoom: pixels per tick, above 0.
  double PixelsPerTick() const { return pixelsPerTick_; }
  void SetPixelsPerTick(double pixelsPerTick);
  /// The zoom at which the whole timeline fits the time area of a picture `width` wide.
  static double FitPixelsPerTick(const TSectionPattern& pattern, int width);

  /// Sets how far the timeline (x) and the lanes (y) are scrolled, in pixels.
  void SetScroll(QPointF scroll) { scroll_ = scroll; }
  /// The size of the picture or view.
  QSize ViewSize() const { return viewSize_; }
  void SetViewSize(QSize size) { viewSize_ = size; }

  /// The whole timeline's width in pixels at this zoom, margin included.
  double TimelineWidth() const;
  /// All lanes' height in pixels.
  int LanesHeight() const { return lanesHeight_; }
  /// The size of a picture that shows everything unscrolled, `width` pixels wide.
  QSize FullPictureSize(int width) const;

  /// The time area: below the ruler, right of the name column.
  QRectF TimeArea() const;
  /// The x of a tick, and the tick at an x.
  double TickToX(double tick) const;
  double XToTick(double x) const;
  /// The ticks from the left edge of `area` (view coordinates) to its right edge, within the
  /// timeline.
  std::pair<std::uint32_t, std::uint32_t> TicksIn(const QRectF& area) const;

  /// Whether each lane has a velocity strip below its rows (the editor's); none at first.
  void SetVelocityLanes(bool shown);
  bool VelocityLanes() const { return velocityLanes_; }
  /// A lane's velocity strip, across the whole picture's width (empty when none is shown).
  QRectF VelocityRect(int part) const;
  /// A note's velocity bar in its lane's strip: from the strip's foot, as tall as its velocity
  /// is loud (velocities above 127 count as 127).
  QRectF VelocityBar(const TPatternNote& note) const;
  /// The velocity 1-127 a strip's height y stands for.
  int VelocityAt(int part, double y) const;

  /// The rows a lane shows: one per key, at least one (an empty lane keeps a row).
  int LaneRows(int part) const;
  /// A lane's title strip and its rows, across the whole picture's width.
  QRectF LaneRect(int part) const;
  QRectF LaneTitleRect(int part) const;
  QRectF RowRect(int part, int row) const;
  /// The bar of a note.
  QRectF NoteRect(const TPatternNote& note) const;
  /// The note drawn at a point of the time area, the latest-starting one where several overlap;
  /// null when there is none.
  const TPatternNote* NoteAt(QPointF point) const;

 private:
  void PlaceLanes();

  const TSectionPattern& pattern_;
  bool velocityLanes_ = false;
  double pixelsPerTick_ = 1;
  QPointF scroll_;
  QSize viewSize_;
  std::array<int, kPartCount> laneTops_{};  // from the top of the lanes
  int lanesHeight_ = 0;
};

}  // namespace brondel::pattern
