// The editor as a user meets it, end to end, through the real widgets: pop_beat.ckf opened,
// View > Pattern on Var1, a snare hit added, a bass note drawn, a chord note moved up a major
// third, the hi-hats quantized with 60 % swing, three hits given a new velocity, the section
// heard with Loop, every step undone back to the file's bytes and redone, saved, reopened.
//
// With BRONDEL_SCREENSHOTS=DIR set, grabs of the pattern window and of the main window are saved
// into DIR at each of those moments (NN-moment-pattern.png, NN-moment-main.png).
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QSpinBox>
#include <QToolBar>
#include <QtTest>
#include <algorithm>
#include <chrono>
#include <tuple>

#include "app/pattern_view.h"
#include "app/pattern_window.h"
#include "clock_driver.h"
#include "document/rhythm_loader.h"
#include "document/save_file.h"
#include "pattern/part_notes.h"
#include "window_rig.h"

using brondel::TEditNote;
using brondel::TNoteList;
using brondel::platform::ManualMidiClock;
using brondel::platform::MidiMicros;
using brondel::platform::RecordedMessage;
using namespace std::chrono_literals;

namespace brondel {

// Failures print the notes: tick, key, velocity, length.
char* toString(const TEditNote& note) {
  return qstrdup(QStringLiteral("(%1 %2 %3 %4)")
                     .arg(note.tick)
                     .arg(note.key)
                     .arg(note.velocity)
                     .arg(note.length)
                     .toUtf8()
                     .constData());
}

}  // namespace brondel

namespace {

const std::string kPopBeat = BRONDEL_SOURCE_DIR "/examples/pop_beat.ckf";
constexpr int kVar1 = 2;
constexpr int kDrums = 0;
constexpr int kBass = 1;
constexpr int kChord1 = 2;
// pop_beat: 4/4, 96 ticks a quarter note, Var1 four bars; a tempo byte of 96 makes a quarter
// note last 0.5 s, so a tick 500,000 / 96 us.
constexpr std::uint32_t kBeat = 96;
constexpr std::uint32_t kBar = 4 * kBeat;
constexpr std::uint32_t kSection = 4 * kBar;
constexpr std::uint8_t kClosedHat = 42;
constexpr std::uint8_t kOpenHat = 46;
constexpr std::uint8_t kSnare = 38;
constexpr std::uint8_t kE2 = 40;
constexpr std::uint8_t kE4 = 64;
constexpr std::uint8_t kGSharp4 = 68;  // E4 a major third up

MidiMicros TickTime(std::uint32_t tick) {
  return MidiMicros(std::int64_t{tick} * 500'000 / 96);
}

TNoteList Sorted(TNoteList notes) {
  std::sort(notes.begin(), notes.end(), [](const TEditNote& a, const TEditNote& b) {
    return std::tie(a.tick, a.key) < std::tie(b.tick, b.key);
  });
  return notes;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray data = file.readAll();
  return {data.begin(), data.end()};
}

/// The walk's window: the main window over one recording device on a manual clock, the clock
/// moved on from the event loop.
struct TWalk {
  TWalk() {
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
    // The pattern window as wide as its edit toolbar (the size of the README picture).
    window()->resize(1400, 720);
  }

  brondel::app::TForm1& form() { return *rig.form; }
  brondel::app::TPatternWindow* window() { return form().PatternWindow(); }
  brondel::app::TPatternView* view() { return window()->View(); }
  QWidget* viewport() { return view()->viewport(); }
  const brondel::TRhythmSlot& main() { return form().Documents().slots[0]; }
  /// The notes a part of Var1 plays, by tick and key (the order of equal times is the
  /// writer's business).
  TNoteList Notes(int part) {
    return Sorted(brondel::ReadSectionNotes(main(), kVar1).parts[static_cast<std::size_t>(part)]);
  }
  /// The bytes Save as would write now.
  std::vector<std::uint8_t> SavedBytes() {
    brondel::TRhythmDocuments copy = form().Documents();
    return brondel::BuildSaveImage(copy).bytes;
  }

  /// A point on `key`'s row of a lane, `tick` ticks into the section, as the layout places it.
  QPoint At(int part, int key, double tick) {
    const auto* layout = view()->Layout();
    const std::vector<int>& keys = view()->Pattern()->lanes[static_cast<std::size_t>(part)].keys;
    const auto row = std::find(keys.begin(), keys.end(), key) - keys.begin();
    Q_ASSERT(row < static_cast<std::ptrdiff_t>(keys.size()));
    return QPointF(layout->TickToX(tick), layout->RowRect(part, static_cast<int>(row)).center().y())
        .toPoint();
  }
  /// True when the point lies in the part of the viewport shown.
  bool Shown(QPoint point) { return viewport()->rect().contains(point); }

  void Click(QPoint at, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(viewport(), Qt::LeftButton, modifiers, at);
  }
  void Drag(QPoint from, QPoint to) {
    QTest::mousePress(viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport(), (from + to) / 2);
    QTest::mouseMove(viewport(), to);
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, to);
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(view(), key, modifiers);
  }
  /// A click on the button of a toolbar action.
  void Press(QAction* action) {
    for (auto* bar : window()->findChildren<QToolBar*>()) {
      if (QWidget* button = bar->widgetForAction(action)) {
        QTest::mouseClick(button, Qt::LeftButton);
        return;
      }
    }
    QFAIL("the action has no toolbar button");
  }

  /// Grabs of both windows at a moment, when BRONDEL_SCREENSHOTS names a folder.
  void Shot(const QString& moment) {
    const QByteArray dir = qgetenv("BRONDEL_SCREENSHOTS");
    if (dir.isEmpty()) return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    const QString stem = QStringLiteral("%1/%2-%3")
                             .arg(QString::fromLocal8Bit(dir))
                             .arg(++shots, 2, 10, QLatin1Char('0'))
                             .arg(moment);
    QCoreApplication::processEvents();
    QVERIFY(window()->grab().save(stem + QStringLiteral("-pattern.png")));
    QVERIFY(form().grab().save(stem + QStringLiteral("-main.png")));
  }

  ManualMidiClock clock;
  TWindowRig rig{1, clock};
  TClockDriver driver{clock, 10ms};
  int shots = 0;
};

}  // namespace

