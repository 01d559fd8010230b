// Painting a section's pattern where a TPatternLayout places it, onto any paint device: the
// window's view, an image, an SVG file. Lanes in one colour per part, rows named by their keys,
// bar and beat lines, bar numbers on top, one bar per note shaded by its velocity, the section's
// end and a play position. Only what lies in the area asked for is painted, so that a view of a
// long section repaints as fast as a short one.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "pattern/painting/pattern_layout.h"

namespace brondel::pattern {

/// What a picture shows besides the pattern itself.
struct TPatternPaintOptions {
  QString caption;  // in the corner above the names, the section's name
  std::array<bool, kPartCount> audible{true, true, true, true, true};  // others are faded
  std::optional<std::uint32_t> playTick;  // a line across the lanes at this tick
};

/// The colour of part 0-4: its notes at full velocity and its lane's title.
QColor PartColour(int part);
/// The colour of a note of part 0-4: the part's colour, paler the softer the note (velocities
/// above 127 count as 127).
QColor NoteColour(int part, int velocity);
/// The background of row `row`, which shows `key`, in the lane of part 0-4: on the drums every
/// other row is darker, on the other parts the rows of the black keys, as on a keyboard.
QColor RowColour(int part, int row, int key);
/// The colour between and below the lanes.
QColor BackgroundColour();
/// Where the play position's line stands at `tick`: two pixels wide, centred on the tick, over
/// the time area's height (what lies outside the time area is not painted).
QRectF PlayLineRect(const TPatternLayout& layout, std::uint32_t tick);

/// Paints everything of the picture that lies in `area` (view coordinates).
void PaintPattern(QPainter& painter, const TPatternLayout& layout,
                  const TPatternPaintOptions& options, const QRectF& area);

}  // namespace brondel::pattern
