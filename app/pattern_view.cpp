#include "app/pattern_view.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "pattern/editor_rules.h"
#include "pattern/key_names.h"
#include "pattern/painting/pattern_painter.h"
#include "platform/qt_text.h"

using brondel::kPartCount;
using brondel::pattern::TPatternLayout;

namespace brondel::app {
namespace {

constexpr double kZoomStep = 1.25;  // one wheel notch, or Zoom in
constexpr int kWheelNotch = 120;    // angle delta of one notch
constexpr int kLaneButtonWidth = 20;
constexpr int kLaneButtonHeight = 16;
constexpr int kScrollStep = 24;
constexpr double kClickWobble = 4;  // pixels a click may move and stay a click
constexpr double kEdgeGrip = 4;     // pixels left of a note's right edge that grip the edge
constexpr int kSemitone = 1;
constexpr int kOctave = 12;

}  // namespace

QString DescribeNote(const brondel::TSectionPattern& pattern, const brondel::TPatternNote& note) {
  const brondel::TMusicalPosition at = pattern.meter.PositionOf(note.start);
  QString length = QStringLiteral("Length %1 ticks").arg(note.length);
  if (note.leftSounding) {
    length += QStringLiteral(", sounding to the section's end");
  } else if (note.length == 0) {
    length += QStringLiteral(": ended as it starts");
  }
  return QStringLiteral("%1 (key %2)\nVelocity %3\nBar:beat:tick %4:%5:%6\n%7")
      .arg(QString::fromStdString(brondel::KeyName(note.part, note.key)))
      .arg(note.key)
      .arg(note.velocity)
      .arg(at.bar)
      .arg(at.beat)
      .arg(at.tick, 3, 10, QLatin1Char('0'))
      .arg(length);
}

TPatternView::TPatternView(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName(QStringLiteral("PatternView"));
  setFrameShape(QFrame::NoFrame);
  viewport()->setAutoFillBackground(false);
  horizontalScrollBar()->setSingleStep(kScrollStep);
  verticalScrollBar()->setSingleStep(kScrollStep);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);
  for (int part = 0; part < kPartCount; ++part) {
    const auto index = static_cast<std::size_t>(part);
    const QString name = brondel::ToQString(brondel::kPartNames[index]);
    muteButtons_[index] = MakeLaneButton(QStringLiteral("M"), QStringLiteral("Mute ") + name);
    soloButtons_[index] = MakeLaneButton(QStringLiteral("S"), QStringLiteral("Solo ") + name);
  }
  UpdateGeometry();
}

TPatternView::~TPatternView() = default;

