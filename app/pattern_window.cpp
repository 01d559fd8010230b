#include "app/pattern_window.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/pattern_view.h"
#include "playback/pattern_model.h"

namespace {

constexpr int kInitialWidth = 960;
constexpr int kInitialHeight = 600;

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

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
  resize(kInitialWidth, kInitialHeight);
}

void TPatternWindow::BuildToolBar() {
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

const brondel::TPartMix& TPatternWindow::Mix() const {
  return view_->Mix();
}

void TPatternWindow::ShowSection(int slot, int section) {
  slot_ = slot;
  section_ = section;
  Refresh();
}

void TPatternWindow::DocumentChanged(int slot) {
  if (slot == slot_) Refresh();
}

void TPatternWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (outOfDate_) Refresh();
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
  const QString section = Text(brondel::kSectionNames[static_cast<std::size_t>(section_)]);
  const QString file = QFileInfo(QFile::decodeName(slot->fileName.c_str())).fileName();
  setWindowTitle(file + QStringLiteral(" - ") + section);
  const int bars = slot->header.BarCount(section_);
  summary_->setText(QStringLiteral("%1   %2 %3 of %4   Tempo %5")
                        .arg(slot_ == brondel::kMainSlot ? QStringLiteral("Main file")
                                                         : QStringLiteral("Import file"))
                        .arg(bars)
                        .arg(bars == 1 ? QStringLiteral("bar") : QStringLiteral("bars"))
                        .arg(Text(brondel::TimeSignatureText(slot->header.TimeSignature())))
                        .arg(slot->header.Tempo()));
  view_->SetPattern(brondel::BuildSectionPattern(*slot, section_), section);
}
