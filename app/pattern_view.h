// The pattern window's view of a section: the picture of its pattern in a scroll area. The
// lanes scroll under the fixed name column and ruler; Ctrl+wheel zooms around the mouse; a tool
// tip names the note under the mouse; each lane's title carries a mute and a solo switch.
//
// Notes can be selected in any section shown (click, Ctrl+click, a rubber band inside a lane,
// Ctrl+A) and copied; where the window lets the section be edited, the mouse and the keys edit
// it: a click on the drum lane adds or removes a hit, a drag on a pitched lane draws a note, a
// drag on a note moves it, a drag on its right edge resizes it. The view turns each gesture into
// one TNotesEdit (note_edits.h) and hands it to the window, which writes it.
#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "pattern/note_edits.h"
#include "pattern/painting/pattern_layout.h"
#include "pattern/pattern_model.h"
#include "render/part_mix.h"

class QHelpEvent;
class QMouseEvent;
class QToolButton;

namespace brondel::app {

/// What a note's tool tip says: its key's name and number, velocity, bar:beat:tick and length.
QString DescribeNote(const brondel::TSectionPattern& pattern, const brondel::TPatternNote& note);

class TPatternView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TPatternView(QWidget* parent = nullptr);
  ~TPatternView() override;

  /// Shows a pattern with a caption (its section's name), or with none a hint. The zoom stays,
  /// or the fit to the view's width; the scroll stays as far as the new pattern reaches.
  void SetPattern(std::optional<brondel::TSectionPattern> pattern, const QString& caption);
  /// The pattern shown; null when none is.
  const brondel::TSectionPattern* Pattern() const;
  /// Where the pattern stands in the view (viewport coordinates); null when none is shown.
  const brondel::pattern::TPatternLayout* Layout() const;

  /// Multiplies the zoom by `factor`, keeping the tick at viewport x `anchorX` in place; the
  /// zoom stays between the fit to the view and 4 pixels per tick.
  void ZoomBy(double factor, double anchorX);
  /// Zooms in or out by one step around the time area's middle.
  void ZoomIn();
  void ZoomOut();
  /// Shows the whole timeline, and keeps it fitted while the view is resized.
  void Fit();
  /// True while the whole timeline is fitted to the view.
  bool Fitting() const { return fitting_; }

  /// Draws the play position's line at a tick, or no line.
  void SetPlayTick(std::optional<std::uint32_t> tick);
  /// The tick the play position's line stands at; none when no line is drawn.
  std::optional<std::uint32_t> PlayTick() const { return playTick_; }

  /// The mute and solo switches of the lanes, as their buttons stand.
  brondel::TPartMix Mix() const;
  /// A lane's mute and solo buttons.
  QToolButton* MuteButton(int part) const;
  QToolButton* SoloButton(int part) const;

  /// The notes of the section shown, as the edits take them, and whether they may be edited
  /// (else they can only be selected and copied). Set after SetPattern.
  void SetNotes(std::optional<brondel::TSectionNotes> notes, bool editable);
  bool Editable() const { return editable_; }
  /// Where an edit goes: it returns true when the edit was written.
  void SetEditSink(std::function<bool(const brondel::TNotesEdit&)> sink);
  /// The step notes snap to, and the velocity of the notes added.
  void SetSnap(brondel::TSnapStep step) { snap_ = step; }
  brondel::TSnapStep Snap() const { return snap_; }
  void SetVelocity(int velocity) { velocity_ = velocity; }
  /// Where copies go and pastes come from, shared by every section shown; outlives the view.
  void SetClipboard(brondel::TNoteClipboard* clipboard) { clipboard_ = clipboard; }
  /// How Quantize (Q) moves notes: strength 100, 75 or 50 %, swing 50 to 75 %.
  void SetQuantize(int strength, int swing);

  /// The selected notes, sorted; notes that are no longer shown drop out.
  const brondel::TSelection& Selection() const { return selection_; }
  void SetSelection(brondel::TSelection selection);
  /// The snap grid of the pattern shown (its meter, the snap step).
  brondel::TSnapGrid Grid() const;