class TestEditorWalkthrough : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void AUserEditsVar1OfPopBeat() {
    TWalk walk;
    const std::vector<std::uint8_t> file = ReadBytes(kPopBeat);
    QVERIFY(!file.empty());

    // File > Open, Var1 selected, View > Pattern.
    walk.rig.Open(0, kPopBeat);
    ClickRow(walk.form().Controls().mainFile.sectionList, kVar1);
    walk.form().Controls().patternAction->trigger();
    QVERIFY(walk.window()->isVisible());
    QCOMPARE(walk.window()->Slot(), 0);
    QCOMPARE(walk.window()->Section(), kVar1);
    QVERIFY(walk.view()->Editable());
    QVERIFY(walk.window()->windowTitle().endsWith("pop_beat.ckf - Var1"));
    QVERIFY(walk.SavedBytes() == file);  // what is opened saves as it came
    const TNoteList drums = walk.Notes(kDrums);
    const TNoteList bass = walk.Notes(kBass);
    const TNoteList chord1 = walk.Notes(kChord1);
    // The lanes the walk edits are in view without scrolling.
    QVERIFY(walk.Shown(walk.At(kChord1, 62, kSection - 1)));
    QVERIFY(walk.Shown(walk.view()->Layout()->VelocityRect(kDrums).center().toPoint()));
    walk.Shot("opened");

    // 1. A snare hit in bar 2. Beat 4 of bar 2 (tick 672) already has one, which a click would
    // take away: the hit goes on the "and" of beat 4, a little into the 1/16 step.
    const std::uint32_t snareTick = kBar + 3 * kBeat + kBeat / 2;
    QVERIFY(std::find(drums.begin(), drums.end(), TEditNote{kBar + 3 * kBeat, kSnare, 112, 24}) !=
            drums.end());
    walk.Click(walk.At(kDrums, kSnare, snareTick + 5));
    TNoteList expectedDrums = drums;
    expectedDrums.push_back({snareTick, kSnare, 100, 24});
    expectedDrums = Sorted(expectedDrums);
    QCOMPARE(walk.Notes(kDrums), expectedDrums);
    QCOMPARE(walk.window()->UndoAction()->toolTip(), QString("Undo Add note"));
    QVERIFY(walk.window()->windowTitle().endsWith("pop_beat.ckf* - Var1"));
    walk.Shot("snare-added");

