// The pattern window as a user meets it: View > Pattern between File and About, the section it
// follows through selections in both slots, Play all's walk, opens and edits, and its picture,
// probed pixel by pixel where the layout puts the notes, after zooming too, with mute and solo;
// its own Play, Stop and Loop, and the play line following what the device sounds.
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollBar>
#include <QToolButton>
#include <QToolTip>
#include <QtTest>

#include "app/pattern_view.h"
#include "app/pattern_window.h"
#include "clock_driver.h"
#include "pattern/painting/pattern_painter.h"
#include "window_rig.h"

using brondel::TPartBuilder;
using brondel::TPatternNote;
using brondel::app::DescribeNote;
using brondel::app::TPatternView;
using brondel::app::TPatternWindow;
using brondel::pattern::NoteColour;
using brondel::pattern::RowColour;
using brondel::platform::ManualMidiClock;
using brondel::platform::MidiMicros;
using brondel::platform::RecordedMessage;
using namespace std::chrono_literals;

namespace {

constexpr int kVar1 = 2;
constexpr int kBass = 1;

/// A 4/4 rhythm, tempo 96, whose Var1 (one bar) has a loud kick on each beat, a bass note at beat
/// 3 and empty chord parts.
brondel::TRhythmBuilder ProbeRhythm() {
  brondel::TRhythmBuilder rhythm(96, 0x22);
  for (int s = 0; s < brondel::kSectionCount; ++s) rhythm.Bars(s, 1);
  TPartBuilder drums;
  for (int beat = 0; beat < 4; ++beat) drums.Note(beat == 0 ? 0 : 48, 36, 127).Note(48, 36, 0);
  rhythm.Part(kVar1, 0, drums.End());
  rhythm.Part(kVar1, kBass, TPartBuilder().Wait(192).Note(0, 40, 64).Note(96, 40, 0).End(96));
  return rhythm;
}

/// The notes without their rows: the lanes of the main file, which can be edited, show rows
/// for keys not played yet.
std::vector<TPatternNote> Unrowed(std::vector<TPatternNote> notes) {
  for (TPatternNote& note : notes) note.row = 0;
  return notes;
}

/// The window's view image as it is on screen, one pixel per device-independent pixel.
QImage Grab(TPatternView* view) {
  return view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QColor Pixel(const QImage& image, QPointF point) {
  return image.pixelColor(point.toPoint());
}

QString Title(const char* file, const char* section) {
  return QString::fromLatin1(file) + QStringLiteral(" - ") + QString::fromLatin1(section);
}

/// Sends a wheel turn with the control key down to the view, at a viewport point.
void CtrlWheel(TPatternView* view, QPointF at, int notches) {
  QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                    Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view->viewport(), &wheel);
}

// ProbeRhythm plays 96 ticks a quarter note at tempo 96: a bar of 2 s, a tick of 500/96 ms.
constexpr MidiMicros kBar = 2000ms;

/// The recorded due times, from `start`, of the messages equal to status, data1, data2.
std::vector<MidiMicros> DueTimes(const brondel::platform::RecordingMidiDevice& device,
                                 MidiMicros start, std::uint8_t status, std::uint8_t data1,
                                 std::uint8_t data2) {
  std::vector<MidiMicros> times;
  for (const RecordedMessage& m : device.Messages()) {
    const auto& bytes = m.message.bytes;
    if (bytes[0] == status && bytes[1] == data1 && bytes[2] == data2) {
      times.push_back(m.due - start);
    }
  }
  return times;
}

std::vector<MidiMicros> Kicks(const brondel::platform::RecordingMidiDevice& device,
                              MidiMicros start) {
  return DueTimes(device, start, 0x99, 36, 127);
}

std::vector<MidiMicros> Every(MidiMicros step, MidiMicros from, MidiMicros to) {
  std::vector<MidiMicros> times;
  for (MidiMicros t = from; t < to; t += step) times.push_back(t);
  return times;
}

/// A window on one recording device and a manual clock, with ProbeRhythm open and its Var1 shown
/// in the pattern window.
struct TProbePlay {
  TProbePlay() {
    window = rig.form->PatternWindow();
    rig.form->Pattern1Click();
    rig.Open(0, rig.Write("probe.ckf", ProbeRhythm().CkfFile()));
    ClickRow(rig.form->Controls().mainFile.sectionList, kVar1);
  }

