// The window end to end over a real MIDI transport, run by tests/e2e/jack_window.sh: that script
// starts a JACK server with the dummy driver and jack_midi_dump, then runs this test with the
// server's name in BRONDEL_E2E_JACK_SERVER and a file name in BRONDEL_E2E_EXPECTED. The test picks
// the monitor's port in the device list, opens an example rhythm, double-clicks a section and
// writes the messages the monitor must have received (the section's, then the endings of a play
// that nothing follows), one per line in hex, for the script to compare. Without those variables
// it is skipped.
//
// tests/e2e/jack_pattern_loop.sh runs APatternLoopRepeatsWithoutAGap with a file name in
// BRONDEL_E2E_LOOP_RESULT: the pattern window loops an example's Fill1 on the monitor's port, Loop
// is switched off once the second repetition sounds, and the test writes "messages N",
// "length-us L" and the 2N messages both repetitions must have sent, for the script to compare
// with what arrived and when.
#include <QComboBox>
#include <QtTest>
#include <cstdio>
#include <fstream>

#include "app/pattern_window.h"
#include "jack_window.h"
#include "render/render.h"
#include "window_rig.h"

namespace {

/// A message as the script prints what arrived: "99 24 64", a program change "C9 02".
std::string MessageLine(const brondel::TRenderEvent& e) {
  char line[16];
  const bool programChange = (e.Status & 0xF0) == 0xC0;
  std::snprintf(line, sizeof line, programChange ? "%02X %02X" : "%02X %02X %02X", e.Status,
                e.Data1, e.Data2);
  return line;
}

}  // namespace

class TestWindowJack : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void ASectionArrivesCompleteAndInOrder() {
    const QByteArray server = qgetenv("BRONDEL_E2E_JACK_SERVER");
    const QByteArray expectedPath = qgetenv("BRONDEL_E2E_EXPECTED");
    if (server.isEmpty() || expectedPath.isEmpty()) {
      QSKIP("run by tests/e2e/jack_window.sh, which starts the JACK server");
    }
    TJackWindow window;
    QVERIFY2(window.PickMonitor(),
             "the monitor's port is not listed after the built-in synthesizer");
    brondel::app::TForm1& form = window.form;
    TFakeDialogs& dialogs = window.dialogs;

    dialogs.openAnswers.push_back(BRONDEL_SOURCE_DIR "/examples/pop_beat.ckf");
    form.Open1Click();
    QVERIFY(dialogs.shown.empty());
    DoubleClickRow(form.Controls().mainFile.sectionList, 4);  // Fill1: one bar
    QVERIFY(dialogs.shown.empty());

    std::ofstream expected(expectedPath.toStdString());
    for (const auto& e : form.Playback().RenderEvents(0)) {
      if (e.Data1 > 127 || e.Data2 > 127) continue;  // never sent to a device
      expected << MessageLine(e) << '\n';
    }
    // Once the section has ended with nothing after it, the stream sends All Notes Off on the
    // five parts' channels.
    for (const char* ending : {"B9 7B 00", "BA 7B 00", "BB 7B 00", "BC 7B 00", "BD 7B 00"}) {
      expected << ending << '\n';
    }
    QVERIFY(expected.good());
  }

  void APatternLoopRepeatsWithoutAGap() {
    const QByteArray server = qgetenv("BRONDEL_E2E_JACK_SERVER");
    const QByteArray resultPath = qgetenv("BRONDEL_E2E_LOOP_RESULT");
    if (server.isEmpty() || resultPath.isEmpty()) {
      QSKIP("run by tests/e2e/jack_pattern_loop.sh, which starts the JACK server");
    }
    constexpr int kFill1 = 4;  // one bar: two repetitions take 4 s
    TJackWindow window;
    QVERIFY2(window.PickMonitor(),
             "the monitor's port is not listed after the built-in synthesizer");
    brondel::app::TForm1& form = window.form;
    window.dialogs.openAnswers.push_back(BRONDEL_SOURCE_DIR "/examples/pop_beat.ckf");
    form.Open1Click();
    ClickRow(form.Controls().mainFile.sectionList, kFill1);
    form.Pattern1Click();
    brondel::app::TPatternWindow* pattern = form.PatternWindow();
    QCOMPARE(pattern->Section(), kFill1);
    pattern->LoopAction()->setChecked(true);

    // Once the second repetition sounds, Loop goes off: the play ends with that repetition.
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      const auto now = form.Playback().PlayingNow();
      if (now && now->repetitions >= 1) {
        pattern->LoopAction()->setChecked(false);
        watch.stop();
      }
    });
    watch.start();
    bool gaveUp = false;
    QTimer::singleShot(60'000, [&] {
      gaveUp = true;
      pattern->StopAction()->trigger();
    });
    pattern->PlayAction()->trigger();
    QVERIFY(!gaveUp);
    QVERIFY(!watch.isActive());
    QVERIFY(window.dialogs.shown.empty());

    std::vector<brondel::TRenderEvent> events;
    brondel::TEventBuffer buffer;
    brondel::RenderSectionEvents(form.Documents().slots[0], kFill1, events, buffer);
    std::vector<std::string> lines;
    std::uint64_t ticks = 0;
    for (const auto& e : events) {
      ticks += e.Time;
      if (e.Data1 <= 127 && e.Data2 <= 127) lines.push_back(MessageLine(e));
    }
    const std::uint8_t tempo = form.Documents().slots[0].header.Tempo();
    std::ofstream result(resultPath.toStdString());
    result << "messages " << lines.size() << "\nlength-us " << ticks * 500'000 / tempo << '\n';
    for (int repetition = 0; repetition < 2; ++repetition) {
      for (const std::string& line : lines) result << line << '\n';
    }
    QVERIFY(result.good());
  }
};

QTEST_MAIN(TestWindowJack)
#include "test_window_jack.moc"