QToolButton* TPatternView::MakeLaneButton(const QString& text, const QString& hint) {
  auto* button = new QToolButton(viewport());
  button->setText(text);
  button->setToolTip(hint);
  button->setCheckable(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setFixedSize(kLaneButtonWidth, kLaneButtonHeight);
  button->setStyleSheet(
      QStringLiteral("QToolButton { font-size: 10px; font-weight: bold; border: 1px solid #a0a7b0;"
                     " border-radius: 2px; background: #f7f8fa; color: #4a5058; }"
                     "QToolButton:checked { background: %1; color: white; border-color: #6b5a2a; }")
          .arg(text == QLatin1String("M") ? QStringLiteral("#c0392b") : QStringLiteral("#d4a017")));
  connect(button, &QToolButton::toggled, this, [this] { FlipSwitch(); });
  return button;
}

void TPatternView::FlipSwitch() {
  viewport()->update();
  Q_EMIT MixChanged();
}

void TPatternView::SetPattern(std::optional<brondel::TSectionPattern> pattern,
                              const QString& caption) {
  layout_.reset();
  pattern_ = std::move(pattern);
  caption_ = caption;
  if (pattern_) {
    layout_.emplace(*pattern_);
    layout_->SetVelocityLanes(true);
  }
  UpdateGeometry();
  viewport()->update();
}

const brondel::TSectionPattern* TPatternView::Pattern() const {
  return pattern_ ? &*pattern_ : nullptr;
}

const TPatternLayout* TPatternView::Layout() const {
  return layout_ ? &*layout_ : nullptr;
}

void TPatternView::ZoomBy(double factor, double anchorX) {
  if (!layout_) return;
  const double fit = TPatternLayout::FitPixelsPerTick(*pattern_, viewport()->width());
  const double zoom =
      std::clamp(pixelsPerTick_ * factor, fit, std::max(fit, TPatternLayout::kMaxPixelsPerTick));
  const double tick = layout_->XToTick(anchorX);
  pixelsPerTick_ = zoom;
  fitting_ = zoom <= fit;
  UpdateGeometry();
  // Moving the scroll bar syncs the layout's scroll (scrollContentsBy); UpdateGeometry has
  // synced it already if the bar stays where it is.
  horizontalScrollBar()->setValue(
      static_cast<int>(std::lround(tick * zoom - (anchorX - TPatternLayout::kNameColumnWidth))));
}

void TPatternView::ZoomIn() {
  ZoomBy(kZoomStep, layout_ ? layout_->TimeArea().center().x() : 0);
}

void TPatternView::ZoomOut() {
  ZoomBy(1 / kZoomStep, layout_ ? layout_->TimeArea().center().x() : 0);
}

void TPatternView::Fit() {
  fitting_ = true;
  UpdateGeometry();
}

void TPatternView::SetPlayTick(std::optional<std::uint32_t> tick) {
  if (tick == playTick_) return;
  // Only the strips of the old and the new line are painted again: the line moves a hundred times
  // a second, and a long section's picture need not be redrawn for it.
  UpdatePlayLine();
  playTick_ = tick;
  UpdatePlayLine();
}

void TPatternView::UpdatePlayLine() {
  if (!layout_ || !playTick_) return;
  const QRectF line = brondel::pattern::PlayLineRect(*layout_, *playTick_);
  viewport()->update(line.intersected(layout_->TimeArea()).toAlignedRect());
}

brondel::TPartMix TPatternView::Mix() const {
  brondel::TPartMix mix;
  for (std::size_t part = 0; part < muteButtons_.size(); ++part) {
    mix.muted[part] = muteButtons_[part]->isChecked();
    mix.soloed[part] = soloButtons_[part]->isChecked();
  }
  return mix;
}

QToolButton* TPatternView::MuteButton(int part) const {
  return muteButtons_[static_cast<std::size_t>(part)];
}

QToolButton* TPatternView::SoloButton(int part) const {
  return soloButtons_[static_cast<std::size_t>(part)];
}

void TPatternView::UpdateGeometry() {
  const QSize size = viewport()->size();
  if (!layout_) {
    horizontalScrollBar()->setRange(0, 0);
    verticalScrollBar()->setRange(0, 0);
    PlaceLaneButtons();
    return;
  }
  if (fitting_) pixelsPerTick_ = TPatternLayout::FitPixelsPerTick(*pattern_, size.width());
  layout_->SetPixelsPerTick(pixelsPerTick_);
  layout_->SetViewSize(size);
  const QRectF area = layout_->TimeArea();
  const int wide = static_cast<int>(std::ceil(layout_->TimelineWidth() - area.width()));
  const int tall = static_cast<int>(std::ceil(layout_->LanesHeight() - area.height()));
  horizontalScrollBar()->setRange(0, std::max(0, wide));
  horizontalScrollBar()->setPageStep(std::max(1, static_cast<int>(area.width())));
  verticalScrollBar()->setRange(0, std::max(0, tall));
  verticalScrollBar()->setPageStep(std::max(1, static_cast<int>(area.height())));
  SyncScroll();
}

void TPatternView::SyncScroll() {
  if (layout_) {
    layout_->SetScroll(QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value()));
  }
  PlaceLaneButtons();
  viewport()->update();
}

// The buttons sit at the right end of each lane's title in the name column, and hide while
// the title is scrolled under the ruler or out of the view.
void TPatternView::PlaceLaneButtons() {
  for (int part = 0; part < kPartCount; ++part) {
    QToolButton* mute = MuteButton(part);
    QToolButton* solo = SoloButton(part);
    if (!layout_) {
      mute->hide();
      solo->hide();
      continue;
    }
    const QRectF title = layout_->LaneTitleRect(part);
    const int top = static_cast<int>(title.top() + (title.height() - kLaneButtonHeight) / 2);
    const bool inView =
        top >= TPatternLayout::kRulerHeight && top + kLaneButtonHeight <= viewport()->height();
    const int right = TPatternLayout::kNameColumnWidth - 6;
    solo->move(right - kLaneButtonWidth, top);
    mute->move(right - 2 * kLaneButtonWidth - 3, top);
    mute->setVisible(inView);
    solo->setVisible(inView);
  }
}

