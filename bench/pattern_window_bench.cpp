// The pattern window's edit of a busy section (TwentyThousandNotes: 20,064 notes), from the
// mouse release to the document written and recorded and the view painted anew, and the
// toolbar's Undo and Redo of it. The goal is a frame: under 16 ms. Offscreen, at the size the
// window opens with, zoomed in 16 times from the whole section.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>

#include "app/pattern_view.h"
#include "app/pattern_window.h"
#include "bench/busy_sections.h"

namespace {

using namespace brondel;
using brondel::app::TPatternView;
using brondel::app::TPatternWindow;

constexpr int kBass = 1;

// The main file, its history and the window editing it, showing the busy section.
struct TEditedWindow {
  TEditedWindow() {
    docs.slots[kMainSlot] = bench::TwentyThousandNotes();
    window.SetEditing(&docs, &history);
    window.show();
    window.ShowSection(kMainSlot, bench::kSection);
    // Zoomed in around the note dragged, so that half a bar is a drag and not a click.
    View()->ZoomBy(16, View()->Layout()->NoteRect(MiddleBassNote()).center().x());
  }

  const TPatternNote& MiddleBassNote() const {
    const auto notes = View()->Pattern()->LaneNotes(kBass);
    return notes[notes.size() / 2];
  }

  TPatternView* View() const { return window.View(); }

  void Mouse(QEvent::Type type, QPointF at) {
    QMouseEvent event(type, at, View()->viewport()->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(View()->viewport(), &event);
  }

  // Drags the middle Bass note half a bar later (`later`) or back, then paints the view.
  void DragMiddleBassNote(bool later) {
    const auto& layout = *View()->Layout();
    const QRectF bar = layout.NoteRect(MiddleBassNote());
    const QPointF from(bar.left() + 1, bar.center().y());
    const double shift = layout.PixelsPerTick() * 192 * (later ? 1 : -1);
    Mouse(QEvent::MouseButtonPress, from);
    Mouse(QEvent::MouseMove, from + QPointF(shift, 0));
    Mouse(QEvent::MouseButtonRelease, from + QPointF(shift, 0));
    View()->viewport()->repaint();
  }

  TRhythmDocuments docs;
  TEditHistory history;
  TPatternWindow window{docs};
};

void BM_WindowMove(benchmark::State& state) {
  TEditedWindow rig;
  const std::size_t steps = rig.history.UndoCount();
  bool later = true;
  for (auto _ : state) {
    rig.DragMiddleBassNote(later);
    later = !later;
  }
  if (rig.history.UndoCount() == steps) state.SkipWithError("the drag moved nothing");
  state.counters["notes"] = static_cast<double>(rig.View()->Pattern()->notes.size());
}
BENCHMARK(BM_WindowMove)->Unit(benchmark::kMillisecond);

void BM_WindowUndoRedo(benchmark::State& state) {
  TEditedWindow rig;
  rig.DragMiddleBassNote(true);
  if (!rig.history.CanUndo()) state.SkipWithError("the drag moved nothing");
  bool undo = true;
  for (auto _ : state) {
    if (undo) {
      rig.window.Undo();
    } else {
      rig.window.Redo();
    }
    rig.View()->viewport()->repaint();
    undo = !undo;
  }
}
BENCHMARK(BM_WindowUndoRedo)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
