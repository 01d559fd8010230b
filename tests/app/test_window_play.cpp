// Playing from the window: sections, parts, Stop, nested plays, Play all, failing devices,
// Exit and the close box; offscreen, on recording devices whose clock the test drives.
#include <QtTest>

#include "clock_driver.h"
#include "window_rig.h"

using brondel::platform::ManualMidiClock;
using brondel::platform::MidiCall;
using brondel::platform::MidiErrorText;
using brondel::platform::MidiMicros;
using brondel::platform::RecordedMessage;
using namespace std::chrono_literals;

namespace {

/// The program numbers sent on the drums channel, in order: in SmallRhythm each section's
/// drums tone is 10 x its index, so this tells which sections played.
std::vector<int> PlayedSections(const brondel::platform::RecordingMidiDevice& device) {
  std::vector<int> sections;
  for (const RecordedMessage& m : device.Messages()) {
    if (m.message.bytes[0] == 0xC9) sections.push_back(m.message.bytes[1] / 10);
  }
  return sections;
}

/// What the device received apart from the All Notes Off that end a play (sent at a Stop, and a
/// moment after a play that nothing follows, so at a time the driven clock does not fix).
std::vector<RecordedMessage> PlayedMessages(const brondel::platform::RecordingMidiDevice& device) {
  std::vector<RecordedMessage> played;
  for (const RecordedMessage& m : device.Messages()) {
    const bool allNotesOff = (m.message.bytes[0] & 0xF0) == 0xB0 && m.message.bytes[1] == 123;
    if (!allNotesOff) played.push_back(m);
  }
  return played;
}

/// The section buffer as the window would send it: absolute ticks and the messages whose data
/// bytes are MIDI data (the end record's 0xFC is not sent).
struct TExpectedMessage {
  std::uint32_t ticks;
  std::array<std::uint8_t, 3> bytes;
};

std::vector<TExpectedMessage> SentMessagesOf(const std::vector<brondel::TRenderEvent>& events) {
  std::vector<TExpectedMessage> expected;
  std::uint32_t ticks = 0;
  for (const auto& e : events) {
    ticks += e.Time;
    if (e.Data1 > 127 || e.Data2 > 127) continue;
    expected.push_back({ticks, {e.Status, e.Data1, e.Data2}});
  }
  return expected;
}

const std::string kExamples = BRONDEL_SOURCE_DIR "/examples/";

}  // namespace