void TPatternView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  if (!layout_) {
    painter.fillRect(event->rect(), brondel::pattern::BackgroundColour());
    painter.setPen(QColor(0x60, 0x66, 0x6E));
    painter.drawText(viewport()->rect(), Qt::AlignCenter,
                     QStringLiteral("Open a rhythm and select a section to see its parts here."));
    return;
  }
  brondel::pattern::TPatternPaintOptions options;
  options.caption = caption_;
  options.playTick = playTick_;
  const brondel::TPartMix mix = Mix();
  for (int part = 0; part < kPartCount; ++part) {
    options.audible[static_cast<std::size_t>(part)] = mix.Audible(part);
  }
  brondel::pattern::PaintPattern(painter, *layout_, options, event->rect());
  PaintEditing(painter);
}

void TPatternView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateGeometry();
}

void TPatternView::scrollContentsBy(int, int) {
  SyncScroll();
}

void TPatternView::wheelEvent(QWheelEvent* event) {
  if (!event->modifiers().testFlag(Qt::ControlModifier)) {
    QAbstractScrollArea::wheelEvent(event);
    return;
  }
  const double notches = event->angleDelta().y() / double{kWheelNotch};
  ZoomBy(std::pow(kZoomStep, notches), event->position().x());
  event->accept();
}

bool TPatternView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) return ShowToolTip(*static_cast<QHelpEvent*>(event));
  return QAbstractScrollArea::viewportEvent(event);
}

bool TPatternView::ShowToolTip(const QHelpEvent& help) {
  const brondel::TPatternNote* note = layout_ ? layout_->NoteAt(help.pos()) : nullptr;
  if (note == nullptr) {
    QToolTip::hideText();
    return true;
  }
  QToolTip::showText(help.globalPos(), DescribeNote(*pattern_, *note), viewport(),
                     layout_->NoteRect(*note).toAlignedRect());
  return true;
}

// ---------------------------------------------------------------------------------------------
// Editing

void TPatternView::SetNotes(std::optional<brondel::TSectionNotes> notes, bool editable) {
  notes_ = std::move(notes);
  editable_ = editable && notes_.has_value();
  SetSelection(selection_);
}

void TPatternView::SetEditSink(std::function<bool(const brondel::TNotesEdit&)> sink) {
  sink_ = std::move(sink);
}

void TPatternView::SetQuantize(int strength, int swing) {
  strength_ = strength;
  swing_ = swing;
}

void TPatternView::SetSelection(brondel::TSelection selection) {
  std::sort(selection.begin(), selection.end());
  selection.erase(std::unique(selection.begin(), selection.end()), selection.end());
  std::erase_if(selection, [this](const brondel::TNoteId& id) { return !FindNote(id); });
  selection_ = std::move(selection);
  viewport()->update();
}

const brondel::TEditNote* TPatternView::FindNote(const brondel::TNoteId& id) const {
  if (!notes_ || id.part < 0 || id.part >= kPartCount) return nullptr;
  const brondel::TNoteList& list = notes_->parts[static_cast<std::size_t>(id.part)];
  const auto at = std::find_if(list.begin(), list.end(), [&](const brondel::TEditNote& note) {
    return note.tick == id.tick && note.key == id.key;
  });
  return at == list.end() ? nullptr : &*at;
}

brondel::TSnapGrid TPatternView::Grid() const {
  return brondel::TSnapGrid(pattern_ ? pattern_->meter : brondel::TPatternMeter{}, snap_);
}

bool TPatternView::Apply(const brondel::TNotesEdit& edit) {
  return editable_ && sink_ && sink_(edit);
}

int TPatternView::PartAt(QPointF point) const {
  if (!layout_ || !layout_->TimeArea().contains(point)) return -1;
  for (int part = 0; part < kPartCount; ++part) {
    QRectF rows = layout_->LaneRect(part);
    rows.setTop(rows.top() + TPatternLayout::kLaneTitleHeight);
    if (rows.contains(point)) return part;
  }
  return -1;
}

int TPatternView::RowAt(int part, double y) const {
  const double top = layout_->RowRect(part, 0).top();
  return static_cast<int>(std::floor((y - top) / TPatternLayout::kRowHeight));
}

int TPatternView::KeyOfRow(int part, int row) const {
  return brondel::KeyAtRow(pattern_->lanes[static_cast<std::size_t>(part)].keys, row,
                           part == brondel::kDrumPart);
}

