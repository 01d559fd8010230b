// A small on-screen keyboard that shows a MIDI keyboard's split point: the keys at or below it
// (the left hand's, the chord) are tinted; a click on a key makes it the split point.
#pragma once

#include <QWidget>
#include <functional>

namespace brondel::app {

class TSplitKeyboard : public QWidget {
 public:
  /// Keys from C2 (36) up to C7 (96); `clicked` gets the key clicked.
  explicit TSplitKeyboard(std::function<void(int key)> clicked, QWidget* parent = nullptr);

  void SetSplitKey(int key);
  int SplitKey() const { return split_; }
  /// Where a key is drawn (for tests and tool tips); empty for a key not shown.
  QRect KeyRect(int key) const;
  /// The key under a point: a black key before the white key it lies on; -1 for none.
  int KeyAt(QPoint point) const;

  static constexpr int kFirstKey = 36;
  static constexpr int kLastKey = 96;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  std::function<void(int)> clicked_;
  int split_ = 54;
};

}  // namespace brondel::app