    // 2. A bass note drawn on E2 from beat 2 to beat 3 of bar 2 (where bar 2 rests).
    walk.Drag(walk.At(kBass, kE2, kBar + kBeat + 3), walk.At(kBass, kE2, kBar + 2 * kBeat - 4));
    TNoteList expectedBass = bass;
    expectedBass.push_back({kBar + kBeat, kE2, 100, kBeat});
    expectedBass = Sorted(expectedBass);
    QCOMPARE(walk.Notes(kBass), expectedBass);
    walk.Shot("bass-drawn");

    // 3. The E4 of the chord on the "and" of beat 2 in bar 1 dragged four rows up: the rows of
    // a pitched lane are semitones, so it lands on G#4, a major third above.
    const std::uint32_t chordTick = kBeat + kBeat / 2;
    walk.Drag(walk.At(kChord1, kE4, chordTick + 30), walk.At(kChord1, kGSharp4, chordTick + 30));
    TNoteList expectedChord = chord1;
    const auto moved =
        std::find(expectedChord.begin(), expectedChord.end(), TEditNote{chordTick, kE4, 92, 72});
    QVERIFY(moved != expectedChord.end());
    moved->key = kGSharp4;
    expectedChord = Sorted(expectedChord);
    QCOMPARE(walk.Notes(kChord1), expectedChord);
    QCOMPARE(walk.window()->UndoAction()->toolTip(),
             QString("Undo Transpose 1 note"));  // only its key changed
    walk.Shot("chord-note-moved");

    // 4. The hi-hats (closed and open rows) selected with a rubber band drawn from the empty
    // end of bar 4 back to the section's start, the snap set to 1/8, the swing typed in as 60,
    // then Q: every second 1/8 goes to 60 % of its beat (48 -> 58 ticks in); the open hat at
    // the end of bar 4 keeps within the section.
    walk.window()->SnapBox()->setCurrentText("1/8");
    QCOMPARE(walk.view()->Snap(), brondel::TSnapStep::kEighth);
    auto* swing = walk.window()->findChild<QSpinBox*>("PatternSwing");
    swing->setFocus();
    swing->selectAll();
    QTest::keyClicks(swing, "60");
    QTest::keyClick(swing, Qt::Key_Return);
    QCOMPARE(swing->value(), 60);
    walk.Drag(walk.At(kDrums, kClosedHat, kSection - 10), walk.At(kDrums, kOpenHat, 0.5));
    std::size_t hats = 0;
    for (const TEditNote& note : walk.Notes(kDrums)) {
      hats += note.key == kClosedHat || note.key == kOpenHat;
    }
    QCOMPARE(walk.view()->Selection().size(), hats);
    QCOMPARE(hats, std::size_t{32});  // eight a bar; in bar 4 the last is the open hat
    walk.Shot("hi-hats-selected");
    walk.Key(Qt::Key_Q);
    QCOMPARE(walk.window()->UndoAction()->toolTip(), QString("Undo Quantize %1 notes").arg(hats));
    for (TEditNote& note : expectedDrums) {
      if (note.key != kClosedHat && note.key != kOpenHat) continue;
      if (note.tick % kBeat == kBeat / 2) note.tick += 10;
      note.length = std::min(note.length, kSection - note.tick);
    }
    expectedDrums = Sorted(expectedDrums);
    QCOMPARE(walk.Notes(kDrums), expectedDrums);
    QVERIFY(std::find(expectedDrums.begin(), expectedDrums.end(),
                      TEditNote{kSection - kBeat / 2 + 10, kOpenHat, 92, 38}) !=
            expectedDrums.end());
    walk.Shot("hi-hats-swung");