  /// Commands the keys give, callable from the window's menus too.
  void DeleteSelection();
  void CopySelection();
  void CutSelection();
  /// Pastes at the start of the bar under the pointer (its last place over the notes), or of
  /// the first bar.
  void Paste();
  void RepeatSelection();
  void QuantizeSelection();
  /// Selects every note of the lane under the pointer (of the lanes holding a selected note
  /// when the pointer is elsewhere).
  void SelectLane();
  /// Sets the velocity of the selected notes.
  void SetSelectionVelocity(int velocity);

 Q_SIGNALS:
  /// A mute or solo switch was flipped.
  void MixChanged();
  /// A note was clicked, drawn or moved: it is to be heard.
  void NoteSounded(int part, int key, int velocity);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void wheelEvent(QWheelEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // What a press of the left button has started.
  enum class TGesture { kNone, kClick, kDraw, kMove, kResize, kBand, kVelocity };
  struct TDrag {
    TGesture gesture = TGesture::kNone;
    QPointF press;
    QPointF now;
    int part = 0;
    int pressRow = 0;
    std::optional<brondel::TPatternNote> note;  // the note pressed on
    bool control = false;
    bool shift = false;
    bool moved = false;  // went further than a click may wobble
  };
  // A note as a drag would leave it, to be drawn as an outline.
  struct TGhost {
    int part = 0;
    int key = 0;
    std::uint32_t start = 0;
    std::uint32_t length = 0;
  };

  /// The part whose lane rows hold viewport point `point`, or -1.
  int PartAt(QPointF point) const;
  /// The part whose velocity strip holds `point`, or -1.
  int VelocityPartAt(QPointF point) const;
  /// The note of a lane whose velocity bar is at x (give or take a grip), the latest; or null.
  const brondel::TPatternNote* VelocityBarAt(int part, double x) const;
  /// The row of part's lane at height y, past its ends as the pointer leaves it.
  int RowAt(int part, double y) const;
  /// The key row `row` of a lane shows (KeyAtRow).
  int KeyOfRow(int part, int row) const;
  /// The row on which `key` stands in a lane, past its ends for keys it does not show.
  double RowOfKey(int part, int key) const;
  /// The tick under x, within the timeline.
  std::uint32_t TickAt(double x) const;
  /// Hands an edit to the window; true when written.
  bool Apply(const brondel::TNotesEdit& edit);
  /// Follows the pointer of a drag; past the wobble of a click, the drag's gesture is settled.
  void Track(const QMouseEvent& event);
  void Release();
  /// The notes the drag would leave, as outlines; the rubber band as a rectangle.
  std::vector<TGhost> Ghosts() const;
  QRectF BandRect() const;
  void PaintEditing(QPainter& painter);
  const brondel::TEditNote* FindNote(const brondel::TNoteId& id) const;

  QToolButton* MakeLaneButton(const QString& text, const QString& hint);
  void FlipSwitch();
  /// Scroll ranges, the layout's view size, zoom and scroll, and the lane buttons, after any
  /// change of the pattern, the zoom or the view's size.
  void UpdateGeometry();
  void PlaceLaneButtons();
  /// Asks for the strip under the play line to be painted again.
  void UpdatePlayLine();
  void SyncScroll();
  bool ShowToolTip(const QHelpEvent& help);

  std::optional<brondel::TSectionPattern> pattern_;
  std::optional<brondel::pattern::TPatternLayout> layout_;
  QString caption_;
  double pixelsPerTick_ = 1;
  bool fitting_ = true;
  std::optional<std::uint32_t> playTick_;
  std::array<QToolButton*, brondel::kPartCount> muteButtons_{};
  std::array<QToolButton*, brondel::kPartCount> soloButtons_{};

  std::optional<brondel::TSectionNotes> notes_;
  bool editable_ = false;
  std::function<bool(const brondel::TNotesEdit&)> sink_;
  brondel::TSnapStep snap_ = brondel::TSnapStep::kSixteenth;
  int velocity_ = 100;
  int strength_ = 100;
  int swing_ = 50;
  brondel::TNoteClipboard* clipboard_ = nullptr;
  brondel::TSelection selection_;
  TDrag drag_;
  std::optional<QPointF> pointer_;  // the pointer's last place over the viewport
};

}  // namespace brondel::app
