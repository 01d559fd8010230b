// The pattern window as an editor, driven by synthesized mouse and key events offscreen: drum
// hits added and removed, notes drawn, moved and resized (Shift keeping the key), the rubber band
// and the keys, copy from the read-only import file and paste into the main file, a refused edit
// that changes no byte, and the toolbar's Undo and Redo.
#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include "app/pattern_view.h"
#include "app/pattern_window.h"
#include "pattern/part_notes.h"
#include "window_rig.h"

using brondel::TEditNote;
using brondel::TNoteList;
using brondel::TPartBuilder;
using brondel::app::TPatternView;
using brondel::app::TPatternWindow;

namespace brondel {

// Failures print the notes: tick, key, velocity, length.
char* toString(const TNoteList& notes) {
  QString text;
  for (const TEditNote& note : notes) {
    text += QStringLiteral("(%1 %2 %3 %4)")
                .arg(note.tick)
                .arg(note.key)
                .arg(note.velocity)
                .arg(note.length);
  }
  return qstrdup(text.toUtf8().constData());
}
char* toString(const TEditNote& note) {
  return toString(TNoteList{note});
}

}  // namespace brondel

namespace {

constexpr int kVar1 = 2;
constexpr int kVar2 = 3;
constexpr int kDrums = 0;
constexpr int kBass = 1;
constexpr std::uint32_t kBeat = 96;  // 4/4 at 96 ticks a quarter note
constexpr std::uint32_t kBar = 4 * kBeat;
constexpr std::uint8_t kKick = 36;
constexpr std::uint8_t kSnare = 38;
constexpr std::uint8_t kBassKey = 40;

/// A 4/4 rhythm whose sections last two bars; Var1 has a kick at 0, a snare on beat 2 (both 48
/// ticks long) and a bass note E2 on beat 3 of bar 1 (96 ticks long).
brondel::TRhythmBuilder EditRhythm() {
  brondel::TRhythmBuilder rhythm(100, 0x22);
  for (int s = 0; s < brondel::kSectionCount; ++s) {
    rhythm.Bars(s, 2);
    for (int p = 0; p < brondel::kPartCount; ++p) rhythm.Part(s, p, TPartBuilder().Wait(768).End());
  }
  rhythm.Part(kVar1, kDrums,
              TPartBuilder()
                  .Note(0, kKick, 100)
                  .Note(48, kKick, 0)
                  .Note(48, kSnare, 100)
                  .Note(48, kSnare, 0)
                  .Wait(624)
                  .End());
  rhythm.Part(
      kVar1, kBass,
      TPartBuilder().Wait(192).Note(0, kBassKey, 80).Wait(96).Note(0, kBassKey, 0).Wait(480).End());
  return rhythm;
}

/// The main window, its pattern window shown on Var1 of EditRhythm in the main file and, in the
/// import file, EditRhythm too.
struct TEditRig {
  TEditRig() {
    window = rig.form->PatternWindow();
    rig.form->Pattern1Click();
    rig.Open(1, rig.Write("import.ckf", EditRhythm().CkfFile()));
    rig.Open(0, rig.Write("main.ckf", EditRhythm().CkfFile()));
    ShowMain(kVar1);
    original = Main();
  }

  void ShowMain(int section) { ClickRow(rig.form->Controls().mainFile.sectionList, section); }
  void ShowImport(int section) { ClickRow(rig.form->Controls().importFile.sectionList, section); }

  const brondel::TRhythmSlot& Main() const { return rig.form->Documents().slots[0]; }
  TNoteList Notes(int part, int section = kVar1) const {
    return brondel::ReadSectionNotes(Main(), section).parts[static_cast<std::size_t>(part)];
  }
  TPatternView* View() const { return window->View(); }
  QWidget* Viewport() const { return View()->viewport(); }

  /// The viewport point of `key`'s row in a lane, `tick` ticks into the section (a little into
  /// the tick, so that rounding to a pixel stays on it).
  QPoint At(int part, int key, double tick) const {
    const auto* layout = View()->Layout();
    const std::vector<int>& keys = View()->Pattern()->lanes[static_cast<std::size_t>(part)].keys;
    const auto row = std::find(keys.begin(), keys.end(), key) - keys.begin();
    return QPointF(layout->TickToX(tick), layout->RowRect(part, static_cast<int>(row)).center().y())
        .toPoint();
  }