    // 5. Three of the swung hats of bar 1 (58, 154 and 346 ticks in) Ctrl+clicked into a new
    // selection, then one of their bars in the drum lane's velocity strip dragged up: all three
    // take the velocity the strip shows there.
    walk.Key(Qt::Key_Escape);
    QVERIFY(walk.view()->Selection().empty());
    const std::vector<std::uint32_t> softHats{58, 154, 346};
    for (const std::uint32_t tick : softHats) {
      walk.Click(walk.At(kDrums, kClosedHat, tick + 4), Qt::ControlModifier);
    }
    QCOMPARE(walk.view()->Selection().size(), softHats.size());
    const auto* layout = walk.view()->Layout();
    const QRectF strip = layout->VelocityRect(kDrums);
    int target = static_cast<int>(strip.top()) + 1;
    while (layout->VelocityAt(kDrums, target) > 110) ++target;
    const int velocity = layout->VelocityAt(kDrums, target);
    QVERIFY(velocity > 60 && velocity <= 110);
    const double barX = layout->TickToX(softHats[1]) + 1;
    walk.Drag(QPoint(static_cast<int>(barX), static_cast<int>(strip.bottom()) - 4),
              QPoint(static_cast<int>(barX), target));
    for (TEditNote& note : expectedDrums) {
      if (note.key == kClosedHat &&
          std::find(softHats.begin(), softHats.end(), note.tick) != softHats.end()) {
        note.velocity = static_cast<std::uint8_t>(velocity);
      }
    }
    QCOMPARE(walk.Notes(kDrums), expectedDrums);
    QCOMPARE(walk.window()->UndoAction()->toolTip(), QString("Undo Set velocity of 3 notes"));
    QCOMPARE(walk.form().EditHistory().UndoCount(), std::size_t{5});
    const std::vector<std::uint8_t> edited = walk.SavedBytes();
    walk.Shot("velocity-set");

    // 6. Loop on, Play: two repetitions and a little more, then Stop. What the device was sent
    // holds the edits at their times in both repetitions.
    walk.Press(walk.window()->LoopAction());
    QVERIFY(walk.window()->Looping());
    // The notes auditioned while editing have sounded by the time the user presses Play.
    const MidiMicros lastEdit = walk.clock.Now();
    QTRY_VERIFY(walk.clock.Now() >= lastEdit + 500ms);
    const MidiMicros start = walk.clock.Now();
    const MidiMicros repetition = TickTime(kSection);
    QCOMPARE(repetition, MidiMicros(8s));
    walk.driver.At([&] { return walk.clock.Now() >= start + 3s; },
                   [&] {
                     QCOMPARE(walk.view()->PlayTick().has_value(), true);
                     walk.Shot("looping");
                   });
    walk.driver.At([&] { return walk.clock.Now() >= start + 2 * repetition + 1s; },
                   [&] { walk.Press(walk.window()->StopAction()); });
    walk.Press(walk.window()->PlayAction());
    QCOMPARE(walk.driver.Fired(), 2);
    // Each note-on sent after the play began, by status and key: its velocity and time.
    const auto heard = [&](std::uint8_t status, std::uint8_t key) {
      std::vector<std::pair<int, MidiMicros>> found;
      for (const RecordedMessage& m : walk.rig.devices[0]->Messages()) {
        if (m.due >= start && m.message.bytes[0] == status && m.message.bytes[1] == key &&
            m.message.bytes[2] > 0) {
          found.emplace_back(m.message.bytes[2], m.due - start);
        }
      }
      return found;
    };
    const auto near = [](MidiMicros a, MidiMicros b) { return std::chrono::abs(a - b) <= 1ms; };
    // The new snare, on channel 10, in the second repetition too.
    const auto snares = heard(0x99, kSnare);
    const auto snareAt = [&](MidiMicros when) {
      return std::count_if(snares.begin(), snares.end(),
                           [&](const auto& s) { return s.first == 100 && near(s.second, when); });
    };
    QCOMPARE(snareAt(TickTime(snareTick)), 1);
    QCOMPARE(snareAt(repetition + TickTime(snareTick)), 1);
    QCOMPARE(TickTime(snareTick), MidiMicros(3750ms));
    // The bass note on channel 11, the G#4 on channel 12, the louder swung hats.
    const auto basses = heard(0x9A, kE2);
    QVERIFY(std::count(basses.begin(), basses.end(),
                       std::pair<int, MidiMicros>(100, repetition + TickTime(kBar + kBeat))) == 1);
    const auto thirds = heard(0x9B, kGSharp4);
    QCOMPARE(thirds.size(), std::size_t{3});  // the third repetition had begun at Stop
    QCOMPARE(thirds[0], (std::pair<int, MidiMicros>(92, TickTime(chordTick))));
    QCOMPARE(thirds[1], (std::pair<int, MidiMicros>(92, repetition + TickTime(chordTick))));
    const auto closedHats = heard(0x99, kClosedHat);
    for (const std::uint32_t tick : softHats) {
      QVERIFY(std::count_if(closedHats.begin(), closedHats.end(), [&](const auto& h) {
                return h.first == velocity && near(h.second, repetition + TickTime(tick));
              }) == 1);
    }
    QVERIFY(std::none_of(closedHats.begin(), closedHats.end(), [&](const auto& h) {
      return near(h.second, repetition + TickTime(kBeat / 2));  // the straight 1/8 is gone
    }));