double TPatternView::RowOfKey(int part, int key) const {
  const std::vector<int>& keys = pattern_->lanes[static_cast<std::size_t>(part)].keys;
  const auto at = std::find(keys.begin(), keys.end(), key);
  if (at != keys.end()) return static_cast<double>(at - keys.begin());
  return keys.empty() ? 0 : keys.front() - key;
}

std::uint32_t TPatternView::TickAt(double x) const {
  const double tick =
      std::clamp(layout_->XToTick(x), 0.0, static_cast<double>(pattern_->Extent() - 1));
  return static_cast<std::uint32_t>(tick);
}

int TPatternView::VelocityPartAt(QPointF point) const {
  if (!layout_ || !layout_->TimeArea().contains(point)) return -1;
  for (int part = 0; part < kPartCount; ++part) {
    if (layout_->VelocityRect(part).contains(point)) return part;
  }
  return -1;
}

const brondel::TPatternNote* TPatternView::VelocityBarAt(int part, double x) const {
  const brondel::TPatternNote* found = nullptr;
  for (const brondel::TPatternNote& note : pattern_->LaneNotes(part)) {
    const QRectF bar = layout_->VelocityBar(note);
    if (note.length > 0 && x >= bar.left() - kEdgeGrip && x <= bar.right() + kEdgeGrip) {
      found = &note;
    }
  }
  return found;
}

void TPatternView::mousePressEvent(QMouseEvent* event) {
  const QPointF point = event->position();
  const bool left = event->button() == Qt::LeftButton;
  const int strip = left && notes_ ? VelocityPartAt(point) : -1;
  if (strip >= 0) {
    const brondel::TPatternNote* note = VelocityBarAt(strip, point.x());
    if (note != nullptr) {
      drag_ = TDrag{};
      drag_.gesture = TGesture::kVelocity;
      drag_.press = drag_.now = point;
      drag_.part = strip;
      drag_.note = *note;
      event->accept();
      return;
    }
  }
  const int part = left ? PartAt(point) : -1;
  if (part < 0 || !notes_) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  setFocus(Qt::MouseFocusReason);
  drag_ = TDrag{};
  drag_.press = drag_.now = point;
  drag_.part = part;
  drag_.pressRow = RowAt(part, point.y());
  drag_.control = event->modifiers().testFlag(Qt::ControlModifier);
  drag_.shift = event->modifiers().testFlag(Qt::ShiftModifier);
  const brondel::TPatternNote* note = layout_->NoteAt(point);
  if (note != nullptr && note->length > 0) {
    drag_.note = *note;
    const brondel::TNoteId id{note->part, note->start, static_cast<std::uint8_t>(note->key)};
    if (drag_.control) {
      SetSelection(brondel::Toggled(selection_, id));
      return;
    }
    if (!std::binary_search(selection_.begin(), selection_.end(), id)) SetSelection({id});
    const bool onEdge = layout_->NoteRect(*note).right() - point.x() <= kEdgeGrip;
    drag_.gesture = onEdge && part != brondel::kDrumPart ? TGesture::kResize : TGesture::kMove;
    if (drag_.gesture == TGesture::kMove) Q_EMIT NoteSounded(part, note->key, note->velocity);
  } else {
    drag_.gesture = TGesture::kClick;
  }
  event->accept();
}

void TPatternView::mouseMoveEvent(QMouseEvent* event) {
  pointer_ = event->position();
  if (drag_.gesture == TGesture::kNone) {
    QAbstractScrollArea::mouseMoveEvent(event);
    return;
  }
  Track(*event);
  viewport()->update();
  event->accept();
}

void TPatternView::mouseReleaseEvent(QMouseEvent* event) {
  if (drag_.gesture == TGesture::kNone) {
    QAbstractScrollArea::mouseReleaseEvent(event);
    return;
  }
  Track(*event);
  Release();
  drag_ = TDrag{};
  viewport()->update();
  event->accept();
}

void TPatternView::Track(const QMouseEvent& event) {
  drag_.now = event.position();
  drag_.shift = event.modifiers().testFlag(Qt::ShiftModifier);
  if (drag_.moved || (drag_.now - drag_.press).manhattanLength() <= kClickWobble) return;
  drag_.moved = true;
  // A drag from empty space draws on a pitched lane; on the drums (where a click adds a hit),
  // with Ctrl, or where nothing may be edited, it selects with a rubber band.
  if (drag_.gesture == TGesture::kClick) {
    const bool band = drag_.control || drag_.part == brondel::kDrumPart || !editable_;
    drag_.gesture = band ? TGesture::kBand : TGesture::kDraw;
  }
}