class TestWindowPlay : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void ASectionPlaysAtHalfAMillionMicrosecondsPerQuarterOverTheTempo_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("section");
    QTest::newRow("pop beat Var1") << "pop_beat.ckf" << 2;
    QTest::newRow("waltz Fill1") << "waltz.z00" << 4;
    QTest::newRow("ballad End1") << "ballad.ckf" << 8;
  }
  void ASectionPlaysAtHalfAMillionMicrosecondsPerQuarterOverTheTempo() {
    QFETCH(QString, file);
    QFETCH(int, section);
    ManualMidiClock clock;
    TWindowRig rig(1, clock);
    rig.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));
    rig.Open(0, kExamples + file.toStdString());
    QVERIFY(rig.dialogs.shown.empty());
    const std::uint32_t tempo = rig.form->Documents().slots[0].header.Tempo();
    TClockDriver driver(clock, 20ms);
    ClickRow(rig.form->Controls().mainFile.sectionList, section);
    DoubleClickRow(rig.form->Controls().mainFile.sectionList, section);

    const auto expected = SentMessagesOf(rig.form->Playback().RenderEvents(0));
    const auto played = PlayedMessages(*rig.devices[0]);
    QCOMPARE(played.size(), expected.size());
    QVERIFY(expected.size() > 40);
    for (std::size_t i = 0; i < played.size(); ++i) {
      const auto& m = played[i].message;
      QCOMPARE(m.bytes[0], expected[i].bytes[0]);
      QCOMPARE(m.bytes[1], expected[i].bytes[1]);
      if (m.size == 3) QCOMPARE(m.bytes[2], expected[i].bytes[2]);
      const auto wanted = (std::uint64_t{expected[i].ticks} * 500000 + tempo / 2) / tempo;
      const auto got = (played[i].due - played[0].due).count();
      QVERIFY2(std::abs(got - static_cast<long long>(wanted)) <= 1,
               qPrintable(QString("message %1 at %2 us, wanted %3").arg(i).arg(got).arg(wanted)));
      QVERIFY(played[i].sent >= played[i].due);
    }
    QCOMPARE(rig.form->Playback().StreamHeader().dwFlags & brondel::platform::kHeaderPrepared, 0u);
    QVERIFY(rig.dialogs.shown.empty());
  }

  void StopEndsTheSoundAtOnceWithoutAMessage() {
    ManualMidiClock clock;
    TWindowRig rig(1, clock);
    rig.Open(0, kExamples + "pop_beat.ckf");
    TClockDriver driver(clock, 10ms);
    const auto start = clock.Now();
    driver.At([&] { return clock.Now() - start > 300ms; }, [&] { rig.form->Button3Click(); });
    rig.form->Controls().mainFile.sectionList->setCurrentRow(2);
    rig.form->ListBox2DblClick();
    QCOMPARE(driver.Fired(), 1);
    QVERIFY(rig.form->Playback().StopFlag());
    const auto played = rig.devices[0]->Messages();
    const auto full = SentMessagesOf(rig.form->Playback().RenderEvents(0));
    QVERIFY(played.size() < full.size());
    QVERIFY(rig.devices[0]->SilenceCount() >= 1);
    QVERIFY(clock.Now() - start < 1s);  // it did not wait for the section's end
    QVERIFY(rig.dialogs.shown.empty());
    // Nothing sounds after the stop.
    const auto count = played.size();
    clock.Advance(5s);
    QCOMPARE(rig.devices[0]->Messages().size(), count);
  }

  void ASecondSectionEndsTheFirstAndBothReturn() {
    ManualMidiClock clock;
    TWindowRig rig(1, clock);
    auto rhythm = SmallRhythm();
    for (int p = 0; p < brondel::kPartCount; ++p) {  // Var2 lasts 1,000 ticks
      rhythm.Part(3, p, brondel::TPartBuilder().Note(0, 40, 100).Wait(1000).Note(0, 40, 0).End());
    }
    rig.Open(0, rig.Write("long.ckf", rhythm.CkfFile()));
    TClockDriver driver(clock, 5ms);
    bool innerReturned = false;
    driver.At([&] { return PlayedSections(*rig.devices[0]).size() == 1; },
              [&] {
                rig.form->Controls().mainFile.sectionList->setCurrentRow(7);
                rig.form->ListBox2DblClick();
                innerReturned = true;
              });
    rig.form->Controls().mainFile.sectionList->setCurrentRow(3);
    rig.form->ListBox2DblClick();
    QVERIFY(innerReturned);
    // Var2 started, then Fill4 played to its end and Var2 never resumed.
    QCOMPARE(PlayedSections(*rig.devices[0]), (std::vector<int>{3, 7}));
    // Var2's set-up and five note-ons (30 + 5), the stop's five note-offs for them, then all of
    // Fill4 (30 + 5 notes on and off).
    QCOMPARE(PlayedMessages(*rig.devices[0]).size(), std::size_t{35 + 5 + 40});
    QVERIFY(rig.devices[0]->SilenceCount() >= 1);  // Var2's sounding notes were ended
    QVERIFY(clock.Now() < 4s);                     // Var2's 1,000 ticks (5 s) were cut short
    QVERIFY(rig.dialogs.shown.empty());
  }

  void PlayAllPlaysElevenEntriesWithTheListsFollowing() {
    ManualMidiClock clock;
    TWindowRig rig(1, clock);
    rig.Open(0, SmallRhythmPath(rig));
    TClockDriver driver(clock, 10ms);
    std::vector<int> shown;  // each move of the section list's selection
    QObject::connect(rig.form->Controls().mainFile.sectionList->selectionModel(),
                     &QItemSelectionModel::currentChanged,
                     [&](const QModelIndex& index) { shown.push_back(index.row()); });
    rig.form->Button5Click();
    QCOMPARE(PlayedSections(*rig.devices[0]), (std::vector<int>{0, 2, 4, 2, 5, 3, 6, 3, 7, 2, 8}));
    QCOMPARE(shown, (std::vector<int>{2, 4, 2, 5, 3, 6, 3, 7, 2, 8}));  // Intro1 was selected
    QCOMPARE(rig.form->Controls().mainFile.sectionList->currentRow(), 8);
    QCOMPARE(Items(rig.form->Controls().mainFile.partList).first(), QString("End1:Drums"));
    QCOMPARE(rig.form->Controls().mainFile.partList->currentRow(), -1);
    QCOMPARE(rig.Cell(0, 0), std::string("End1"));
    QVERIFY(!rig.form->Playback().StopFlag());
  }

  void StopInTheThirdEntryLetsTheRestPassSilently() {
    ManualMidiClock clock;
    TWindowRig rig(1, clock);
    rig.Open(0, SmallRhythmPath(rig));
    rig.Open(1, SmallRhythmPath(rig));
    TClockDriver driver(clock, 10ms);
    driver.At([&] { return PlayedSections(*rig.devices[0]).size() == 3; },
              [&] { rig.form->Button3Click(); });
    rig.form->Button10Click();  // the import file's Play all
    QCOMPARE(PlayedSections(*rig.devices[0]), (std::vector<int>{0, 2, 4}));
    QCOMPARE(rig.form->Controls().importFile.sectionList->currentRow(), 8);
    QCOMPARE(Items(rig.form->Controls().importFile.partList),
             QStringList({"End1:Drums", "End1:Bass", "End1:Chord1", "End1:Chord2", "End1:Chord3"}));
    QCOMPARE(rig.form->Controls().importFile.partList->currentRow(), -1);
    QCOMPARE(rig.Cell(0, 0), std::string("Intro1"));  // the import file leaves the grid alone
    QVERIFY(rig.dialogs.shown.empty());
  }

  void ADeviceThatRefusesEveryCallIsReportedWithItsPrefixes() {
    TWindowRig rig(1);
    rig.Open(0, SmallRhythmPath(rig));
    rig.devices[0]->FailEveryCall(brondel::platform::kMidiNotReady);
    const std::string text = MidiErrorText(brondel::platform::kMidiNotReady);
    rig.form->ListBox2DblClick();
    QCOMPARE(rig.dialogs.Texts(), (std::vector<std::string>{"OPEN " + text, "Prepare  " + text}));
    rig.dialogs.shown.clear();
    rig.form->Button5Click();
    std::vector<std::string> wanted{"OPEN " + text};
    wanted.insert(wanted.end(), 11, "Prepare  " + text);
    QCOMPARE(rig.dialogs.Texts(), wanted);
    QVERIFY(rig.devices[0]->Messages().empty());
  }

  void APartPlaysAloneAndAnEmptyPartIsReported() {
    ManualMidiClock clock;
    TWindowRig rig(1, clock);
    auto rhythm = SmallRhythm();
    rhythm.Part(2, 3, brondel::TPartBuilder().End());  // Var1:Chord2 holds nothing
    rig.Open(0, rig.Write("parts.ckf", rhythm.CkfFile()));
    TClockDriver driver(clock, 10ms);
    rig.form->Controls().mainFile.sectionList->setCurrentRow(2);
    rig.form->Controls().mainFile.partList->setCurrentRow(1);
    rig.form->ListBox1DblClick();
    const auto played = PlayedMessages(*rig.devices[0]);
    QCOMPARE(played.size(), std::size_t{8});  // six set-up messages and two notes
    for (const auto& m : played) QCOMPARE(m.message.bytes[0] & 0x0F, 10);  // the bass channel
    QCOMPARE(played[0].message.bytes[1], std::uint8_t{21});                // Var1 bass tone
    rig.form->Controls().mainFile.partList->setCurrentRow(3);
    rig.form->ListBox1DblClick();
    QCOMPARE(rig.dialogs.Texts(), std::vector<std::string>{"This part is empty!"});
    QCOMPARE(PlayedMessages(*rig.devices[0]).size(), std::size_t{8});
  }

  void APartListWithoutSelectionPlaysNothing() {
    TWindowRig rig(1);
    rig.Open(0, SmallRhythmPath(rig));
    rig.devices[0]->FailCall(MidiCall::kPrepare, brondel::platform::kMidiNotReady);
    rig.form->Button5Click();  // leaves ListBox1 without a selection
    rig.dialogs.shown.clear();
    rig.devices[0]->FailCall(MidiCall::kPrepare, 0);
    QCOMPARE(rig.form->Controls().mainFile.partList->currentRow(), -1);
    rig.form->ListBox1DblClick();
    QVERIFY(rig.dialogs.shown.empty());
    QVERIFY(rig.devices[0]->Messages().empty());
  }

  void ExitDuringAPlayEndsIt() {
    ManualMidiClock clock;
    TWindowRig rig(1, clock);
    rig.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));
    rig.Open(0, kExamples + "pop_beat.ckf");
    TClockDriver driver(clock, 10ms);
    const auto start = clock.Now();
    driver.At([&] { return clock.Now() - start > 200ms; }, [&] { rig.form->Exit1Click(); });
    rig.form->ListBox2DblClick();
    QCOMPARE(driver.Fired(), 1);
    QVERIFY(clock.Now() - start < 1s);
    QVERIFY(!rig.devices[0]->IsOpen());
    QVERIFY(!rig.form->isVisible());
    QVERIFY(rig.dialogs.shown.empty());
  }

  void TheCloseBoxLetsThePlayFinishThenCloses() {
    ManualMidiClock clock;
    TWindowRig rig(1, clock);
    rig.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));
    rig.Open(0, SmallRhythmPath(rig));
    TClockDriver driver(clock, 10ms);
    bool visibleAfterClose = false;
    driver.At([&] { return !rig.devices[0]->Messages().empty(); },
              [&] {
                rig.form->close();
                visibleAfterClose = rig.form->isVisible();
              });
    rig.form->Button5Click();
    QVERIFY(visibleAfterClose);
    QCOMPARE(PlayedSections(*rig.devices[0]).size(), std::size_t{11});  // the whole sequence
    QVERIFY(!rig.form->isVisible());
    QVERIFY(rig.devices[0]->IsOpen());  // the close box does not close the stream
  }

 private:
  static std::string SmallRhythmPath(TWindowRig& rig) {
    return rig.Write("small" + std::to_string(rig.dialogs.openDialogs) + ".ckf",
                     SmallRhythm().CkfFile());
  }
};

QTEST_MAIN(TestWindowPlay)
#include "test_window_play.moc"
