#include "app/split_keyboard.h"

#include <QMouseEvent>
#include <QPainter>

namespace brondel::app {

namespace {

constexpr int kWhiteWidth = 12;
constexpr int kHeight = 48;
constexpr int kBlackWidth = 8;
constexpr int kBlackHeight = 30;

bool IsBlack(int key) {
  const int pitch = key % 12;
  return pitch == 1 || pitch == 3 || pitch == 6 || pitch == 8 || pitch == 10;
}

// White keys from the first key up to `key` (not counting it).
int WhitesBefore(int key) {
  int whites = 0;
  for (int k = TSplitKeyboard::kFirstKey; k < key; ++k) whites += IsBlack(k) ? 0 : 1;
  return whites;
}

}  // namespace

TSplitKeyboard::TSplitKeyboard(std::function<void(int key)> clicked, QWidget* parent)
    : QWidget(parent), clicked_(std::move(clicked)) {
  setObjectName(QStringLiteral("SplitKeyboard"));
  setToolTip(QStringLiteral("Click a key to make it the split point"));
  setFixedSize(sizeHint());
}

QSize TSplitKeyboard::sizeHint() const {
  return {(WhitesBefore(kLastKey) + 1) * kWhiteWidth + 1, kHeight + 1};
}

void TSplitKeyboard::SetSplitKey(int key) {
  if (key == split_) return;
  split_ = key;
  update();
}

QRect TSplitKeyboard::KeyRect(int key) const {
  if (key < kFirstKey || key > kLastKey) return {};
  const int x = WhitesBefore(key) * kWhiteWidth;
  if (IsBlack(key)) return {x - kBlackWidth / 2, 0, kBlackWidth, kBlackHeight};
  return {x, 0, kWhiteWidth, kHeight};
}

int TSplitKeyboard::KeyAt(QPoint point) const {
  for (int key = kFirstKey; key <= kLastKey; ++key) {
    if (IsBlack(key) && KeyRect(key).contains(point)) return key;
  }
  for (int key = kFirstKey; key <= kLastKey; ++key) {
    if (!IsBlack(key) && KeyRect(key).contains(point)) return key;
  }
  return -1;
}

void TSplitKeyboard::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QColor left(170, 200, 240);
  const QColor leftBlack(40, 70, 130);
  for (const bool black : {false, true}) {
    for (int key = kFirstKey; key <= kLastKey; ++key) {
      if (IsBlack(key) != black) continue;
      const bool chordSide = key <= split_;
      painter.setPen(Qt::black);
      painter.setBrush(black ? (chordSide ? leftBlack : Qt::black)
                             : (chordSide ? left : QColor(Qt::white)));
      painter.drawRect(KeyRect(key).adjusted(0, 0, black ? 0 : -1, black ? 0 : -1));
    }
  }
  // The split key itself, marked.
  painter.setPen(QPen(Qt::red, 2));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(KeyRect(split_).adjusted(1, 1, -1, -1));
}

void TSplitKeyboard::mousePressEvent(QMouseEvent* event) {
  const int key = KeyAt(event->position().toPoint());
  if (key >= 0) clicked_(key);
}

}  // namespace brondel::app