  void Click(QPoint at, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(Viewport(), Qt::LeftButton, modifiers, at);
  }
  void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mousePress(Viewport(), Qt::LeftButton, modifiers, from);
    QTest::mouseMove(Viewport(), (from + to) / 2);
    QTest::mouseMove(Viewport(), to);
    QTest::mouseRelease(Viewport(), Qt::LeftButton, modifiers, to);
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(View(), static_cast<Qt::Key>(key), modifiers);
  }

  TWindowRig rig{1};
  TPatternWindow* window = nullptr;
  brondel::TRhythmSlot original;
};

bool SameBytes(const brondel::TRhythmSlot& a, const brondel::TRhythmSlot& b) {
  return a.header.bytes == b.header.bytes && a.streams == b.streams;
}

TEditNote Note(std::uint32_t tick, std::uint8_t key, std::uint8_t velocity, std::uint32_t length) {
  return {tick, key, velocity, length};
}

}  // namespace

class TestPatternEdit : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void ClickOnTheDrumLaneAddsAHitAndClickOnAHitRemovesIt() {
    TEditRig rig;
    QVERIFY(rig.View()->Editable());
    QVERIFY(!rig.window->ReadOnlyNotice()->isVisible());
    QVERIFY(!rig.window->windowTitle().contains('*'));
    QSignalSpy heard(rig.window, &TPatternWindow::AuditionRequested);
    // Bar 2, beat 3 of the snare row; a little into the step, which the 1/16 snap floors.
    const std::uint32_t tick = kBar + 2 * kBeat;
    rig.Click(rig.At(kDrums, kSnare, tick + 10));
    QCOMPARE(rig.Notes(kDrums), TNoteList({Note(0, kKick, 100, 48), Note(96, kSnare, 100, 48),
                                           Note(tick, kSnare, 100, kBeat / 4)}));
    QCOMPARE(heard.size(), 1);
    QCOMPARE(heard[0], QList<QVariant>({kDrums, int{kSnare}, 100}));
    QVERIFY(rig.window->windowTitle().endsWith("main.ckf* - Var1"));
    QCOMPARE(rig.window->UndoAction()->toolTip(), QString("Undo Add note"));
    QVERIFY(rig.window->BytesText().startsWith("Var1: "));
    QVERIFY(rig.window->BytesText().contains("of 64,995 bytes; rhythm: "));

    // The toolbar's velocity and snap.
    rig.window->VelocityBox()->setValue(64);
    rig.window->SnapBox()->setCurrentText("1/8");
    rig.Click(rig.At(kDrums, kKick, kBar + 50));
    QCOMPARE(rig.Notes(kDrums)[2], Note(kBar + 48, kKick, 64, 48));

    // With audition off, nothing is to be heard.
    QCOMPARE(heard.size(), 2);  // the kick added at bar 2
    rig.window->AuditionAction()->setChecked(false);
    rig.Drag(rig.At(kDrums, kKick, 5), rig.At(kDrums, kKick, 5 + kBeat));
    QCOMPARE(heard.size(), 2);
    QCOMPARE(rig.Notes(kDrums)[1], Note(kBeat, kKick, 100, 48));  // the kick moved a beat
    rig.window->UndoAction()->trigger();