  brondel::platform::RecordingMidiDevice& Device() { return *rig.devices[0]; }

  ManualMidiClock clock;
  TWindowRig rig{1, clock};
  TPatternWindow* window = nullptr;
};

/// The tick of a section started at `start` that sounds at `now`, `latency` after it was sent.
std::uint32_t TickAt(MidiMicros start, MidiMicros now, MidiMicros latency) {
  return static_cast<std::uint32_t>((now - start - latency) * 96 / 500ms);
}

}  // namespace

class TestPatternWindow : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void ViewPatternSitsBetweenFileAndAboutAndOpensTheWindow() {
    TWindowRig rig(1);
    QStringList titles;
    for (QAction* action : rig.form->menuBar()->actions()) titles << action->text();
    QCOMPARE(titles, QStringList({"File", "Edit", "View", "About"}));
    QCOMPARE(rig.form->Controls().aboutAction->menu(),
             static_cast<QMenu*>(nullptr));  // still an item
    TPatternWindow* window = rig.form->PatternWindow();
    QVERIFY(!window->isVisible());
    rig.form->Controls().patternAction->trigger();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QString("Pattern"));
    QCOMPARE(window->View()->Pattern(), static_cast<const brondel::TSectionPattern*>(nullptr));
    QVERIFY(window->isWindow());
  }

  void FollowsTheSectionsSelectedInBothSlots() {
    TWindowRig rig(1);
    rig.form->Pattern1Click();
    TPatternWindow* window = rig.form->PatternWindow();
    rig.Open(0, rig.Write("main.ckf", SmallRhythm().CkfFile()));
    QCOMPARE(window->windowTitle(), Title("main.ckf", "Intro1"));
    rig.Open(1, rig.Write("import.ckf", ProbeRhythm().CkfFile()));
    QCOMPARE(window->windowTitle(), Title("import.ckf", "Intro1"));  // the slot just opened
    QCOMPARE(window->Slot(), 1);

    ClickRow(rig.form->Controls().mainFile.sectionList, 3);
    QCOMPARE(window->windowTitle(), Title("main.ckf", "Var2"));
    const auto& main = rig.form->Documents().slots[0];
    QCOMPARE(Unrowed(window->View()->Pattern()->notes),
             Unrowed(brondel::BuildSectionPattern(main, 3).notes));
    ClickRow(rig.form->Controls().importFile.sectionList, kVar1);
    QCOMPARE(window->windowTitle(), Title("import.ckf", "Var1"));
    QCOMPARE(window->View()->Pattern()->notes.size(), std::size_t{5});  // four kicks, a bass note

    // The keyboard moves a selection as well.
    rig.form->Controls().mainFile.sectionList->setFocus();
    QTest::keyClick(rig.form->Controls().mainFile.sectionList, Qt::Key_Down);
    QCOMPARE(window->windowTitle(), Title("main.ckf", "Fill1"));
    QCOMPARE(window->Slot(), 0);
    QCOMPARE(window->Section(), 4);
  }

  void FollowsPlayAllsWalk() {
    brondel::platform::ManualMidiClock clock;
    TWindowRig rig(1, clock);
    rig.form->Pattern1Click();
    rig.Open(0, rig.Write("small.ckf", SmallRhythm().CkfFile()));
    TClockDriver driver(clock, 10ms);
    QStringList titles;
    QObject::connect(rig.form->PatternWindow(), &QWidget::windowTitleChanged,
                     [&](const QString& title) { titles << title; });
    rig.form->Button5Click();
    QStringList walk;
    for (const char* section :
         {"Var1", "Fill1", "Var1", "Fill2", "Var2", "Fill3", "Var2", "Fill4", "Var1", "End1"}) {
      walk << Title("small.ckf", section);
    }
    QCOMPARE(titles, walk);  // Intro1, the first entry, was shown already
  }

  void FollowsEditsOfTheDocumentItShows() {
    TWindowRig rig(1);
    rig.form->Pattern1Click();
    TPatternWindow* window = rig.form->PatternWindow();
    auto main = ProbeRhythm();
    main.Part(kVar1, kBass, TPartBuilder().End(0));
    rig.Open(0, rig.Write("main.ckf", main.CkfFile()));
    rig.Open(1, rig.Write("import.ckf", ProbeRhythm().CkfFile()));
    ClickRow(rig.form->Controls().mainFile.sectionList, kVar1);
    QCOMPARE(window->View()->Pattern()->LaneNotes(kBass).size(), std::size_t{0});

    // Copy the import file's Var1 bass into the main file's Var1.
    ClickRow(rig.form->Controls().importFile.sectionList, kVar1);
    rig.form->Controls().importFile.partList->setCurrentRow(kBass);
    rig.form->Controls().mainFile.partList->setCurrentRow(kBass);
    ClickRow(rig.form->Controls().mainFile.sectionList, kVar1);
    rig.form->Controls().mainFile.partList->setCurrentRow(kBass);
    rig.form->Button11Click();
    QVERIFY(rig.dialogs.shown.empty());
    QCOMPARE(window->View()->Pattern()->LaneNotes(kBass).size(), std::size_t{1});
    QCOMPARE(window->windowTitle(), Title("main.ckf*", "Var1"));  // changed, not saved

    // "Update parameters": the window's summary shows the new tempo.
    auto* summary = window->findChild<QLabel*>("PatternSummary");
    QCOMPARE(summary->text(), QString("Main file   1 bar of 4/4   Tempo 96"));
    rig.form->Controls().mainFile.tempoEdit->setText("120");
    rig.form->Button4Click();
    QVERIFY(summary->text().endsWith("Tempo 120"));

    // Changes while the window is hidden are there when it shows again.
    window->hide();
    rig.Open(0, rig.Write("other.ckf", SmallRhythm().CkfFile()));
    rig.form->Pattern1Click();
    QCOMPARE(window->windowTitle(), Title("other.ckf", "Intro1"));
    QCOMPARE(Unrowed(window->View()->Pattern()->notes),
             Unrowed(brondel::BuildSectionPattern(rig.form->Documents().slots[0], 0).notes));
  }

  void ProbesFindTheNotesWhereTheLayoutPutsThem() {
    TWindowRig rig(1);
    TPatternWindow* window = rig.form->PatternWindow();
    window->resize(900, 880);  // tall enough for every lane and the edit toolbar
    rig.form->Pattern1Click();
    rig.Open(0, rig.Write("probe.ckf", ProbeRhythm().CkfFile()));
    ClickRow(rig.form->Controls().mainFile.sectionList, kVar1);
    TPatternView* view = window->View();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const auto* layout = view->Layout();
    const auto& pattern = *view->Pattern();
    QCOMPARE(pattern.LaneNotes(0).size(), std::size_t{4});
    const TPatternNote& kick = pattern.LaneNotes(0)[1];  // at beat 2
    const TPatternNote& bass = pattern.LaneNotes(kBass)[0];

    QImage image = Grab(view);
    QCOMPARE(Pixel(image, layout->NoteRect(kick).center()), NoteColour(0, 127));
    QCOMPARE(Pixel(image, layout->NoteRect(bass).center()), NoteColour(kBass, 64));
    QVERIFY(NoteColour(kBass, 64) != NoteColour(kBass, 127));  // shaded by velocity
    // The bar begins and ends where the layout says, not a few pixels off.
    const QRectF bar = layout->NoteRect(bass);
    const double middle = bar.center().y();
    QCOMPARE(Pixel(image, QPointF(bar.left() + 2, middle)), NoteColour(kBass, 64));
    QCOMPARE(Pixel(image, QPointF(bar.right() - 3, middle)), NoteColour(kBass, 64));
    QCOMPARE(Pixel(image, QPointF(bar.left() - 3, middle)), RowColour(kBass, bass.row, 40));
    // The bass row at beat 1 and a half: no note, no line.
    const QRectF row = layout->RowRect(kBass, bass.row);
    const QPointF empty(layout->TickToX(48), row.center().y());
    QCOMPARE(Pixel(image, empty), RowColour(kBass, bass.row, 40));
    // Below the last lane the view's background shows.
    const QPointF below(layout->TickToX(48), layout->VelocityRect(4).bottom() + 3);
    QCOMPARE(Pixel(image, below), brondel::pattern::BackgroundColour());

    // Zoomed in around the bass note, it is found where the new layout puts it.
    const double before = layout->NoteRect(bass).width();
    CtrlWheel(view, layout->NoteRect(bass).center(), 3);
    QVERIFY(!view->Fitting());
    QVERIFY(layout->NoteRect(bass).width() > 1.9 * before);
    image = Grab(view);
    QCOMPARE(Pixel(image, layout->NoteRect(bass).center()), NoteColour(kBass, 64));
    QCOMPARE(Pixel(image, QPointF(layout->TickToX(bass.start) - 20, row.center().y())),
             RowColour(kBass, bass.row, 40));

    // Muting the drums fades their lane; soloing the bass fades the drums as well.
    view->Fit();
    view->MuteButton(0)->click();
    QVERIFY(!view->Mix().Audible(0));
    image = Grab(view);
    QVERIFY(Pixel(image, layout->NoteRect(kick).center()) != NoteColour(0, 127));
    QCOMPARE(Pixel(image, layout->NoteRect(bass).center()), NoteColour(kBass, 64));
    view->MuteButton(0)->click();
    QCOMPARE(Pixel(Grab(view), layout->NoteRect(kick).center()), NoteColour(0, 127));
    view->SoloButton(kBass)->click();
    QVERIFY(!window->Mix().Audible(0));
    QVERIFY(window->Mix().Audible(kBass));
    image = Grab(view);
    QVERIFY(Pixel(image, layout->NoteRect(kick).center()) != NoteColour(0, 127));
    QCOMPARE(Pixel(image, layout->NoteRect(bass).center()), NoteColour(kBass, 64));
  }

  void ToolTipsNameTheNoteUnderTheMouse() {
    TWindowRig rig(1);
    TPatternWindow* window = rig.form->PatternWindow();
    rig.form->Pattern1Click();
    rig.Open(0, rig.Write("probe.ckf", ProbeRhythm().CkfFile()));
    ClickRow(rig.form->Controls().mainFile.sectionList, kVar1);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    TPatternView* view = window->View();
    const TPatternNote& bass = view->Pattern()->LaneNotes(kBass)[0];
    const QString text = DescribeNote(*view->Pattern(), bass);
    QCOMPARE(text, QString("E2 (key 40)\nVelocity 64\nBar:beat:tick 1:3:000\nLength 96 ticks"));
    const QPoint at = view->Layout()->NoteRect(bass).center().toPoint();
    QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &help);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), text);
    // Off the notes, none.
    const QPoint off =
        QPointF(view->Layout()->TickToX(20), view->Layout()->RowRect(kBass, 0).center().y())
            .toPoint();
    QHelpEvent nothing(QEvent::ToolTip, off, view->viewport()->mapToGlobal(off));
    QApplication::sendEvent(view->viewport(), &nothing);
    QTRY_VERIFY(!QToolTip::isVisible());

    const TPatternNote cut{0, 42, 0, 48, 0, 90, false};
    QVERIFY(DescribeNote(*view->Pattern(), cut).endsWith("Length 0 ticks: ended as it starts"));
    const TPatternNote held{3, 61, 0, 100, 284, 200, true};
    QCOMPARE(DescribeNote(*view->Pattern(), held),
             QString("C#4 (key 61)\nVelocity 200\nBar:beat:tick 1:2:004\n"
                     "Length 284 ticks, sounding to the section's end"));
  }

  void OddRhythmsAreDrawnAsTheyPlay() {
    TWindowRig rig(1);
    TPatternWindow* window = rig.form->PatternWindow();
    rig.form->Pattern1Click();
    brondel::TRhythmBuilder odd(96, 0x00);                     // 0/1
    odd.Part(0, 0, TPartBuilder().Wait(300).Wait(300).End());  // waits only
    odd.Part(0, 1, TPartBuilder().Note(0, 200, 250).Wait(0xFFFF).Note(200, 36, 9).End());
    odd.Part(0, 2, TPartBuilder().Note(10, 60, 100).End(50));  // sounding
    rig.Open(0, rig.Write("odd.ckf", odd.CkfFile()));
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const auto* pattern = window->View()->Pattern();
    QVERIFY(pattern != nullptr);
    QCOMPARE(pattern->LaneNotes(0).size(), std::size_t{0});
    QCOMPARE(pattern->LaneNotes(2)[0].leftSounding, true);
    QVERIFY(!Grab(window->View()).isNull());
    for (int notches : {5, 5, -20}) CtrlWheel(window->View(), QPointF(300, 100), notches);
    window->View()->horizontalScrollBar()->setValue(
        window->View()->horizontalScrollBar()->maximum());
    QVERIFY(!Grab(window->View()).isNull());
  }

  // --- Hearing what is shown ---

  void PlayLoopsTheSectionShownAndAMuteTakesEffectAtTheNextRepetition() {
    TProbePlay play;
    const auto& device = play.Device();
    play.window->LoopAction()->setChecked(true);
    TClockDriver driver(play.clock, 10ms);
    const MidiMicros start = play.clock.Now();
    // The drums are muted half-way through the second repetition; Stop comes in the fourth.
    driver.At([&] { return play.clock.Now() >= start + kBar + 500ms; },
              [&] { play.window->View()->MuteButton(0)->click(); });
    std::optional<std::uint32_t> lineAtStop;
    driver.At([&] { return play.clock.Now() >= start + 3 * kBar + 500ms; },
              [&] {
                play.window->MovePlayLine();
                lineAtStop = play.window->View()->PlayTick();
                play.window->StopAction()->trigger();
              });
    play.window->PlayAction()->trigger();
    QCOMPARE(driver.Fired(), 2);
    const MidiMicros stoppedAt = play.clock.Now() - start;
    // Two whole repetitions of kicks back to back, then none: the drums left at the seam.
    QCOMPARE(Kicks(device, start), Every(500ms, 0ms, 2 * kBar));
    // The bass goes on in every repetition until Stop.
    QCOMPARE(DueTimes(device, start, 0x9A, 40, 64),
             (std::vector<MidiMicros>{1000ms, 3000ms, 5000ms}));
    // The line wrapped: in the fourth repetition it stood near its start.
    QVERIFY(lineAtStop.has_value());
    QVERIFY(*lineAtStop < 120);
    // After Stop nothing but its endings, and the line goes.
    for (const RecordedMessage& m : device.Messages()) {
      if (m.due - start > stoppedAt) QCOMPARE(m.message.bytes[1], std::uint8_t{123});
    }
    QTRY_VERIFY(!play.window->FollowingPlay());
    QVERIFY(!play.window->View()->PlayTick().has_value());
    QVERIFY(play.rig.dialogs.shown.empty());
  }

  void WithoutLoopPlayPlaysTheSectionOnceInItsMix() {
    TProbePlay play;
    play.window->View()->SoloButton(0)->click();
    TClockDriver driver(play.clock, 10ms);
    const MidiMicros start = play.clock.Now();
    play.window->PlayAction()->trigger();
    QVERIFY(play.clock.Now() - start >= kBar);
    QCOMPARE(Kicks(play.Device(), start), Every(500ms, 0ms, kBar));
    QVERIFY(DueTimes(play.Device(), start, 0x9A, 40, 64).empty());  // the drums alone

    // The main window's double-click plays all five parts, whatever the lanes' switches say.
    play.Device().ClearRecording();
    const MidiMicros again = play.clock.Now();
    DoubleClickRow(play.rig.form->Controls().mainFile.sectionList, kVar1);
    QCOMPARE(DueTimes(play.Device(), again, 0x9A, 40, 64).size(), std::size_t{1});
  }

  void ThePlayLineFollowsWhatTheDeviceSoundsAndGoesAtTheEnd() {
    TProbePlay play;
    QVERIFY(!play.window->FollowingPlay());  // no timer while nothing plays
    constexpr MidiMicros kLatency = 20ms;
    play.Device().SetOutputLatency(kLatency);
    TClockDriver driver(play.clock, 10ms);
    const MidiMicros start = play.clock.Now();
    struct TLook {
      MidiMicros at;
      std::optional<std::uint32_t> tick;
      bool timer;
    };
    std::vector<TLook> looks;
    for (const MidiMicros at : {510ms, 1300ms, 1900ms}) {
      driver.At([&, at] { return play.clock.Now() >= start + at; },
                [&] {
                  play.window->MovePlayLine();
                  looks.push_back({play.clock.Now(), play.window->View()->PlayTick(),
                                   play.window->FollowingPlay()});
                });
    }
    DoubleClickRow(play.rig.form->Controls().mainFile.sectionList, kVar1);
    QCOMPARE(looks.size(), std::size_t{3});
    for (const TLook& look : looks) {
      QVERIFY(look.timer);
      QVERIFY(look.tick.has_value());
      QCOMPARE(*look.tick, TickAt(start, look.at, kLatency));
    }
    // The double-click has returned; the line goes once the sound has ended.
    QTRY_VERIFY(!play.window->FollowingPlay());
    QVERIFY(!play.window->View()->PlayTick().has_value());
  }

  void TheCloseBoxDuringALoopEndsItWithTheRepetitionPlaying() {
    TProbePlay play;
    play.rig.form->show();
    play.window->LoopAction()->setChecked(true);
    TClockDriver driver(play.clock, 10ms);
    const MidiMicros start = play.clock.Now();
    driver.At([&] { return play.clock.Now() >= start + kBar + 500ms; },
              [&] { play.rig.form->close(); });
    bool gaveUp = false;  // a loop the close box did not end is stopped, and the test fails
    driver.At([&] { return play.clock.Now() >= start + 10 * kBar; },
              [&] {
                gaveUp = true;
                play.rig.form->Button3Click();
              });
    play.window->PlayAction()->trigger();
    QVERIFY(!gaveUp);
    QCOMPARE(Kicks(play.Device(), start), Every(500ms, 0ms, 2 * kBar));
    QVERIFY(!play.rig.form->isVisible());
  }

  void ExitDuringALoopStopsAtOnce() {
    TProbePlay play;
    play.rig.form->show();
    play.window->LoopAction()->setChecked(true);
    TClockDriver driver(play.clock, 10ms);
    const MidiMicros start = play.clock.Now();
    driver.At([&] { return play.clock.Now() >= start + kBar + 700ms; },
              [&] { play.rig.form->Controls().exitAction->trigger(); });
    play.window->PlayAction()->trigger();
    QVERIFY(play.clock.Now() - start < kBar + 900ms);
    QCOMPARE(Kicks(play.Device(), start), Every(500ms, 0ms, kBar + 600ms));
    QVERIFY(!play.Device().IsOpen());
    QVERIFY(!play.rig.form->isVisible());
  }
};

QTEST_MAIN(TestPatternWindow)
#include "test_pattern_window.moc"
