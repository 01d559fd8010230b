// The Play along window with a MIDI keyboard: the input chosen from the list (none at first), the
// split point set by a click on the on-screen keyboard and learnt from a key, the switches
// reaching the keyboard play, a left-hand chord and a melody heard while Var1 plays, a device
// that goes away reported once and the choice back to none, a device that will not open.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>
#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

#include "app/play_along_window.h"
#include "app/split_keyboard.h"
#include "clock_driver.h"
#include "tests/support/held_chord_rhythm.h"
#include "tests/support/recorded_notes.h"
#include "window_rig.h"

using brondel::app::TPlayAlongWindow;
using brondel::platform::ManualMidiClock;
using brondel::platform::MidiMicros;
using brondel::platform::RecordedMessage;
using namespace std::chrono_literals;

namespace {

using brondel::test::HeldChordRhythm;

constexpr MidiMicros kBar = 2000ms;

struct TKeyboardRig {
  TKeyboardRig() {
    rig.Open(0, rig.Write("held.ckf", HeldChordRhythm().CkfFile()));
    window = rig.form->PlayAlongWindow();
    window->SetInputs(*inputs);
    rig.form->PlayAlong1Click();
  }
  /// The keyboard sends `bytes`; returns once the input's thread has acted on them.
  void Play(std::initializer_list<std::uint8_t> bytes) {
    const std::uint64_t before = window->Keyboard()->Handled();
    QVERIFY(keys->Receive(bytes, 0));
    WaitHandled(before);
  }
  void WaitHandled(std::uint64_t before) {
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (window->Keyboard()->Handled() == before && std::chrono::steady_clock::now() < giveUp) {
      std::this_thread::sleep_for(100us);
    }
    QVERIFY(window->Keyboard()->Handled() != before);
    clock.Advance(0ms);
  }
  void Choose(int index) {
    window->InputChoice()->setCurrentIndex(index);
    Q_EMIT window->InputChoice()->activated(index);
  }

  std::shared_ptr<brondel::platform::FakeMidiInputDevice> keys =
      std::make_shared<brondel::platform::FakeMidiInputDevice>("Keys");
  // Declared before the rig: the window's keyboard play closes its input before they go.
  std::unique_ptr<brondel::platform::IMidiInputService> inputs =
      brondel::platform::MakeMidiInputService({keys}, {.queueCapacity = 64, .watchInterval = 5ms});
  ManualMidiClock clock;
  TWindowRig rig{1, clock};
  TPlayAlongWindow* window = nullptr;
};

}  // namespace

class TestPlayAlongKeyboard : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void TheInputIsChosenAndTheSwitchesReachTheKeyboard() {
    TKeyboardRig k;
    QCOMPARE(k.window->InputChoice()->currentText(), QStringLiteral("(none)"));
    QCOMPARE(k.window->InputChoice()->count(), 2);
    QCOMPARE(k.window->InputChoice()->itemText(1), QStringLiteral("Keys"));
    QVERIFY(!k.keys->IsOpen());
    k.Choose(1);
    QVERIFY(k.keys->IsOpen());
    QVERIFY(k.window->InputStatus()->text().isEmpty());

    // The split point: F#3 at first, then the key clicked, then the key learnt.
    auto* split = k.window->SplitKeyboard();
    auto* shown = k.window->findChild<QLabel*>(QStringLiteral("SplitShown"));
    QCOMPARE(shown->text(), QStringLiteral("Split: F#3"));
    QTest::mouseClick(split, Qt::LeftButton, {}, split->KeyRect(60).center());
    QCOMPARE(k.window->Keyboard()->SplitKey(), 60);
    QCOMPARE(split->SplitKey(), 60);
    QCOMPARE(shown->text(), QStringLiteral("Split: C4"));
    QTest::mouseClick(split, Qt::LeftButton, {}, split->KeyRect(49).center());  // a black key
    QCOMPARE(k.window->Keyboard()->SplitKey(), 49);
    k.window->findChild<QPushButton*>(QStringLiteral("LearnSplit"))->click();
    QCOMPARE(shown->text(), QStringLiteral("Split: press a key"));
    k.Play({0x90, 52, 90});
    k.window->ShowPlaying();
    QCOMPARE(shown->text(), QStringLiteral("Split: E3"));
    QCOMPARE(split->SplitKey(), 52);

