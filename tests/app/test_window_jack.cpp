// The window end to end over a real MIDI transport, run by tests/e2e/jack_window.sh: that script
// starts a JACK server with the dummy driver and jack_midi_dump, then runs this test with the
// server's name in BRONDEL_E2E_JACK_SERVER and a file name in BRONDEL_E2E_EXPECTED. The test picks
// the monitor's port in the device list, opens an example rhythm, double-clicks a section and
// writes the messages the monitor must have received (the section's, then the endings of a play
// that nothing follows), one per line in hex, for the script to compare. Without those variables
// it is skipped.
#include <QComboBox>
#include <QtTest>
#include <cstdio>
#include <fstream>

#include "window_rig.h"

class TestWindowJack : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void ASectionArrivesCompleteAndInOrder() {
    const QByteArray server = qgetenv("BRONDEL_E2E_JACK_SERVER");
    const QByteArray expectedPath = qgetenv("BRONDEL_E2E_EXPECTED");
    if (server.isEmpty() || expectedPath.isEmpty()) {
      QSKIP("run by tests/e2e/jack_window.sh, which starts the JACK server");
    }
    const auto midi = brondel::platform::MakeSystemMidiService();
    TFakeDialogs dialogs;
    TForm1 form(*midi, &dialogs);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const int port = form.ComboBox1->findText("midi-monitor:input");
    QVERIFY2(port > 0, "the monitor's port is not listed after the built-in synthesizer");
    form.ComboBox1->setCurrentIndex(port);
    form.ComboBox1Change();
    dialogs.shown.clear();  // the built-in synthesizer may have no audio output here

    dialogs.openAnswers.push_back(BRONDEL_SOURCE_DIR "/examples/pop_beat.ckf");
    form.Open1Click();
    QVERIFY(dialogs.shown.empty());
    DoubleClickRow(form.ListBox2, 4);  // Fill1: one bar
    QVERIFY(dialogs.shown.empty());

    std::ofstream expected(expectedPath.toStdString());
    for (const auto& e : form.Playback().RenderEvents(0)) {
      if (e.Data1 > 127 || e.Data2 > 127) continue;  // never sent to a device
      char line[16];
      const bool programChange = (e.Status & 0xF0) == 0xC0;
      std::snprintf(line, sizeof line, programChange ? "%02X %02X" : "%02X %02X %02X", e.Status,
                    e.Data1, e.Data2);
      expected << line << '\n';
    }
    // Once the section has ended with nothing after it, the stream sends All Notes Off on the
    // five parts' channels.
    for (const char* ending : {"B9 7B 00", "BA 7B 00", "BB 7B 00", "BC 7B 00", "BD 7B 00"}) {
      expected << ending << '\n';
    }
    QVERIFY(expected.good());
  }
};

QTEST_MAIN(TestWindowJack)
#include "test_window_jack.moc"
