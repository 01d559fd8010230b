// The Play along window as a user meets it: View > Play along after Pattern; Var1 starts a play
// of the main file's rhythm, a click on the pad changes the chord while it plays (the bass and
// chord notes re-pitched at that moment), the chord and section shown follow, Stop ends every
// note; a chart plays from its start with its bar highlighted, and an ending ends the play.
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>
#include <map>

#include "app/pattern_window.h"
#include "app/play_along_window.h"
#include "clock_driver.h"
#include "tests/support/held_chord_rhythm.h"
#include "tests/support/recorded_notes.h"
#include "window_rig.h"

using brondel::app::TPlayAlongWindow;
using brondel::platform::ManualMidiClock;
using brondel::platform::MidiMicros;
using namespace std::chrono_literals;

namespace {

using brondel::test::HeldChordRhythm;

constexpr int kVar1 = 2, kEnd1 = 8;
// 96 ticks a quarter note at tempo 96: a bar of 2 s, a tick of 500/96 ms.
constexpr MidiMicros kBar = 2000ms;

struct TPlayAlong {
  TPlayAlong() {
    rig.Open(0, rig.Write("held.ckf", HeldChordRhythm().CkfFile()));
    rig.form->PlayAlong1Click();
    window = rig.form->PlayAlongWindow();
  }
  brondel::platform::RecordingMidiDevice& Device() { return *rig.devices[0]; }
  ManualMidiClock clock;
  TWindowRig rig{1, clock};
  TPlayAlongWindow* window = nullptr;
};

}  // namespace

