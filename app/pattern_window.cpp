#include "app/pattern_window.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/pattern_view.h"
#include "pattern/pattern_model.h"
#include "platform/qt_text.h"

namespace brondel::app {
namespace {

constexpr int kInitialWidth = 960;
constexpr int kInitialHeight = 600;
constexpr int kLineInterval = 10;  // ms: the line is at most this much older than the sound

}  // namespace

TPatternWindow::TPatternWindow(const brondel::TRhythmDocuments& docs, QWidget* parent)
    : QWidget(parent, Qt::Window), docs_(docs) {
  setObjectName(QStringLiteral("PatternWindow"));
  setWindowTitle(QStringLiteral("Pattern"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  toolBar_ = new QToolBar(this);
  toolBar_->setObjectName(QStringLiteral("PatternToolBar"));
  layout->addWidget(toolBar_);
  view_ = new TPatternView(this);
  layout->addWidget(view_, 1);
  BuildToolBar();
  connect(view_, &TPatternView::MixChanged, this, &TPatternWindow::PlayOptionsChanged);
  lineTimer_.setInterval(kLineInterval);
  lineTimer_.setTimerType(Qt::PreciseTimer);
  connect(&lineTimer_, &QTimer::timeout, this, [this] { MovePlayLine(); });
  resize(kInitialWidth, kInitialHeight);
}

void TPatternWindow::BuildToolBar() {
  play_ = toolBar_->addAction(QStringLiteral("Play"), this, &TPatternWindow::PlayClicked);
  play_->setObjectName(QStringLiteral("PatternPlay"));
  play_->setToolTip(QStringLiteral("Play the section shown with the parts that are not muted"));
  stop_ = toolBar_->addAction(QStringLiteral("Stop"), this, &TPatternWindow::StopClicked);
  stop_->setObjectName(QStringLiteral("PatternStop"));
  stop_->setToolTip(QStringLiteral("Stop the sound"));
  loop_ = toolBar_->addAction(QStringLiteral("Loop"));
  loop_->setObjectName(QStringLiteral("PatternLoop"));
  loop_->setCheckable(true);
  loop_->setToolTip(QStringLiteral("Play the section again and again until Stop"));
  connect(loop_, &QAction::toggled, this, &TPatternWindow::PlayOptionsChanged);
  toolBar_->addSeparator();
  QAction* zoomIn = toolBar_->addAction(QStringLiteral("Zoom in"), view_, &TPatternView::ZoomIn);
  zoomIn->setShortcut(QKeySequence::ZoomIn);
  zoomIn->setToolTip(QStringLiteral("Zoom in (Ctrl+wheel over the notes)"));
  QAction* zoomOut = toolBar_->addAction(QStringLiteral("Zoom out"), view_, &TPatternView::ZoomOut);
  zoomOut->setShortcut(QKeySequence::ZoomOut);
  QAction* fit = toolBar_->addAction(QStringLiteral("Fit"), view_, &TPatternView::Fit);
  fit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
  fit->setToolTip(QStringLiteral("Show the whole section"));
  toolBar_->addSeparator();
  summary_ = new QLabel(toolBar_);
  summary_->setObjectName(QStringLiteral("PatternSummary"));
  summary_->setContentsMargins(8, 0, 8, 0);
  toolBar_->addWidget(summary_);
}

brondel::TPartMix TPatternWindow::Mix() const {
  return view_->Mix();
}

bool TPatternWindow::Looping() const {
  return loop_->isChecked();
}

void TPatternWindow::FollowPlay(
    std::function<std::optional<brondel::TPlayingPosition>()> playingNow) {
  playingNow_ = std::move(playingNow);
}

void TPatternWindow::SetPlaying(bool playing) {
  playing_ = playing;
  if (playing && isVisible()) lineTimer_.start();
}

void TPatternWindow::MovePlayLine() {
  const std::optional<brondel::TPlayingPosition> now = playingNow_ ? playingNow_() : std::nullopt;
  const bool shown = now && now->slot == slot_ && now->section == section_;
  view_->SetPlayTick(shown ? std::optional(now->tick) : std::nullopt);
  // The sound follows the engine by the device's latency: the line goes on until it has ended.
  if (!now && !playing_) lineTimer_.stop();
}

void TPatternWindow::ShowSection(int slot, int section) {
  slot_ = slot;
  section_ = section;
  Refresh();
}

void TPatternWindow::SetEditing(brondel::TRhythmDocuments* docs, brondel::TEditHistory* history) {
  editDocs_ = docs;
  history_ = history;
}

void TPatternWindow::DocumentChanged(int slot) {
  if (slot == slot_) Refresh();
}

void TPatternWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (outOfDate_) Refresh();
  if (playing_) lineTimer_.start();
}

void TPatternWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  lineTimer_.stop();
  view_->SetPlayTick(std::nullopt);
}

void TPatternWindow::Refresh() {
  // A hidden window builds nothing: a play-all walk or a burst of edits costs nothing then.
  outOfDate_ = !isVisible();
  if (outOfDate_) return;
  const brondel::TRhythmSlot* slot =
      slot_ >= 0 ? &docs_.slots[static_cast<std::size_t>(slot_)] : nullptr;
  if (slot == nullptr || !slot->Loaded()) {
    setWindowTitle(QStringLiteral("Pattern"));
    summary_->clear();
    view_->SetPattern(std::nullopt, {});
    return;
  }
  const QString section =
      brondel::ToQString(brondel::kSectionNames[static_cast<std::size_t>(section_)]);
  const QString file = QFileInfo(QFile::decodeName(slot->fileName.c_str())).fileName();
  setWindowTitle(file + QStringLiteral(" - ") + section);
  const int bars = slot->header.BarCount(section_);
  summary_->setText(
      QStringLiteral("%1   %2 %3 of %4   Tempo %5")
          .arg(slot_ == brondel::kMainSlot ? QStringLiteral("Main file")
                                           : QStringLiteral("Import file"))
          .arg(bars)
          .arg(bars == 1 ? QStringLiteral("bar") : QStringLiteral("bars"))
          .arg(brondel::ToQString(brondel::TimeSignatureText(slot->header.TimeSignature())))
          .arg(slot->header.Tempo()));
  view_->SetPattern(brondel::BuildSectionPattern(*slot, section_), section);
}

}  // namespace brondel::app