// What a press and its release come to, once the pointer is up.
void TPatternView::Release() {
  const int part = drag_.part;
  const std::uint32_t pressTick = TickAt(drag_.press.x());
  const std::uint32_t nowTick = TickAt(drag_.now.x());
  const brondel::TSnapGrid grid = Grid();
  const QPointF moved = drag_.now - drag_.press;
  const brondel::TDragAxis axis = brondel::ConstrainedAxis(drag_.shift, moved.x(), moved.y());
  switch (drag_.gesture) {
    case TGesture::kClick: {
      if (drag_.control) return;
      const int key = KeyOfRow(part, drag_.pressRow);
      if (!drag_.moved && editable_) {
        const brondel::TEditNote note =
            brondel::DrawnNote(grid, pressTick, pressTick, key, velocity_);
        if (Apply(brondel::AddNote(*notes_, part, note))) Q_EMIT NoteSounded(part, key, velocity_);
      } else {
        SetSelection({});
      }
      return;
    }
    case TGesture::kDraw: {
      const int key = KeyOfRow(part, drag_.pressRow);
      const brondel::TEditNote note = brondel::DrawnNote(grid, pressTick, nowTick, key, velocity_);
      if (Apply(brondel::AddNote(*notes_, part, note))) Q_EMIT NoteSounded(part, key, velocity_);
      return;
    }
    case TGesture::kMove: {
      if (!drag_.moved) {
        // A click on a drum hit takes it away; on a pitched note it only selects.
        if (part == brondel::kDrumPart && editable_) {
          const brondel::TNoteId id{part, drag_.note->start,
                                    static_cast<std::uint8_t>(drag_.note->key)};
          Apply(brondel::RemoveNotes(*notes_, {id}));
        }
        return;
      }
      const std::int64_t ticks =
          axis == brondel::TDragAxis::kKey
              ? 0
              : brondel::SnappedMove(grid, drag_.note->start,
                                     std::int64_t{nowTick} - std::int64_t{pressTick});
      const int keys =
          axis == brondel::TDragAxis::kTime
              ? 0
              : KeyOfRow(part, RowAt(part, drag_.now.y())) - KeyOfRow(part, drag_.pressRow);
      if ((ticks == 0 && keys == 0) || !editable_) return;
      if (Apply(brondel::MoveNotes(*notes_, selection_, ticks, keys))) {
        Q_EMIT NoteSounded(part, drag_.note->key + keys, drag_.note->velocity);
      }
      return;
    }
    case TGesture::kResize: {
      const std::int64_t ticks =
          brondel::SnappedResize(grid, drag_.note->start, drag_.note->start + drag_.note->length,
                                 std::int64_t{nowTick} - std::int64_t{pressTick});
      if (ticks != 0 && drag_.moved) Apply(brondel::ResizeNotes(*notes_, selection_, ticks));
      return;
    }
    case TGesture::kVelocity: {
      const brondel::TNoteId id{part, drag_.note->start,
                                static_cast<std::uint8_t>(drag_.note->key)};
      const bool together = std::binary_search(selection_.begin(), selection_.end(), id);
      Apply(brondel::SetVelocity(*notes_, together ? selection_ : brondel::TSelection{id},
                                 layout_->VelocityAt(part, drag_.now.y())));
      return;
    }
    case TGesture::kBand: {
      const QRectF band = BandRect();
      brondel::TSelection chosen = drag_.control ? selection_ : brondel::TSelection{};
      for (const brondel::TPatternNote& note : pattern_->LaneNotes(part)) {
        if (note.length > 0 && layout_->NoteRect(note).intersects(band)) {
          chosen.push_back({part, note.start, static_cast<std::uint8_t>(note.key)});
        }
      }
      SetSelection(std::move(chosen));
      return;
    }
    case TGesture::kNone:
      return;
  }
}

QRectF TPatternView::BandRect() const {
  QRectF band = QRectF(drag_.press, drag_.now).normalized();
  QRectF lane = layout_->LaneRect(drag_.part);
  lane.setTop(lane.top() + TPatternLayout::kLaneTitleHeight);
  return band.intersected(lane);
}

