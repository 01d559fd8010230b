#include "pattern/painting/pattern_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>
#include <vector>

#include "pattern/key_names.h"
#include "platform/qt_text.h"

namespace brondel::pattern {

namespace {

// One hue per part, of about the same weight, told apart at a glance.
constexpr std::array<QRgb, kPartCount> kPartColours = {
    0xD9443F,  // Drums: red
    0x2F6FD0,  // Bass: blue
    0x2E9D57,  // Chord1: green
    0x8E4FC2,  // Chord2: violet
    0xD9851A,  // Chord3: amber
};

const QColor kBackground(0xE6, 0xE9, 0xED);
const QColor kRowLight(0xFC, 0xFC, 0xFD);
const QColor kRowDark(0xEF, 0xF1, 0xF4);
const QColor kNameColumn(0xF4, 0xF5, 0xF7);
const QColor kNameColumnDarkKey(0xE4, 0xE7, 0xEB);
const QColor kRuler(0xDD, 0xE1, 0xE6);
const QColor kBorder(0xB4, 0xBA, 0xC2);
const QColor kInnerBeatLine(0xE8, 0xEB, 0xEF);
const QColor kBeatLine(0xD2, 0xD7, 0xDE);
const QColor kBarLine(0x9A, 0xA2, 0xAD);
const QColor kText(0x2B, 0x2F, 0x36);
const QColor kFaintText(0x86, 0x8C, 0x95);
const QColor kAfterEnd(0x9A, 0xA2, 0xAD, 0x48);
const QColor kEndLine(0x4A, 0x50, 0x58);
const QColor kPlayLine(0xE0, 0x1E, 0x5A);
const QColor kFade(0xE6, 0xE9, 0xED, 0xB0);

constexpr int kMaxVelocity = 127;
constexpr double kSoftestShade = 0.3;  // a velocity-1 note keeps this much of its colour
constexpr double kMinBeatSpacing = 6;  // pixels; closer beat lines are left out
constexpr double kMinBarSpacing = 4;
constexpr double kMinBarLabelSpacing = 34;
constexpr double kMinBeatLabelSpacing = 40;
constexpr double kMinOutlinedWidth = 5;
constexpr int kTextIndent = 10;
constexpr int kSwatchWidth = 4;

QColor Mix(const QColor& from, const QColor& to, double share) {
  const auto blend = [share](int a, int b) {
    return static_cast<int>(std::lround(a + (b - a) * share));
  };
  return QColor(blend(from.red(), to.red()), blend(from.green(), to.green()),
                blend(from.blue(), to.blue()));
}

// A lane's title strip, across the name column and the time area: a wash of the part's colour.
QColor LaneTitleColour(int part) {
  return Mix(PartColour(part), Qt::white, 0.84);
}

bool IsBlackKey(int key) {
  const int pitch = key % 12;
  return pitch == 1 || pitch == 3 || pitch == 6 || pitch == 8 || pitch == 10;
}

bool IsDrums(int part) {
  return part == 0;
}

QFont PixelFont(int pixels, bool bold = false) {
  QFont font;
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QString RowName(int part, int key) {
  return QString::fromStdString(KeyName(part, key));
}

// How many bars apart the drawn bar lines (or their labels) stand so that they keep `spacing`
// pixels: 1, 2, 4, 8 ...
std::uint64_t BarStep(double barPixels, double spacing) {
  std::uint64_t step = 1;
  while (barPixels * static_cast<double>(step) < spacing && step < (1u << 20)) step *= 2;
  return step;
}

double BarPixels(const TPatternLayout& layout) {
  const TPatternMeter& meter = layout.Pattern().meter;
  if (!meter.HasBars()) return 0;
  return 4.0 * meter.ticksPerQuarter * meter.numerator / meter.denominator * layout.PixelsPerTick();
}

double BeatPixels(const TPatternLayout& layout) {
  const TPatternMeter& meter = layout.Pattern().meter;
  if (!meter.HasBeats()) return 0;
  return 4.0 * meter.ticksPerQuarter / meter.denominator * layout.PixelsPerTick();
}

// The grid lines from the left edge of `area` to its right edge, bar lines thinned so that they
// keep their spacing, beat lines left out when they would crowd.
std::vector<TGridLine> LinesIn(const TPatternLayout& layout, const QRectF& area) {
  const auto [first, last] = layout.TicksIn(area);
  const std::uint64_t barStep = BarStep(BarPixels(layout), kMinBarSpacing);
  const bool withBeats = BeatPixels(layout) >= kMinBeatSpacing;
  std::vector<TGridLine> lines = GridLines(layout.Pattern().meter, first, last);
  std::erase_if(lines, [&](const TGridLine& line) {
    return line.bar == 0 ? !withBeats : (line.bar - 1) % barStep != 0;
  });
  return lines;
}

void PaintLaneBackgrounds(QPainter& painter, const TPatternLayout& layout, const QRectF& area) {
  for (int part = 0; part < kPartCount; ++part) {
    if (!layout.LaneRect(part).intersects(area)) continue;
    painter.fillRect(layout.LaneTitleRect(part), LaneTitleColour(part));
    const auto& keys = layout.Pattern().lanes[static_cast<std::size_t>(part)].keys;
    for (int row = 0; row < layout.LaneRows(part); ++row) {
      const QRectF rect = layout.RowRect(part, row);
      if (!rect.intersects(area)) continue;
      // An empty lane's one row is light, as row 0 of the drums and key 0 (a C) of the others are.
      const int key = keys.empty() ? 0 : keys[static_cast<std::size_t>(row)];
      painter.fillRect(rect, RowColour(part, row, key));
    }
  }
}

// Lines inside a compound beat, then beat lines, then bar lines, each over the lighter ones.
void PaintGridLines(QPainter& painter, const TPatternLayout& layout, const QRectF& area) {
  const std::vector<TGridLine> lines = LinesIn(layout, area);
  const auto strength = [](const TGridLine& line) {
    return line.bar != 0 ? 2 : line.pulse ? 1 : 0;
  };
  const std::array<QColor, 3> colours = {kInnerBeatLine, kBeatLine, kBarLine};
  for (int level = 0; level < 3; ++level) {
    painter.setPen(QPen(colours[static_cast<std::size_t>(level)], 1));
    for (const TGridLine& line : lines) {
      if (strength(line) != level) continue;
      const double x = std::floor(layout.TickToX(static_cast<double>(line.tick))) + 0.5;
      painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
  }
}

// The section ends where its buffer ends; the bars it has beyond that stay silent.
void PaintSectionEnd(QPainter& painter, const TPatternLayout& layout, const QRectF& area) {
  const double end = std::floor(layout.TickToX(layout.Pattern().length)) + 0.5;
  const double timelineEnd = layout.TickToX(0) + layout.TimelineWidth();
  painter.fillRect(QRectF(QPointF(end, area.top()), QPointF(timelineEnd, area.bottom())),
                   kAfterEnd);
  painter.fillRect(QRectF(QPointF(timelineEnd, area.top()), area.bottomRight()), kBackground);
  painter.setPen(QPen(kEndLine, 1));
  painter.drawLine(QPointF(end, area.top()), QPointF(end, area.bottom()));
}

void PaintNotes(QPainter& painter, const TPatternLayout& layout, const QRectF& area) {
  const TSectionPattern& pattern = layout.Pattern();
  const auto [left, last] = layout.TicksIn(area);
  // A note drawn wider than it lasts reaches in from a little before the left edge.
  const auto reach =
      static_cast<std::uint32_t>(std::ceil(TPatternLayout::kMinNoteWidth / layout.PixelsPerTick()));
  const std::uint32_t first = left > reach ? left - reach : 0;
  for (int part = 0; part < kPartCount; ++part) {
    if (!layout.LaneRect(part).intersects(area)) continue;
    const QColor outline = PartColour(part).darker(135);
    for (const TPatternNote& note : pattern.NotesNear(part, first, last)) {
      const QRectF rect = layout.NoteRect(note);
      if (!rect.intersects(area)) continue;
      // A bar wide enough gets an outline and a pixel's gap before the next note of its key; a
      // narrower one, a note cut short, is drawn in the outline's colour to stand out.
      if (rect.width() >= kMinOutlinedWidth) {
        painter.fillRect(rect.adjusted(0, 0, -1, 0), outline);
        painter.fillRect(rect.adjusted(1, 1, -2, -1), NoteColour(part, note.velocity));
      } else {
        painter.fillRect(rect, outline);
      }
    }
  }
}

// Each lane's velocity strip: one bar per note, at its start, as tall as it is loud.
void PaintVelocities(QPainter& painter, const TPatternLayout& layout, const QRectF& area) {
  if (!layout.VelocityLanes()) return;
  const TSectionPattern& pattern = layout.Pattern();
  const auto [first, last] = layout.TicksIn(area);
  for (int part = 0; part < kPartCount; ++part) {
    const QRectF strip = layout.VelocityRect(part);
    if (!strip.intersects(area)) continue;
    painter.fillRect(strip.intersected(area), kRowLight);
    painter.setPen(QPen(kBeatLine, 1));
    painter.drawLine(QPointF(area.left(), strip.top() + 0.5),
                     QPointF(area.right(), strip.top() + 0.5));
    for (const TPatternNote& note : pattern.NotesNear(part, first, last)) {
      painter.fillRect(layout.VelocityBar(note), PartColour(part).darker(120));
    }
  }
}

void PaintFadedLanes(QPainter& painter, const TPatternLayout& layout,
                     const TPatternPaintOptions& options, const QRectF& area) {
  for (int part = 0; part < kPartCount; ++part) {
    QRectF lane = layout.LaneRect(part);
    lane.setBottom(layout.VelocityRect(part).bottom());
    if (!options.audible[static_cast<std::size_t>(part)] && lane.intersects(area)) {
      painter.fillRect(lane.intersected(area), kFade);
    }
  }
}

// Over the time area's clip, which keeps the line off the ruler and the name column.
void PaintPlayLine(QPainter& painter, const TPatternLayout& layout,
                   const TPatternPaintOptions& options) {
  if (!options.playTick) return;
  painter.fillRect(PlayLineRect(layout, *options.playTick), kPlayLine);
}

void PaintTimeArea(QPainter& painter, const TPatternLayout& layout,
                   const TPatternPaintOptions& options, const QRectF& area) {
  const QRectF clip = layout.TimeArea().intersected(area);
  if (clip.isEmpty()) return;
  painter.save();
  painter.setClipRect(clip);
  painter.fillRect(clip, kBackground);
  PaintLaneBackgrounds(painter, layout, clip);
  PaintGridLines(painter, layout, clip);
  PaintSectionEnd(painter, layout, clip);
  PaintNotes(painter, layout, clip);
  PaintVelocities(painter, layout, clip);
  PaintFadedLanes(painter, layout, options, clip);
  PaintPlayLine(painter, layout, options);
  painter.restore();
}

void PaintLaneTitle(QPainter& painter, const TPatternLayout& layout, int part) {
  const QRectF title = layout.LaneTitleRect(part);
  const QRectF inColumn(0, title.top(), TPatternLayout::kNameColumnWidth, title.height());
  painter.fillRect(inColumn, LaneTitleColour(part));
  painter.fillRect(QRectF(0, title.top(), kSwatchWidth, layout.LaneRect(part).height()),
                   PartColour(part));
  painter.setFont(PixelFont(12, true));
  painter.setPen(PartColour(part).darker(150));
  painter.drawText(inColumn.adjusted(kTextIndent, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   ToQString(kPartNames[static_cast<std::size_t>(part)]));
}

void PaintRowNames(QPainter& painter, const TPatternLayout& layout, int part, const QRectF& area) {
  const auto& keys = layout.Pattern().lanes[static_cast<std::size_t>(part)].keys;
  painter.setFont(PixelFont(11));
  const QFontMetricsF metrics(painter.font());
  const double textWidth = TPatternLayout::kNameColumnWidth - kTextIndent - 6;
  if (keys.empty()) {
    painter.setPen(kFaintText);
    const QRectF row = layout.RowRect(part, 0);
    painter.drawText(row.adjusted(kTextIndent, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("no notes"));
    return;
  }
  for (int row = 0; row < static_cast<int>(keys.size()); ++row) {
    const QRectF rect = layout.RowRect(part, row);
    if (!rect.intersects(area)) continue;
    const int key = keys[static_cast<std::size_t>(row)];
    const QRectF cell(kSwatchWidth, rect.top(), TPatternLayout::kNameColumnWidth - kSwatchWidth,
                      rect.height());
    if (!IsDrums(part) && IsBlackKey(key)) painter.fillRect(cell, kNameColumnDarkKey);
    painter.setPen(kText);
    painter.drawText(QRectF(kTextIndent, rect.top(), textWidth, rect.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(RowName(part, key), Qt::ElideRight, textWidth));
  }
}

void PaintNameColumn(QPainter& painter, const TPatternLayout& layout,
                     const TPatternPaintOptions& options, const QRectF& area) {
  const QRectF column(0, TPatternLayout::kRulerHeight, TPatternLayout::kNameColumnWidth,
                      layout.ViewSize().height() - TPatternLayout::kRulerHeight);
  const QRectF clip = column.intersected(area);
  if (clip.isEmpty()) return;
  painter.save();
  painter.setClipRect(clip);
  painter.fillRect(clip, kBackground);
  for (int part = 0; part < kPartCount; ++part) {
    const QRectF lane = layout.LaneRect(part);
    if (!lane.intersects(clip)) continue;
    painter.fillRect(QRectF(0, lane.top(), column.width(), lane.height()), kNameColumn);
    PaintLaneTitle(painter, layout, part);
    PaintRowNames(painter, layout, part, clip);
    if (layout.VelocityLanes()) {
      const QRectF strip = layout.VelocityRect(part);
      painter.fillRect(QRectF(0, strip.top(), column.width(), strip.height()), kNameColumn);
      painter.setFont(PixelFont(11));
      painter.setPen(kFaintText);
      painter.drawText(QRectF(kTextIndent, strip.top(), column.width(), strip.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velocity"));
    }
    if (!options.audible[static_cast<std::size_t>(part)]) {
      painter.fillRect(QRectF(0, lane.top(), column.width(), lane.height()), kFade);
    }
  }
  painter.setPen(kBorder);
  painter.drawLine(QPointF(column.right() - 0.5, column.top()),
                   QPointF(column.right() - 0.5, column.bottom()));
  painter.restore();
}

void PaintRuler(QPainter& painter, const TPatternLayout& layout, const QRectF& area) {
  const QRectF ruler(TPatternLayout::kNameColumnWidth, 0,
                     layout.ViewSize().width() - TPatternLayout::kNameColumnWidth,
                     TPatternLayout::kRulerHeight);
  const QRectF clip = ruler.intersected(area);
  if (clip.isEmpty()) return;
  // A number stands right of its line: lines left of the area may reach into it.
  const std::vector<TGridLine> lines = LinesIn(layout, ruler);
  painter.save();
  painter.setClipRect(clip);
  painter.fillRect(clip, kRuler);
  painter.setFont(PixelFont(11));
  const std::uint64_t labelStep = BarStep(BarPixels(layout), kMinBarLabelSpacing);
  // Felt beats are numbered when there is room: every beat, or every third eighth in 12/8.
  const bool withBeatLabels =
      BeatPixels(layout) * layout.Pattern().meter.BeatsPerPulse() >= kMinBeatLabelSpacing;
  for (const TGridLine& line : lines) {
    const double x = std::floor(layout.TickToX(static_cast<double>(line.tick))) + 0.5;
    const bool bar = line.bar != 0;
    painter.setPen(bar ? kBarLine : kBorder);
    painter.drawLine(QPointF(x, ruler.bottom() - (bar ? 12 : 5)), QPointF(x, ruler.bottom()));
    // The line at the timeline's end starts no bar of the section: it has no number.
    if (line.tick >= layout.Pattern().Extent()) continue;
    if (bar && (line.bar - 1) % labelStep == 0) {
      painter.setPen(kText);
      painter.drawText(QRectF(x + 3, 0, kMinBarLabelSpacing * static_cast<double>(labelStep),
                              ruler.height() - 4),
                       Qt::AlignLeft | Qt::AlignVCenter, QString::number(line.bar));
    } else if (!bar && line.pulse && withBeatLabels) {
      const TMusicalPosition at = layout.Pattern().meter.PositionOf(line.tick);
      painter.setPen(kFaintText);
      painter.drawText(QRectF(x + 3, 0, kMinBeatLabelSpacing, ruler.height() - 4),
                       Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral("%1.%2").arg(at.bar).arg(at.beat));
    }
  }
  painter.setPen(kBorder);
  painter.drawLine(QPointF(ruler.left(), ruler.bottom() - 0.5),
                   QPointF(ruler.right(), ruler.bottom() - 0.5));
  painter.restore();
}

void PaintCorner(QPainter& painter, const TPatternPaintOptions& options, const QRectF& area) {
  const QRectF corner(0, 0, TPatternLayout::kNameColumnWidth, TPatternLayout::kRulerHeight);
  if (!corner.intersects(area)) return;
  painter.fillRect(corner, kRuler);
  painter.setFont(PixelFont(12, true));
  painter.setPen(kText);
  painter.drawText(corner.adjusted(kTextIndent, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   options.caption);
  painter.setPen(kBorder);
  painter.drawLine(QPointF(corner.right() - 0.5, 0),
                   QPointF(corner.right() - 0.5, corner.bottom()));
  painter.drawLine(QPointF(0, corner.bottom() - 0.5),
                   QPointF(corner.right(), corner.bottom() - 0.5));
}

}  // namespace

QColor PartColour(int part) {
  return QColor(kPartColours[static_cast<std::size_t>(part)]);
}

QColor NoteColour(int part, int velocity) {
  const double loudness = std::clamp(velocity, 0, kMaxVelocity) / double{kMaxVelocity};
  return Mix(Qt::white, PartColour(part), kSoftestShade + (1 - kSoftestShade) * loudness);
}

QColor RowColour(int part, int row, int key) {
  const bool dark = IsDrums(part) ? row % 2 == 1 : IsBlackKey(key);
  return dark ? kRowDark : kRowLight;
}

QColor BackgroundColour() {
  return kBackground;
}

QRectF PlayLineRect(const TPatternLayout& layout, std::uint32_t tick) {
  const QRectF area = layout.TimeArea();
  return QRectF(layout.TickToX(tick) - 1, area.top(), 2, area.height());
}

void PaintPattern(QPainter& painter, const TPatternLayout& layout,
                  const TPatternPaintOptions& options, const QRectF& area) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  PaintTimeArea(painter, layout, options, area);
  PaintNameColumn(painter, layout, options, area);
  PaintRuler(painter, layout, area);
  PaintCorner(painter, options, area);
  painter.restore();
}

}  // namespace brondel::pattern