    rig.Click(rig.At(kDrums, kSnare, tick + 5));  // on the hit added: it goes
    QCOMPARE(rig.Notes(kDrums), TNoteList({Note(0, kKick, 100, 48), Note(96, kSnare, 100, 48),
                                           Note(kBar + 48, kKick, 64, 48)}));
  }

  void AddedDrumRowTakesHits() {
    TEditRig rig;
    auto* box = rig.window->findChild<QComboBox*>("PatternDrumRow");
    QAction* add = rig.window->findChild<QAction*>("PatternAddDrumRow");
    box->setEditText("closed hi");  // a part of a name
    add->trigger();
    QCOMPARE(rig.View()->Pattern()->lanes[kDrums].keys, std::vector<int>({42, kSnare, kKick}));
    box->setEditText("128");
    add->trigger();
    QVERIFY(rig.window->Message().contains("a key from 0 to 127"));
    box->setEditText("49");  // a key number
    add->trigger();
    QCOMPARE(rig.View()->Pattern()->lanes[kDrums].keys, std::vector<int>({49, 42, kSnare, kKick}));
    rig.Click(rig.At(kDrums, 42, kBeat + 1));
    QCOMPARE(rig.Notes(kDrums)[2], Note(kBeat, 42, 100, 24));
  }

  void DragDrawsMovesAndResizesNotes() {
    TEditRig rig;
    // Drawn on the row above the bass note (F2) from a little into bar 2 to beat 2 of it.
    rig.Drag(rig.At(kBass, kBassKey + 1, kBar + 3), rig.At(kBass, kBassKey + 1, kBar + 90));
    QCOMPARE(rig.Notes(kBass), TNoteList({Note(192, kBassKey, 80, 96), Note(kBar, 41, 100, 96)}));

    // The E2 note moved a beat later and two rows up: to beat 4, F#2.
    rig.Drag(rig.At(kBass, kBassKey, 192 + 30), rig.At(kBass, kBassKey + 2, 192 + 30 + kBeat));
    QCOMPARE(rig.Notes(kBass), TNoteList({Note(288, 42, 80, 96), Note(kBar, 41, 100, 96)}));
    QCOMPARE(rig.window->UndoAction()->toolTip(), QString("Undo Move 1 note"));

    // Shift keeps the key while the drag goes further across than up or down.
    rig.Drag(rig.At(kBass, 42, 288 + 30), rig.At(kBass, 43, 288 + 30 - kBeat), Qt::ShiftModifier);
    QCOMPARE(rig.Notes(kBass).front(), Note(192, 42, 80, 96));
    // ... and the time while it goes further up or down.
    const QPoint from = rig.At(kBass, 42, 192 + 30);
    rig.Drag(from, QPoint(from.x() + 3, rig.At(kBass, 38, 0).y()), Qt::ShiftModifier);
    QCOMPARE(rig.Notes(kBass).front(), Note(192, 38, 80, 96));

    // Its right edge dragged half a beat further.
    const QRectF bar = rig.View()->Layout()->NoteRect(rig.View()->Pattern()->LaneNotes(kBass)[0]);
    const QPoint edge(static_cast<int>(bar.right()) - 1, static_cast<int>(bar.center().y()));
    const double pixels = rig.View()->Layout()->PixelsPerTick() * 48;
    rig.Drag(edge, edge + QPoint(static_cast<int>(pixels), 0));
    QCOMPARE(rig.Notes(kBass).front(), Note(192, 38, 80, 144));
  }

  void RubberBandAndKeysEditTheSelection() {
    TEditRig rig;
    // A band over both drum hits from an empty cell.
    rig.Drag(rig.At(kDrums, kSnare, kBar - 20), rig.At(kDrums, kKick, 2));
    QCOMPARE(rig.View()->Selection().size(), std::size_t{2});
    QCOMPARE(rig.Notes(kDrums).size(), std::size_t{2});  // the band added nothing
    rig.Key(Qt::Key_Right);                              // one 1/16 later
    QCOMPARE(rig.Notes(kDrums), TNoteList({Note(24, kKick, 100, 48), Note(120, kSnare, 100, 48)}));
    rig.Key(Qt::Key_Up);  // the kick to the snare row; the snare has no row above
    QVERIFY(rig.window->Message().contains("top row"));
    QCOMPARE(rig.Notes(kDrums), TNoteList({Note(24, kKick, 100, 48), Note(120, kSnare, 100, 48)}));
    rig.Key(Qt::Key_Delete);
    QVERIFY(rig.Notes(kDrums).empty());

    // Ctrl+A takes the lane under the pointer; Up a semitone, Shift+Up an octave.
    QTest::mouseMove(rig.Viewport(), rig.At(kBass, kBassKey, 600));
    rig.Key(Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(rig.View()->Selection(), brondel::TSelection({{kBass, 192, kBassKey}}));
    rig.Key(Qt::Key_Up);
    rig.Key(Qt::Key_Up, Qt::ShiftModifier);
    rig.Key(Qt::Key_Down);
    QCOMPARE(rig.Notes(kBass), TNoteList({Note(192, kBassKey + 12, 80, 96)}));

    // Ctrl+D repeats it a beat later (from its grid line to the line after its end).
    rig.Key(Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(rig.Notes(kBass),
             TNoteList({Note(192, kBassKey + 12, 80, 96), Note(288, kBassKey + 12, 80, 96)}));
    // Ctrl+click adds a note to the selection and takes it out again.
    QCOMPARE(rig.View()->Selection().size(), std::size_t{1});
    rig.Click(rig.At(kBass, kBassKey + 12, 200), Qt::ControlModifier);
    QCOMPARE(rig.View()->Selection().size(), std::size_t{2});
    rig.Click(rig.At(kBass, kBassKey + 12, 200), Qt::ControlModifier);
    QCOMPARE(rig.View()->Selection().size(), std::size_t{1});
  }

  void VelocityLaneSetsOneNoteOrTheSelectionTogether() {
    TEditRig rig;
    const auto* layout = rig.View()->Layout();
    const auto& pattern = *rig.View()->Pattern();
    const QRectF strip = layout->VelocityRect(kDrums);
    QVERIFY(strip.height() > 0);
    QVERIFY(strip.top() >= layout->LaneRect(kDrums).bottom());
    // The bars stand as tall as the notes are loud.
    const QRectF kickBar = layout->VelocityBar(pattern.LaneNotes(kDrums)[0]);
    const QRectF bassBar = layout->VelocityBar(pattern.LaneNotes(kBass)[0]);
    QVERIFY(kickBar.height() > bassBar.height());  // 100 against 80
    // A drag on the bass note's bar: only it changes.
    const QRectF bassStrip = layout->VelocityRect(kBass);
    const int x = static_cast<int>(bassBar.center().x());
    const int low = static_cast<int>(bassStrip.bottom()) - 3;  // near the foot: a soft note
    rig.Drag(QPoint(x, static_cast<int>(bassStrip.center().y())), QPoint(x, low));
    const int velocity = layout->VelocityAt(kBass, low);
    QVERIFY(velocity < 20);
    QCOMPARE(rig.Notes(kBass),
             TNoteList({Note(192, kBassKey, static_cast<std::uint8_t>(velocity), 96)}));
    QCOMPARE(rig.window->UndoAction()->toolTip(), QString("Undo Set velocity of 1 note"));

    // Both drum hits selected: a drag on one bar sets both.
    rig.Drag(rig.At(kDrums, kSnare, kBar - 20), rig.At(kDrums, kKick, 2));
    const QRectF drumStrip = rig.View()->Layout()->VelocityRect(kDrums);
    const QRectF bar =
        rig.View()->Layout()->VelocityBar(rig.View()->Pattern()->LaneNotes(kDrums)[1]);
    rig.Drag(QPoint(static_cast<int>(bar.center().x()), static_cast<int>(drumStrip.center().y())),
             QPoint(static_cast<int>(bar.center().x()), static_cast<int>(drumStrip.top())));
    QCOMPARE(rig.Notes(kDrums), TNoteList({Note(0, kKick, 127, 48), Note(96, kSnare, 127, 48)}));
  }

  void ImportFileIsReadOnlyButItsNotesCopyIntoTheMainFile() {
    TEditRig rig;
    rig.ShowImport(kVar1);
    QVERIFY(!rig.View()->Editable());
    QVERIFY(rig.window->ReadOnlyNotice()->isVisible());
    QVERIFY(rig.window->ReadOnlyNotice()->text().contains("import file"));
    const brondel::TRhythmSlot import = rig.rig.form->Documents().slots[1];
    rig.Click(rig.At(kDrums, kSnare, 100));  // selects, does not remove
    rig.Click(rig.At(kDrums, kSnare, 600));  // adds nothing
    rig.Drag(rig.At(kBass, kBassKey, 200), rig.At(kBass, kBassKey, 400));  // moves nothing
    QVERIFY(SameBytes(rig.rig.form->Documents().slots[1], import));
    QCOMPARE(rig.rig.form->EditHistory().UndoCount(), std::size_t{0});

    rig.Drag(rig.At(kDrums, kSnare, kBar - 20), rig.At(kDrums, kKick, 2));
    rig.Click(rig.At(kBass, kBassKey, 200), Qt::ControlModifier);  // and the bass note
    rig.Key(Qt::Key_C, Qt::ControlModifier);
    rig.Key(Qt::Key_Delete);  // read-only
    QVERIFY(SameBytes(rig.rig.form->Documents().slots[1], import));

    // Into Var2 of the main file, at bar 2 where the pointer is.
    rig.ShowMain(kVar2);
    QVERIFY(rig.View()->Editable());
    QTest::mouseMove(rig.Viewport(), rig.At(kDrums, kKick, kBar + 200));
    rig.Key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(rig.Notes(kDrums, kVar2),
             TNoteList({Note(kBar, kKick, 100, 48), Note(kBar + 96, kSnare, 100, 48)}));
    QCOMPARE(rig.Notes(kBass, kVar2), TNoteList({Note(kBar + 192, kBassKey, 80, 96)}));
    QCOMPARE(rig.View()->Selection().size(), std::size_t{3});  // the notes pasted

    // Back on the import file, the edits are off but Undo is not.
    rig.ShowImport(kVar1);
    QVERIFY(rig.window->UndoAction()->isEnabled());
    QVERIFY(!rig.window->findChild<QSpinBox*>("PatternBars")->isEnabled());
    rig.window->UndoAction()->trigger();
    QVERIFY(rig.Notes(kDrums, kVar2).empty());
  }

  void RefusedEditChangesNoByteAndSaysWhy() {
    TEditRig rig;
    // The bass note dragged past the section's end.
    rig.Drag(rig.At(kBass, kBassKey, 200), rig.At(kBass, kBassKey, 760));
    QVERIFY(SameBytes(rig.Main(), rig.original));
    QVERIFY(rig.window->Message().startsWith("Move 1 note: "));
    QCOMPARE(rig.rig.form->EditHistory().UndoCount(), std::size_t{0});
    // Transposed past key 127, octave by octave.
    rig.Click(rig.At(kBass, kBassKey, 200));
    for (int i = 0; i < 7; ++i) rig.Key(Qt::Key_Up, Qt::ShiftModifier);
    const brondel::TRhythmSlot before = rig.Main();
    const std::size_t steps = rig.rig.form->EditHistory().UndoCount();
    QCOMPARE(steps, std::size_t{7});  // up to key 124
    rig.Key(Qt::Key_Up, Qt::ShiftModifier);
    QVERIFY(SameBytes(rig.Main(), before));
    QCOMPARE(rig.rig.form->EditHistory().UndoCount(), steps);
    QVERIFY(rig.window->Message().startsWith("Transpose 1 note: "));
  }

  void UndoAndRedoButtonsGiveTheBytesBack() {
    TEditRig rig;
    QVERIFY(!rig.window->UndoAction()->isEnabled());
    rig.Click(rig.At(kDrums, kSnare, kBar + 1));
    rig.Drag(rig.At(kBass, kBassKey, 200), rig.At(kBass, kBassKey, 300));
    const brondel::TRhythmSlot edited = rig.Main();
    QCOMPARE(rig.window->RedoAction()->isEnabled(), false);
    rig.window->UndoAction()->trigger();
    QCOMPARE(rig.window->RedoAction()->toolTip(), QString("Redo Move 1 note"));
    rig.window->UndoAction()->trigger();
    QVERIFY(SameBytes(rig.Main(), rig.original));
    QVERIFY(!rig.window->UndoAction()->isEnabled());
    QVERIFY(!rig.window->windowTitle().contains('*'));
    rig.window->RedoAction()->trigger();
    rig.window->RedoAction()->trigger();
    QVERIFY(SameBytes(rig.Main(), edited));
    QVERIFY(rig.window->windowTitle().contains('*'));
    // A save elsewhere takes the * away.
    rig.rig.form->EditHistory().MarkSaved();
    rig.window->HistoryChanged();
    QVERIFY(!rig.window->windowTitle().contains('*'));
  }

  void SectionCommandsOfTheToolbar() {
    TEditRig rig;
    rig.window->SetBars(1, false);
    QCOMPARE(rig.Main().header.BarCount(kVar1), 1);
    QCOMPARE(rig.Notes(kBass), TNoteList({Note(192, kBassKey, 80, 96)}));
    rig.window->SetBars(3, true);
    QCOMPARE(rig.Notes(kBass),
             TNoteList({Note(192, kBassKey, 80, 96), Note(kBar + 192, kBassKey, 80, 96),
                        Note(2 * kBar + 192, kBassKey, 80, 96)}));
    rig.window->TransposePart(kBass, -12);
    QCOMPARE(rig.Notes(kBass).front().key, std::uint8_t{kBassKey - 12});
    rig.window->CopyPartTo(kBass, kVar2);
    QCOMPARE(rig.Notes(kBass, kVar2), TNoteList({Note(192, kBassKey - 12, 80, 96),
                                                 Note(kBar + 192, kBassKey - 12, 80, 96)}));
    rig.window->ClearPart(kBass);
    QVERIFY(rig.Notes(kBass).empty());
    // Quantize with swing: the second 1/8 of a beat goes to 2/3 of the beat at 66 %.
    rig.window->SnapBox()->setCurrentText("1/8");
    rig.window->findChild<QSpinBox*>("PatternSwing")->setValue(66);
    rig.Click(rig.At(kDrums, kSnare, 50));  // a snare at 48
    rig.Key(Qt::Key_Q);
    // (ended where the next snare starts, at 96)
    QCOMPARE(rig.Notes(kDrums)[1], Note(63, kSnare, 100, 96 - 63));
  }
};

QTEST_MAIN(TestPatternEdit)
#include "test_pattern_edit.moc"