class TestPlayAlong : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void ViewPlayAlongFollowsPatternAndOpensTheWindow() {
    TWindowRig rig(1);
    const QList<QAction*> view = rig.form->Controls().viewMenu->actions();
    QCOMPARE(view.size(), 2);
    QCOMPARE(view[0]->text(), QStringLiteral("Pattern"));
    QCOMPARE(view[1]->text(), QStringLiteral("Play along"));
    QCOMPARE(view[1]->objectName(), QStringLiteral("PlayAlong1"));
    view[1]->trigger();
    TPlayAlongWindow* window = rig.form->PlayAlongWindow();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Play along"));
    // Twelve roots times eight types, and N.C.
    QCOMPARE(window->findChild<QWidget*>(QStringLiteral("ChordPad"))
                 ->findChildren<QPushButton*>()
                 .size(),
             12 * 8 + 1);
    for (const char* name : {"C", "Dbm", "Ebm7", "F#7", "Bbsus4", "Bdim", "N.C."}) {
      QVERIFY2(window->PadButton(QString::fromLatin1(name)) != nullptr, name);
    }
    for (const char* text : {"Intro", "Var1", "Var2", "Fill", "Ending", "Sync start", "Stop"}) {
      QVERIFY2(window->Button(QString::fromLatin1(text)) != nullptr, text);
    }
    QCOMPARE(window->ChordLabel()->text(), QStringLiteral("Chord: C"));
    QCOMPARE(window->SectionLabel()->text(), QStringLiteral("Section: stopped"));
  }

  void ThePadChangesTheChordWhilePlaying() {
    TPlayAlong play;
    TClockDriver driver(play.clock, 10ms);
    const MidiMicros start = play.clock.Now();
    QString chordShown, sectionShown;
    MidiMicros clicked{0};
    driver.At([&] { return play.clock.Now() >= start + 1000ms; },
              [&] {
                clicked = play.clock.Now() - start;
                play.window->PadButton(QStringLiteral("Dm"))->click();
                play.window->ShowPlaying();
                chordShown = play.window->ChordLabel()->text();
                sectionShown = play.window->SectionLabel()->text();
              });
    driver.At([&] { return play.clock.Now() >= start + kBar + 500ms; },
              [&] { play.window->Button(QStringLiteral("Stop"))->click(); });
    play.window->Button(QStringLiteral("Var1"))->click();  // returns once the play has ended
    QCOMPARE(driver.Fired(), 2);
    QCOMPARE(chordShown, QStringLiteral("Chord: Dm"));
    QCOMPARE(sectionShown, QStringLiteral("Section: Var1"));
    // The bass: C3 from the start, D3 from the click, and D3 again at the next bar. The stream's
    // thread takes the click in while the window's waits move the clock on, so here the change
    // is heard soon after the click; that it is heard at the click's own tick is the live play
    // tests' to show, on a clock that waits for the stream.
    const auto bass = brondel::test::NoteOnsOf(play.Device(), 0x9A, start);
    QCOMPARE(bass.size(), std::size_t{3});
    QCOMPARE(bass[0], std::make_pair(MidiMicros{0}, 48));
    QCOMPARE(bass[1].second, 50);
    QVERIFY(bass[1].first >= clicked && bass[1].first <= clicked + 200ms);
    QCOMPARE(bass[2], std::make_pair(kBar, 50));
    // The chord: D4-F4-A4 from the click (C4-E4-G4's nearest inversion).
    const auto chord = brondel::test::NoteOnsOf(play.Device(), 0x9B, start);
    QCOMPARE(chord.size(), std::size_t{9});
    QCOMPARE(chord[3].second, 62);
    QCOMPARE(chord[3].first, bass[1].first);
    QVERIFY(brondel::test::NotesLeftOn(play.Device()).empty());
    QCOMPARE(play.window->SectionLabel()->text(), QStringLiteral("Section: stopped"));
    QVERIFY(play.rig.dialogs.shown.empty());
  }

  // Sync start pressed while the rhythm plays stops it (every note ended) and waits; the next
  // chord starts Var1 from its start at that moment. Pressed again while waiting, it stops.
  void SyncStartWhilePlayingStopsAndWaitsForTheNextChord() {
    TPlayAlong play;
    TClockDriver driver(play.clock, 10ms);
    const MidiMicros start = play.clock.Now();
    QString waitingShown;
    MidiMicros chordAt{0};
    driver.At([&] { return play.clock.Now() >= start + 1000ms; },
              [&] { play.window->Button(QStringLiteral("Sync start"))->click(); });
    // The click above returns once the waiting play has ended; these run while it waits.
    driver.At([&] { return play.clock.Now() >= start + 1500ms; },
              [&] {
                play.window->ShowPlaying();
                waitingShown = play.window->SectionLabel()->text();
                chordAt = play.clock.Now() - start;
                play.window->PadButton(QStringLiteral("F"))->click();
              });
    driver.At([&] { return play.clock.Now() >= start + 2500ms; },
              [&] { play.window->Button(QStringLiteral("Sync start"))->click(); });
    driver.At([&] { return play.clock.Now() >= start + 3000ms; },
              [&] {
                play.window->ShowPlaying();
                waitingShown += QStringLiteral(" / ") + play.window->SectionLabel()->text() +
                                QStringLiteral(", ") + play.window->ChordLabel()->text();
                play.window->Button(QStringLiteral("Sync start"))->click();
              });
    // Not reached when the last click stopped the waiting: only for a window that went on.
    driver.At([&] { return play.clock.Now() >= start + 4000ms; },
              [&] { play.window->Button(QStringLiteral("Stop"))->click(); });
    play.window->Button(QStringLiteral("Var1"))->click();  // returns once every play has ended
    QCOMPARE(driver.Fired(), 4);
    QCOMPARE(waitingShown, QStringLiteral("Section: waiting for a chord / Section: waiting for a "
                                          "chord, Chord: F"));
    QCOMPARE(play.window->SectionLabel()->text(), QStringLiteral("Section: stopped"));
    QVERIFY(play.clock.Now() - start < 3500ms);
    // Var1's drums: at the start, then from the chord on (not at 1000 ms's bar, nor at 2 s).
    const auto drums = brondel::test::NoteOnsOf(play.Device(), 0x99, start);
    QCOMPARE(drums.size(), std::size_t{2});
    QCOMPARE(drums[0], std::make_pair(MidiMicros{0}, 30 + kVar1));
    QVERIFY(drums[1].first >= chordAt && drums[1].first <= chordAt + 200ms);
    const auto bass = brondel::test::NoteOnsOf(play.Device(), 0x9A, start);
    QCOMPARE(bass.size(), std::size_t{2});
    QCOMPARE(bass[1].second, 53);  // F3: F is below the break point F#, so it goes up
    QCOMPARE(bass[1].first, drums[1].first);
    QVERIFY(brondel::test::NotesLeftOn(play.Device()).empty());
    QVERIFY(play.rig.dialogs.shown.empty());
  }

  void AChartPlaysFromItsStartWithItsBarShownAndAnEndingEndsIt() {
    TPlayAlong play;
    TClockDriver driver(play.clock, 10ms);
    play.window->ChartField()->setText(QStringLiteral("C | Am | F | G7"));
    const MidiMicros start = play.clock.Now();
    QString barsShown;
    int patternSection = -1;
    driver.At([&] { return play.clock.Now() >= start + kBar + 500ms; },
              [&] {
                play.window->ShowPlaying();
                barsShown = play.window->ChartBarsLabel()->text();
                patternSection = play.rig.form->PatternWindow()->Section();
                play.window->Button(QStringLiteral("Ending"))->click();
              });
    play.window->Button(QStringLiteral("Play chart"))->click();
    QCOMPARE(driver.Fired(), 1);
    QCOMPARE(barsShown, QStringLiteral("C | <b><u>Am</u></b> | F | G7"));
    QCOMPARE(patternSection, kVar1);
    // Bars: Var1 on C, Var1 on Am, then End1 (under Am, the chord sounding), and the play ended.
    const auto drums = brondel::test::NoteOnsOf(play.Device(), 0x99, start);
    QCOMPARE(drums.size(), std::size_t{3});
    QCOMPARE(drums[2], std::make_pair(2 * kBar, 30 + kEnd1));
    const auto bass = brondel::test::NoteOnsOf(play.Device(), 0x9A, start);
    QCOMPARE(bass[1], std::make_pair(kBar, 45));  // A2: A is above the break point F#
    QVERIFY(brondel::test::NotesLeftOn(play.Device()).empty());
  }
};

QTEST_MAIN(TestPlayAlong)
#include "test_play_along.moc"