    // 7. Undo, five times, from the pattern window's toolbar and the main window's Edit menu:
    // the document is the file again, byte for byte.
    walk.Press(walk.window()->UndoAction());
    walk.Press(walk.window()->UndoAction());
    QCOMPARE(walk.form().Controls().undoAction->text(),
             QString("Undo Transpose 1 note"));  // only its key changed
    for (int i = 0; i < 3; ++i) walk.form().Controls().undoAction->trigger();
    QVERIFY(!walk.window()->UndoAction()->isEnabled());
    QCOMPARE(walk.window()->Message(), QString("Undone: Add note"));
    QVERIFY(walk.SavedBytes() == file);
    QCOMPARE(walk.Notes(kDrums), drums);
    QVERIFY(walk.window()->windowTitle().endsWith("pop_beat.ckf - Var1"));
    walk.Shot("all-undone");

    // 8. Redo, five times, with the keys of the pattern window and its toolbar.
    walk.window()->activateWindow();
    walk.Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    walk.Key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(walk.form().EditHistory().UndoCount(), std::size_t{2});
    for (int i = 0; i < 3; ++i) walk.Press(walk.window()->RedoAction());
    QVERIFY(!walk.window()->RedoAction()->isEnabled());
    QVERIFY(walk.SavedBytes() == edited);
    QCOMPARE(walk.Notes(kDrums), expectedDrums);
    walk.Shot("all-redone");

    // 9. File > Save as to a new file, which holds the edited bytes; the * goes.
    const std::string saved =
        walk.rig.dir.filePath(QStringLiteral("pop_beat_edited.ckf")).toStdString();
    walk.rig.dialogs.saveAnswers.push_back(saved);
    walk.form().Controls().saveAsAction->trigger();
    QVERIFY(ReadBytes(saved) == edited);
    QVERIFY(!walk.window()->windowTitle().contains('*'));

    // 10. The original opened, then the saved file: the edits are there.
    walk.rig.Open(0, kPopBeat);
    QCOMPARE(walk.Notes(kDrums), drums);
    walk.rig.Open(0, saved);
    ClickRow(walk.form().Controls().mainFile.sectionList, kVar1);
    QVERIFY(walk.window()->windowTitle().endsWith("pop_beat_edited.ckf - Var1"));
    QCOMPARE(walk.Notes(kDrums), expectedDrums);
    QCOMPARE(walk.Notes(kBass), expectedBass);
    QCOMPARE(walk.Notes(kChord1), expectedChord);
    QCOMPARE(walk.form().EditHistory().UndoCount(), std::size_t{0});
    walk.Shot("reopened");
  }
};

QTEST_MAIN(TestEditorWalkthrough)
#include "test_editor_walkthrough.moc"