std::vector<TPatternView::TGhost> TPatternView::Ghosts() const {
  std::vector<TGhost> ghosts;
  if (!drag_.moved || !editable_) return ghosts;
  const brondel::TSnapGrid grid = Grid();
  const std::int64_t pointerTicks =
      std::int64_t{TickAt(drag_.now.x())} - std::int64_t{TickAt(drag_.press.x())};
  const QPointF moved = drag_.now - drag_.press;
  const brondel::TDragAxis axis = brondel::ConstrainedAxis(drag_.shift, moved.x(), moved.y());
  const int part = drag_.part;
  if (drag_.gesture == TGesture::kDraw) {
    const brondel::TEditNote note =
        brondel::DrawnNote(grid, TickAt(drag_.press.x()), TickAt(drag_.now.x()),
                           KeyOfRow(part, drag_.pressRow), velocity_);
    ghosts.push_back({part, note.key, note.tick, note.length});
    return ghosts;
  }
  if (drag_.gesture != TGesture::kMove && drag_.gesture != TGesture::kResize) return ghosts;
  std::int64_t ticks = 0;
  int keys = 0;
  std::int64_t grow = 0;
  if (drag_.gesture == TGesture::kMove) {
    if (axis != brondel::TDragAxis::kKey) {
      ticks = brondel::SnappedMove(grid, drag_.note->start, pointerTicks);
    }
    if (axis != brondel::TDragAxis::kTime) {
      keys = KeyOfRow(part, RowAt(part, drag_.now.y())) - KeyOfRow(part, drag_.pressRow);
    }
  } else {
    grow = brondel::SnappedResize(grid, drag_.note->start, drag_.note->start + drag_.note->length,
                                  pointerTicks);
  }
  for (const brondel::TNoteId& id : selection_) {
    const brondel::TEditNote* note = FindNote(id);
    if (note == nullptr) continue;
    ghosts.push_back({id.part, note->key + keys,
                      static_cast<std::uint32_t>(std::max<std::int64_t>(0, note->tick + ticks)),
                      static_cast<std::uint32_t>(std::max<std::int64_t>(1, note->length + grow))});
  }
  return ghosts;
}

void TPatternView::PaintEditing(QPainter& painter) {
  painter.save();
  painter.setClipRect(layout_->TimeArea());
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(0x10, 0x10, 0x10), 2));
  for (const brondel::TPatternNote& note : pattern_->notes) {
    const brondel::TNoteId id{note.part, note.start, static_cast<std::uint8_t>(note.key)};
    if (note.length > 0 && std::binary_search(selection_.begin(), selection_.end(), id)) {
      painter.drawRect(layout_->NoteRect(note).adjusted(1, 1, -1, -1));
    }
  }
  painter.setPen(QPen(QColor(0x20, 0x60, 0xD0), 1, Qt::DashLine));
  for (const TGhost& ghost : Ghosts()) {
    const QRectF row = layout_->RowRect(ghost.part, 0);
    const double top = row.top() + RowOfKey(ghost.part, ghost.key) * TPatternLayout::kRowHeight;
    painter.drawRect(QRectF(layout_->TickToX(ghost.start), top + 1,
                            std::max(ghost.length * layout_->PixelsPerTick(), 3.0),
                            TPatternLayout::kRowHeight - 2));
  }
  if (drag_.gesture == TGesture::kVelocity && editable_) {
    const QRectF strip = layout_->VelocityRect(drag_.part);
    const double y = std::clamp(drag_.now.y(), strip.top(), strip.bottom());
    painter.drawLine(QPointF(strip.left(), y), QPointF(strip.right(), y));
  }
  if (drag_.gesture == TGesture::kBand && drag_.moved) {
    painter.setBrush(QColor(0x20, 0x60, 0xD0, 0x30));
    painter.drawRect(BandRect());
  }
  painter.restore();
}