    k.window->findChild<QCheckBox*>(QStringLiteral("Memory"))->setChecked(false);
    QVERIFY(!k.window->Keyboard()->Memory());
    k.window->findChild<QComboBox*>(QStringLiteral("Fingering"))->setCurrentIndex(1);
    QVERIFY(k.window->Keyboard()->Fingering() == brondel::chords::TFingering::kOneFinger);
    k.window->findChild<QSpinBox*>(QStringLiteral("MelodyTone"))->setValue(41);
    QCOMPARE(k.window->Keyboard()->MelodyTone(), 40);
    // Programs 0-4 ask for the sections; Fill moved to program 9, Ending to none.
    QCOMPARE(k.window->findChild<QSpinBox*>(QStringLiteral("ProgramFill"))->value(), 3);
    k.window->findChild<QSpinBox*>(QStringLiteral("ProgramFill"))->setValue(9);
    k.window->findChild<QSpinBox*>(QStringLiteral("ProgramEnding"))->setValue(-1);
    using brondel::chords::TSectionButton;
    const std::map<int, TSectionButton> programs = k.window->Keyboard()->Sections().programs;
    QVERIFY(programs == (std::map<int, TSectionButton>{{0, TSectionButton::kIntro},
                                                       {1, TSectionButton::kVariation1},
                                                       {2, TSectionButton::kVariation2},
                                                       {9, TSectionButton::kFill}}));
    // No key asks for a section until one is given: C2 then asks for the fill.
    QVERIFY(k.window->Keyboard()->Sections().keys.empty());
    k.window->findChild<QSpinBox*>(QStringLiteral("KeyFill"))->setValue(36);
    QVERIFY(k.window->Keyboard()->Sections().keys ==
            (std::map<int, TSectionButton>{{36, TSectionButton::kFill}}));

    // The README's picture: BRONDEL_SCREENSHOT=docs/play-along-keyboard.png.
    if (const char* shot = std::getenv("BRONDEL_SCREENSHOT")) {
      k.window->findChild<QSpinBox*>(QStringLiteral("ProgramFill"))->setValue(3);
      k.window->findChild<QSpinBox*>(QStringLiteral("ProgramEnding"))->setValue(4);
      k.window->adjustSize();
      QVERIFY(k.window->grab().save(QString::fromLocal8Bit(shot)));
    }
    k.Choose(0);
    QVERIFY(!k.keys->IsOpen());
  }

  void TheKeyboardPlaysAlongAndAGoneDeviceIsReportedOnce() {
    TKeyboardRig k;
    k.Choose(1);
    TClockDriver driver(k.clock, 10ms);
    const MidiMicros start = k.clock.Now();
    driver.At([&] { return k.clock.Now() >= start + 1000ms; },
              [&] {
                k.Play({0x90, 45, 90});  // A, then Am
                k.Play({0x90, 48, 90});
                k.Play({0x90, 72, 90});  // the melody
              });
    driver.At([&] { return k.clock.Now() >= start + 1500ms; },
              [&] {
                const std::uint64_t before = k.window->Keyboard()->Handled();
                k.keys->Disappear("unplugged");
                k.WaitHandled(before);
              });
    driver.At([&] { return k.clock.Now() >= start + kBar + 500ms; },
              [&] { k.window->Button(QStringLiteral("Stop"))->click(); });
    k.window->Button(QStringLiteral("Var1"))->click();  // returns once the play has ended
    QCOMPARE(driver.Fired(), 3);
    const std::vector<RecordedMessage> sent = k.rig.devices[0]->Messages();
    const auto has = [&](std::uint8_t status, int key) {
      return std::any_of(sent.begin(), sent.end(), [&](const RecordedMessage& m) {
        return m.message.bytes[0] == status && m.message.bytes[1] == key && m.message.bytes[2] > 0;
      });
    };
    QVERIFY2(has(0x9A, 45), "the bass follows the left hand to A");
    QVERIFY2(has(0x90, 72), "the melody on channel 1");
    QVERIFY(brondel::test::NotesLeftOn(*k.rig.devices[0]).empty());
    QCOMPARE(k.window->InputStatus()->text(), QStringLiteral("Keys went away: unplugged"));
    QCOMPARE(k.window->InputChoice()->currentText(), QStringLiteral("(none)"));
    QVERIFY(!k.keys->IsOpen());
    k.window->InputStatus()->clear();
    k.window->ShowPlaying();
    QVERIFY2(k.window->InputStatus()->text().isEmpty(), "reported once");
  }

  void ADeviceThatWillNotOpenSaysWhy() {
    TKeyboardRig k;
    k.keys->FailOpen(brondel::platform::kMidiNotEnabled, "port busy");
    k.Choose(1);
    QVERIFY(k.window->InputStatus()->text().contains(QStringLiteral("port busy")));
    QCOMPARE(k.window->InputChoice()->currentText(), QStringLiteral("(none)"));
  }
};

QTEST_MAIN(TestPlayAlongKeyboard)
#include "test_play_along_keyboard.moc"
