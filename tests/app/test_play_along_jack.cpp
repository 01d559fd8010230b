// The Play along window end to end over a real MIDI transport, run by tests/e2e/jack_play_along.sh:
// that script starts a JACK server with the dummy driver and our MIDI monitor, then runs this test
// with the server's name in BRONDEL_E2E_JACK_SERVER and a file name in BRONDEL_E2E_PAD_RESULT. The
// test plays a rhythm whose bass and chord hold their notes through every bar, clicks five chords
// on the pad while it plays, noting JACK's frame at each click, and writes "period P" and one
// "click F" a click for the script, which finds each click's first re-pitched note on the wire.
// Without those variables it is skipped.
#include <jack/jack.h>

#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <vector>

#include "app/play_along_window.h"
#include "document/rhythm_builder.h"
#include "jack_window.h"
#include "tests/support/held_chord_rhythm.h"
#include "window_rig.h"

using brondel::test::HeldChordRhythm;

class TestPlayAlongJack : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void ThePadChangesTheChordWhilePlaying() {
    const QByteArray server = qgetenv("BRONDEL_E2E_JACK_SERVER");
    const QByteArray resultPath = qgetenv("BRONDEL_E2E_PAD_RESULT");
    if (server.isEmpty() || resultPath.isEmpty()) {
      QSKIP("run by tests/e2e/jack_play_along.sh, which starts the JACK server");
    }
    TJackWindow window;
    QVERIFY2(window.PickMonitor(),
             "the monitor's port is not listed after the built-in synthesizer");
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("held.ckf")).toStdString();
    const std::vector<std::uint8_t> bytes = HeldChordRhythm().CkfFile();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    window.dialogs.openAnswers.push_back(path);
    window.form.Open1Click();
    QVERIFY(window.dialogs.shown.empty());

    // A client of our own, only to read JACK's frame clock at each click. It is activated: the
    // frame clock a client reads before that can be more than a period off the server's cycles
    // (seen with the dummy driver), which the script would take for a late change.
    jack_client_t* clock = jack_client_open("e2e-pad-clock", JackNoStartServer, nullptr);
    QVERIFY(clock != nullptr);
    QVERIFY(jack_activate(clock) == 0);
    window.form.PlayAlong1Click();
    brondel::app::TPlayAlongWindow* playAlong = window.form.PlayAlongWindow();
    std::vector<jack_nframes_t> clicks;
    const char* const chords[] = {"Dm", "G7", "F", "Am", "E7"};
    for (int i = 0; i < 5; ++i) {
      QTimer::singleShot(700 + 350 * i, [&, i] {
        clicks.push_back(jack_frame_time(clock));
        playAlong->PadButton(QString::fromLatin1(chords[i]))->click();
      });
    }
    QTimer::singleShot(2800, [&] { playAlong->Button(QStringLiteral("Stop"))->click(); });
    playAlong->Button(QStringLiteral("Var1"))->click();  // returns once Stop has ended the play
    const jack_nframes_t period = jack_get_buffer_size(clock);
    jack_client_close(clock);
    QCOMPARE(clicks.size(), std::size_t{5});
    QVERIFY(window.dialogs.shown.empty());

    std::ofstream result(resultPath.toStdString());
    result << "period " << period << '\n';
    for (const jack_nframes_t click : clicks) result << "click " << click << '\n';
    QVERIFY(result.good());
  }
};

QTEST_MAIN(TestPlayAlongJack)
#include "test_play_along_jack.moc"