void TPatternView::keyPressEvent(QKeyEvent* event) {
  const bool control = event->modifiers().testFlag(Qt::ControlModifier);
  const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
  if (!notes_ || !layout_) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  switch (event->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
      DeleteSelection();
      break;
    case Qt::Key_Up:
    case Qt::Key_Down: {
      const bool up = event->key() == Qt::Key_Up;
      brondel::TSelection drums;
      brondel::TSelection pitched;
      for (const brondel::TNoteId& id : selection_) {
        (id.part == brondel::kDrumPart ? drums : pitched).push_back(id);
      }
      if (selection_.empty()) break;
      brondel::TNotesEdit edit;
      edit.notes = *notes_;
      if (!drums.empty()) {
        edit = brondel::MoveToNextRow(
            edit.notes, drums, pattern_->lanes[static_cast<std::size_t>(brondel::kDrumPart)].keys,
            up);
      }
      if (!edit.refusal && !pitched.empty()) {
        const int keys = (shift ? kOctave : kSemitone) * (up ? 1 : -1);
        brondel::TNotesEdit moved = brondel::MoveNotes(edit.notes, pitched, 0, keys);
        moved.selection.insert(moved.selection.end(), edit.selection.begin(), edit.selection.end());
        if (moved.refusal) moved.notes = *notes_;
        edit = std::move(moved);
      }
      edit.name = "Transpose " + brondel::NotesText(selection_.size());
      if (edit.refusal) {
        edit.refusal = edit.name + edit.refusal->substr(edit.refusal->find(':'));
      }
      Apply(edit);
      break;
    }
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const brondel::TEditNote* first = selection_.empty() ? nullptr : FindNote(selection_.front());
      if (first == nullptr) break;
      const brondel::TSnapGrid grid = Grid();
      const std::uint32_t to =
          event->key() == Qt::Key_Right ? grid.Next(first->tick) : grid.Previous(first->tick);
      if (to != first->tick) {
        Apply(brondel::MoveNotes(*notes_, selection_, std::int64_t{to} - std::int64_t{first->tick},
                                 0));
      }
      break;
    }
    case Qt::Key_C:
      if (control) CopySelection();
      break;
    case Qt::Key_X:
      if (control) CutSelection();
      break;
    case Qt::Key_V:
      if (control) Paste();
      break;
    case Qt::Key_D:
      if (control) RepeatSelection();
      break;
    case Qt::Key_A:
      if (control) SelectLane();
      break;
    case Qt::Key_Q:
      if (!control) QuantizeSelection();
      break;
    case Qt::Key_Escape:
      SetSelection({});
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  event->accept();
}

void TPatternView::DeleteSelection() {
  if (!selection_.empty()) Apply(brondel::RemoveNotes(*notes_, selection_));
}

void TPatternView::CopySelection() {
  if (!notes_ || !clipboard_ || selection_.empty()) return;
  *clipboard_ = brondel::CopyNotes(*notes_, selection_, Grid(), pattern_->meter.ticksPerQuarter);
}

void TPatternView::CutSelection() {
  if (!editable_) return;
  CopySelection();
  DeleteSelection();
}

void TPatternView::Paste() {
  if (!notes_ || !clipboard_ || clipboard_->Empty()) return;
  const bool over = pointer_ && layout_->TimeArea().contains(*pointer_);
  const std::uint32_t at = over ? Grid().BarFloor(TickAt(pointer_->x())) : 0;
  Apply(brondel::PasteNotes(*notes_, *clipboard_, at, pattern_->meter.ticksPerQuarter));
}

void TPatternView::RepeatSelection() {
  if (!selection_.empty()) Apply(brondel::RepeatNotes(*notes_, selection_, Grid()));
}

void TPatternView::QuantizeSelection() {
  if (!selection_.empty()) {
    Apply(brondel::QuantizeNotes(*notes_, selection_, Grid(), strength_, swing_));
  }
}

void TPatternView::SetSelectionVelocity(int velocity) {
  if (!selection_.empty()) Apply(brondel::SetVelocity(*notes_, selection_, velocity));
}

void TPatternView::SelectLane() {
  if (!notes_) return;
  std::array<bool, kPartCount> lanes{};
  const int under = pointer_ ? PartAt(*pointer_) : -1;
  if (under >= 0) {
    lanes[static_cast<std::size_t>(under)] = true;
  } else {
    for (const brondel::TNoteId& id : selection_) lanes[static_cast<std::size_t>(id.part)] = true;
  }
  brondel::TSelection all;
  for (int part = 0; part < kPartCount; ++part) {
    if (!lanes[static_cast<std::size_t>(part)]) continue;
    for (const brondel::TEditNote& note : notes_->parts[static_cast<std::size_t>(part)]) {
      all.push_back(brondel::IdOf(part, note));
    }
  }
  SetSelection(std::move(all));
}

}  // namespace brondel::app
