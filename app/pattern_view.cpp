#include "app/pattern_view.h"

#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

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
  if (pattern_) layout_.emplace(*pattern_);
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

}  // namespace brondel::app
