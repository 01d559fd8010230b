#include "pattern/painting/pattern_layout.h"

#include <algorithm>
#include <cmath>

namespace brondel::pattern {

namespace {

constexpr double kNoteInset = 2;  // between a note's bar and its row's edges

}  // namespace

TPatternLayout::TPatternLayout(const TSectionPattern& pattern) : pattern_(pattern) {
  PlaceLanes();
}

void TPatternLayout::PlaceLanes() {
  int top = 0;
  for (int part = 0; part < kPartCount; ++part) {
    laneTops_[static_cast<std::size_t>(part)] = top;
    top += kLaneTitleHeight + LaneRows(part) * kRowHeight + kLaneGap;
    if (velocityLanes_) top += kVelocityHeight;
  }
  lanesHeight_ = top;
}

void TPatternLayout::SetVelocityLanes(bool shown) {
  velocityLanes_ = shown;
  PlaceLanes();
}

QRectF TPatternLayout::VelocityRect(int part) const {
  const QRectF lane = LaneRect(part);
  return QRectF(0, lane.bottom(), lane.width(), velocityLanes_ ? kVelocityHeight : 0);
}

QRectF TPatternLayout::VelocityBar(const TPatternNote& note) const {
  const QRectF strip = VelocityRect(note.part);
  const double room = strip.height() - 2 * kNoteInset;
  const double height = room * std::min(note.velocity, 127) / 127;
  return QRectF(TickToX(note.start), strip.bottom() - kNoteInset - height, kVelocityBarWidth,
                height);
}

int TPatternLayout::VelocityAt(int part, double y) const {
  const QRectF strip = VelocityRect(part);
  const double room = strip.height() - 2 * kNoteInset;
  const double share = (strip.bottom() - kNoteInset - y) / room;
  return std::clamp(static_cast<int>(std::lround(share * 127)), 1, 127);
}

void TPatternLayout::SetPixelsPerTick(double pixelsPerTick) {
  pixelsPerTick_ = std::max(pixelsPerTick, 1e-6);
}

double TPatternLayout::FitPixelsPerTick(const TSectionPattern& pattern, int width) {
  const double room = std::max(width - kNameColumnWidth - kTimelineMargin, 1);
  return room / pattern.Extent();
}

double TPatternLayout::TimelineWidth() const {
  return pattern_.Extent() * pixelsPerTick_ + kTimelineMargin;
}

QSize TPatternLayout::FullPictureSize(int width) const {
  return {width, kRulerHeight + lanesHeight_};
}

QRectF TPatternLayout::TimeArea() const {
  return QRectF(kNameColumnWidth, kRulerHeight, viewSize_.width() - kNameColumnWidth,
                viewSize_.height() - kRulerHeight);
}

double TPatternLayout::TickToX(double tick) const {
  return kNameColumnWidth + tick * pixelsPerTick_ - scroll_.x();
}

double TPatternLayout::XToTick(double x) const {
  return (x - kNameColumnWidth + scroll_.x()) / pixelsPerTick_;
}

std::pair<std::uint32_t, std::uint32_t> TPatternLayout::TicksIn(const QRectF& area) const {
  const double extent = pattern_.Extent();
  const double first = std::clamp(XToTick(area.left()), 0.0, extent);
  const double last = std::clamp(XToTick(area.right()), 0.0, extent);
  return {static_cast<std::uint32_t>(std::floor(first)),
          static_cast<std::uint32_t>(std::ceil(last))};
}

int TPatternLayout::LaneRows(int part) const {
  return std::max<int>(
      1, static_cast<int>(pattern_.lanes[static_cast<std::size_t>(part)].keys.size()));
}

QRectF TPatternLayout::LaneRect(int part) const {
  const double top = kRulerHeight + laneTops_[static_cast<std::size_t>(part)] - scroll_.y();
  return QRectF(0, top, viewSize_.width(), kLaneTitleHeight + LaneRows(part) * kRowHeight);
}

QRectF TPatternLayout::LaneTitleRect(int part) const {
  QRectF title = LaneRect(part);
  title.setHeight(kLaneTitleHeight);
  return title;
}

QRectF TPatternLayout::RowRect(int part, int row) const {
  const QRectF lane = LaneRect(part);
  return QRectF(0, lane.top() + kLaneTitleHeight + row * kRowHeight, lane.width(), kRowHeight);
}

QRectF TPatternLayout::NoteRect(const TPatternNote& note) const {
  const QRectF row = RowRect(note.part, note.row);
  const double left = TickToX(note.start);
  const double width = std::max(note.length * pixelsPerTick_, kMinNoteWidth);
  return QRectF(left, row.top() + kNoteInset, width, row.height() - 2 * kNoteInset);
}

const TPatternNote* TPatternLayout::NoteAt(QPointF point) const {
  if (!TimeArea().contains(point)) return nullptr;
  for (int part = 0; part < kPartCount; ++part) {
    if (!LaneRect(part).contains(point)) continue;
    const double tick = XToTick(point.x());
    const double reach = kMinNoteWidth / pixelsPerTick_;  // a short note is drawn wider
    const double extent = pattern_.Extent();
    const auto from = static_cast<std::uint32_t>(std::clamp(tick - reach, 0.0, extent));
    const auto to = static_cast<std::uint32_t>(std::clamp(tick, 0.0, extent));
    const TPatternNote* found = nullptr;
    for (const TPatternNote& note : pattern_.NotesNear(part, from, to)) {
      if (NoteRect(note).contains(point)) found = &note;
    }
    return found;
  }
  return nullptr;
}

}  // namespace brondel::pattern
