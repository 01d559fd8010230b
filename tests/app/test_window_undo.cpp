// The main file's history in the main window: the Edit menu naming each step, "Update
// parameters", "Copy", "Import MIDI part" and the pattern editor's edits each one step, undone to
// the very bytes saved before and redone to the edited ones; Open and "New rhythm from MIDI..."
// starting anew; a looping pattern play hearing an edit; and the question on closing with
// unsaved changes, for Exit and the close box, idle and while a play goes on.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "app/pattern_window.h"
#include "clock_driver.h"
#include "document/rhythm_loader.h"
#include "exchange/midi_export.h"
#include "fake_midi_import_dialogs.h"
#include "pattern/section_edit.h"
#include "platform/qt_dialogs.h"
#include "render/render.h"
#include "tests/support/smf_writer.h"
#include "window_rig.h"

using brondel::platform::ManualMidiClock;
using brondel::platform::MidiCall;
using brondel::platform::MidiMicros;
using brondel::platform::RecordedMessage;
using brondel::platform::TMidiSourceChoice;
using brondel::platform::TSaveChangesAnswer;
using namespace std::chrono_literals;

namespace {

const std::string kExamples = BRONDEL_SOURCE_DIR "/examples/";
constexpr int kVar1 = 2;

/// A window with scripted MIDI dialogs, and the steps the tests take.
struct TUndoRig : TMidiWindowRig {
  using TMidiWindowRig::TMidiWindowRig;

  brondel::TRhythmSlot& Main() { return form->Documents().slots[0]; }
  QAction* Undo() const { return form->Controls().undoAction; }
  QAction* Redo() const { return form->Controls().redoAction; }

  /// "Save as" to `name` in the rig's folder; the bytes written (none when nothing was).
  std::vector<std::uint8_t> SaveAs(const std::string& name) {
    const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
    dialogs.saveAnswers.push_back(path);
    form->Saveas1Click();
    return Read(path);
  }

  static std::vector<std::uint8_t> Read(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = file.readAll();
    return {data.begin(), data.end()};
  }

  /// "Update parameters" with a new tempo typed in.
  void UpdateTempo(int tempo) {
    form->Controls().mainFile.tempoEdit->setText(QString::number(tempo));
    form->Button4Click();
  }

  /// An edit as the pattern window makes it: written and recorded, then the window's signal.
  void PatternEdit(int section,
                   const std::function<brondel::TNotesEdit(const brondel::TSectionNotes&)>& edit) {
    const brondel::TEditOutcome outcome = brondel::ApplySectionEdit(
        Main(), section, edit(brondel::ReadSectionNotes(Main(), section)), form->EditHistory());
    QVERIFY2(!outcome.refusal, outcome.refusal.value_or("").c_str());
    Q_EMIT form->PatternWindow()->MainFileEdited();
  }
};

/// A file as a sequencer writes it: four bass notes on channel 2, a beat each at 480 ticks.
std::vector<std::uint8_t> BassLine() {
  brondel::test::TSmfTrackWriter track;
  for (const std::uint8_t key : std::vector<std::uint8_t>{40, 43, 45, 47}) {
    track.Event(0, {0x91, key, 100}).Event(480, {0x81, key, 0});
  }
  return brondel::test::SmfFile(0, 480, {track.End(0)});
}

/// The first `count` notes of a part.
brondel::TSelection FirstNotes(const brondel::TSectionNotes& notes, int part, std::size_t count) {
  brondel::TSelection selection;
  for (std::size_t i = 0; i < count && i < notes.parts[static_cast<std::size_t>(part)].size();
       ++i) {
    selection.push_back(brondel::IdOf(part, notes.parts[static_cast<std::size_t>(part)][i]));
  }
  return selection;
}

/// The program numbers sent on the drums channel: in SmallRhythm each section's drums tone is
/// 10 x its index, so their count tells how many sections Play all played.
std::size_t PlayedSections(const brondel::platform::RecordingMidiDevice& device) {
  std::size_t sections = 0;
  for (const RecordedMessage& m : device.Messages()) sections += m.message.bytes[0] == 0xC9;
  return sections;
}

/// How a test closes the window: File > Exit or the close box.
enum class TCloseBy { kExit, kCloseBox };

void Close(TWindowRig& rig, TCloseBy by) {
  if (by == TCloseBy::kExit) {
    rig.form->Controls().exitAction->trigger();
  } else {
    rig.form->close();
  }
}

const char* Named(TCloseBy by) {
  return by == TCloseBy::kExit ? "Exit" : "close box";
}

/// A window shown with SmallRhythm open in the main slot.
void OpenSmall(TUndoRig& rig) {
  rig.form->show();
  QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));
  rig.Open(0, rig.Write("small.ckf", SmallRhythm().CkfFile()));
}

std::string Question(TUndoRig& rig) {
  return "Save changes to " + rig.Main().fileName + "?";
}

}  // namespace

class TestWindowUndo : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void EditStandsBetweenFileAndViewWithItsKeys() {
    TUndoRig rig;
    QStringList titles;
    for (QAction* action : rig.form->menuBar()->actions()) titles << action->text();
    QCOMPARE(titles, QStringList({"File", "Edit", "View", "About"}));
    const QMenu* edit = rig.form->menuBar()->actions().at(1)->menu();
    QCOMPARE(edit->objectName(), QString("Edit1"));
    QCOMPARE(edit->actions(), (QList<QAction*>{rig.Undo(), rig.Redo()}));
    QCOMPARE(rig.Undo()->objectName(), QString("Undo1"));
    QCOMPARE(rig.Redo()->objectName(), QString("Redo1"));
    QCOMPARE(rig.Undo()->shortcuts(), QList<QKeySequence>{QKeySequence("Ctrl+Z")});
    QCOMPARE(rig.Redo()->shortcuts(),
             (QList<QKeySequence>{QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")}));
    QCOMPARE(rig.Undo()->text(), QString("Undo"));
    QCOMPARE(rig.Redo()->text(), QString("Redo"));
    QVERIFY(!rig.Undo()->isEnabled());
    QVERIFY(!rig.Redo()->isEnabled());
  }

  void TheMenuNamesTheStepItTakesBackOrDoesAgain() {
    TUndoRig rig;
    rig.Open(0, kExamples + "pop_beat.ckf");
    const int tempo = rig.Main().header.Tempo();
    // "Update parameters" that changes nothing is no step.
    rig.form->Button4Click();
    QVERIFY(!rig.Undo()->isEnabled());
    QCOMPARE(rig.Undo()->text(), QString("Undo"));

    rig.UpdateTempo(tempo + 10);
    QCOMPARE(rig.Undo()->text(), QString("Undo Update parameters"));
    QVERIFY(rig.Undo()->isEnabled());
    QVERIFY(!rig.Redo()->isEnabled());
    rig.PatternEdit(kVar1, [](const brondel::TSectionNotes& notes) {
      return brondel::MoveNotes(notes, FirstNotes(notes, 0, 3), 12, 0);
    });
    QCOMPARE(rig.Undo()->text(), QString("Undo Move 3 notes"));

    rig.Undo()->trigger();
    QCOMPARE(rig.Undo()->text(), QString("Undo Update parameters"));
    QCOMPARE(rig.Redo()->text(), QString("Redo Move 3 notes"));
    QVERIFY(rig.Redo()->isEnabled());
    rig.Undo()->trigger();
    QCOMPARE(rig.Undo()->text(), QString("Undo"));
    QVERIFY(!rig.Undo()->isEnabled());
    QCOMPARE(rig.Redo()->text(), QString("Redo Update parameters"));
    // The fields show the document as the undo left it.
    QCOMPARE(rig.form->Controls().mainFile.tempoEdit->text(), QString::number(tempo));

    rig.Redo()->trigger();
    QCOMPARE(rig.form->Controls().mainFile.tempoEdit->text(), QString::number(tempo + 10));
    QCOMPARE(rig.Redo()->text(), QString("Redo Move 3 notes"));
    // A new step leaves nothing to redo.
    rig.UpdateTempo(tempo + 20);
    QCOMPARE(rig.Undo()->text(), QString("Undo Update parameters"));
    QCOMPARE(rig.Redo()->text(), QString("Redo"));
    QVERIFY(!rig.Redo()->isEnabled());
    QVERIFY(rig.dialogs.shown.empty());
  }

  void TheKeysUndoAndRedoInTheMainWindow() {
    TUndoRig rig;
    OpenSmall(rig);
    rig.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.form.get()));
    rig.UpdateTempo(120);
    QTest::keyClick(rig.form.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(rig.Main().header.Tempo(), std::uint8_t{100});
    QTest::keyClick(rig.form.get(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(rig.Main().header.Tempo(), std::uint8_t{120});
    QTest::keyClick(rig.form.get(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(rig.form.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(rig.Main().header.Tempo(), std::uint8_t{120});
  }

  void UndoGivesBackTheSavedBytesAndRedoTheEditedOnes() {
    TUndoRig rig;
    rig.Open(0, kExamples + "pop_beat.ckf");
    // The import file is a copy of the same rhythm, so that its parts fit the main file's bars.
    rig.Open(1, kExamples + "pop_beat.ckf");  // every save writes the prefix of the last open
    const auto& c = rig.form->Controls();
    const std::vector<std::uint8_t> original = rig.SaveAs("before.ckf");
    QVERIFY(!original.empty());
    const QStringList originalSections = Items(c.mainFile.sectionList);
    const std::string originalCell = rig.Cell(3, 2);

    // Update parameters: a tempo and the Bass volume of Intro1 in every section.
    c.settingsGrid->item(2, 3)->setText("33");
    rig.UpdateTempo(rig.Main().header.Tempo() + 7);
    QCOMPARE(rig.Undo()->text(), QString("Undo Update parameters"));
    // Copy: Var1 Chord1 into Var2 Bass, with its sounds.
    QCOMPARE(rig.Main().header.BarCount(3), rig.Main().header.BarCount(kVar1));
    ClickRow(c.importFile.sectionList, kVar1);
    ClickRow(c.importFile.partList, 2);
    ClickRow(c.mainFile.sectionList, 3);
    ClickRow(c.mainFile.partList, 1);
    c.includeToneParamsBox->setChecked(true);
    rig.form->Button11Click();
    QCOMPARE(rig.Undo()->text(), QString("Undo Copy"));
    // Import MIDI part: a bass line into Var2 Chord2, with its sounds.
    ClickRow(c.mainFile.partList, 3);
    rig.midiDialogs.fileAnswers.push_back(rig.Write("bass.mid", BassLine()));
    rig.midiDialogs.sourceAnswer = TMidiSourceChoice{0, true};
    rig.form->ImportMidiPart1Click();
    QCOMPARE(rig.Undo()->text(), QString("Undo Import MIDI part"));
    // The pattern editor's edits: notes moved, their velocity, the bar count.
    rig.PatternEdit(kVar1, [](const brondel::TSectionNotes& notes) {
      return brondel::MoveNotes(notes, FirstNotes(notes, 0, 3), 24, 0);
    });
    rig.PatternEdit(kVar1, [](const brondel::TSectionNotes& notes) {
      return brondel::SetVelocity(notes, FirstNotes(notes, 1, 2), 17);
    });
    const std::uint16_t bars = rig.Main().header.BarCount(kVar1);
    const brondel::TEditOutcome longer = brondel::ApplyBarCount(
        rig.Main(), kVar1, static_cast<std::uint16_t>(bars + 2), true, rig.form->EditHistory());
    QVERIFY(!longer.refusal);
    Q_EMIT rig.form->PatternWindow()->MainFileEdited();
    QCOMPARE(rig.Undo()->text(), "Undo Set bar count to " + QString::number(bars + 2));
    QCOMPARE(Items(c.mainFile.sectionList).at(kVar1), "Var1,mesures: " + QString::number(bars + 2));
    QVERIFY(rig.dialogs.shown.empty());

    constexpr std::size_t kSteps = 6;
    QCOMPARE(rig.form->EditHistory().UndoCount(), kSteps);
    const std::vector<std::uint8_t> edited = rig.SaveAs("edited.ckf");
    QVERIFY(edited != original);

    for (std::size_t step = 0; step < kSteps; ++step) {
      QVERIFY(rig.Undo()->isEnabled());
      rig.Undo()->trigger();
    }
    QVERIFY(!rig.Undo()->isEnabled());
    QCOMPARE(rig.Redo()->text(), QString("Redo Update parameters"));
    QCOMPARE(Items(c.mainFile.sectionList), originalSections);
    ClickRow(c.mainFile.sectionList, 0);
    QCOMPARE(rig.Cell(3, 2), originalCell);
    QVERIFY(rig.SaveAs("undone.ckf") == original);

    for (std::size_t step = 0; step < kSteps; ++step) rig.Redo()->trigger();
    QVERIFY(!rig.Redo()->isEnabled());
    QVERIFY(rig.SaveAs("redone.ckf") == edited);
    QVERIFY(rig.dialogs.shown.empty());
  }

  void OpenAndANewRhythmStartANewHistory() {
    TUndoRig rig;
    OpenSmall(rig);
    rig.UpdateTempo(120);
    rig.Undo()->trigger();
    QVERIFY(rig.Redo()->isEnabled());
    rig.UpdateTempo(130);
    // Opening the import file leaves the main file's history.
    rig.Open(1, kExamples + "ballad.ckf");
    QCOMPARE(rig.Undo()->text(), QString("Undo Update parameters"));
    rig.Open(0, kExamples + "pop_beat.ckf");
    QVERIFY(!rig.Undo()->isEnabled());
    QVERIFY(!rig.Redo()->isEnabled());
    QCOMPARE(rig.Undo()->text(), QString("Undo"));
    QVERIFY(!rig.form->EditHistory().Modified());

    // A new rhythm from MIDI: no steps, and unsaved until it is saved.
    rig.UpdateTempo(140);
    const brondel::TLoadOutcome ballad = brondel::ReadRhythmFile(kExamples + "ballad.ckf");
    QVERIFY(ballad.rhythm);
    std::vector<brondel::TRenderEvent> events;
    brondel::TEventBuffer buffer;
    brondel::RenderSectionEvents(ballad.rhythm->slot, kVar1, events, buffer);
    rig.midiDialogs.filesAnswer.push_back(rig.Write(
        "ballad-Var1.mid", brondel::ExportMidiFile(ballad.rhythm->slot, "ballad", {buffer}).bytes));
    rig.form->NewFromMidi1Click();
    QVERIFY(rig.dialogs.shown.empty());
    QVERIFY(!rig.Undo()->isEnabled());
    QVERIFY(rig.form->EditHistory().Modified());
    rig.form->close();
    QCOMPARE(rig.dialogs.saveChangesQuestions, std::vector<std::string>{Question(rig)});
    QVERIFY(rig.form->isVisible());  // the scripted answer is Cancel
  }

  void WithoutUnsavedChangesNothingIsAsked() {
    for (const TCloseBy by : {TCloseBy::kExit, TCloseBy::kCloseBox}) {
      TUndoRig rig;
      OpenSmall(rig);
      // A change undone, and a change saved: the document is as on disk.
      rig.UpdateTempo(120);
      rig.Undo()->trigger();
      rig.UpdateTempo(130);
      QVERIFY(!rig.SaveAs("saved.ckf").empty());
      Close(rig, by);
      QVERIFY2(!rig.form->isVisible(), Named(by));
      QVERIFY(rig.dialogs.saveChangesQuestions.empty());
      QVERIFY(rig.dialogs.shown.empty());
    }
  }

  void EachAnswerToTheQuestion() {
    for (const TCloseBy by : {TCloseBy::kExit, TCloseBy::kCloseBox}) {
      {  // Cancel: the window, its stream and the document stay.
        TUndoRig rig;
        OpenSmall(rig);
        rig.UpdateTempo(120);
        rig.dialogs.saveChangesAnswers.push_back(TSaveChangesAnswer::kCancel);
        Close(rig, by);
        QCOMPARE(rig.dialogs.saveChangesQuestions, std::vector<std::string>{Question(rig)});
        QVERIFY2(rig.form->isVisible(), Named(by));
        QVERIFY(rig.devices[0]->IsOpen());
        QVERIFY(!rig.form->Playback().StopFlag());
        QCOMPARE(rig.Main().header.Tempo(), std::uint8_t{120});
        QVERIFY(rig.dialogs.shown.empty());
      }
      {  // Discard: closed as without changes, nothing written.
        TUndoRig rig;
        OpenSmall(rig);
        const QStringList files = QDir(rig.dir.path()).entryList(QDir::Files);
        rig.UpdateTempo(120);
        rig.dialogs.saveChangesAnswers.push_back(TSaveChangesAnswer::kDiscard);
        Close(rig, by);
        QVERIFY2(!rig.form->isVisible(), Named(by));
        QCOMPARE(rig.devices[0]->IsOpen(), by == TCloseBy::kCloseBox);
        QCOMPARE(QDir(rig.dir.path()).entryList(QDir::Files), files);
        QVERIFY(rig.dialogs.shown.empty());
      }
      {  // Save: through Save as, proposing the file's name, then closed.
        TUndoRig rig;
        OpenSmall(rig);
        rig.UpdateTempo(120);
        rig.dialogs.saveChangesAnswers.push_back(TSaveChangesAnswer::kSave);
        const std::string target = rig.dir.filePath("saved.ckf").toStdString();
        rig.dialogs.saveAnswers.push_back(target);
        Close(rig, by);
        QVERIFY2(!rig.form->isVisible(), Named(by));
        QCOMPARE(rig.dialogs.proposedSaveNames, std::vector<std::string>{rig.Main().fileName});
        const brondel::TLoadOutcome saved = brondel::ReadRhythmFile(target);
        QVERIFY(saved.rhythm);
        QCOMPARE(saved.rhythm->slot.header.Tempo(), std::uint8_t{120});
        QVERIFY(rig.dialogs.shown.empty());
      }
      {  // Save, its dialog cancelled: Save as says so, and the window stays.
        TUndoRig rig;
        OpenSmall(rig);
        rig.UpdateTempo(120);
        rig.dialogs.saveChangesAnswers.push_back(TSaveChangesAnswer::kSave);
        rig.dialogs.saveAnswers.push_back(std::nullopt);
        Close(rig, by);
        QVERIFY2(rig.form->isVisible(), Named(by));
        QCOMPARE(rig.dialogs.Texts(), std::vector<std::string>{"Error writting file"});
        QVERIFY(rig.form->EditHistory().Modified());
      }
      {  // Save, the write failing: the error is shown, and the window stays.
        TUndoRig rig;
        OpenSmall(rig);
        rig.UpdateTempo(120);
        rig.dialogs.saveChangesAnswers.push_back(TSaveChangesAnswer::kSave);
        rig.dialogs.saveAnswers.push_back(rig.dir.filePath("missing/saved.ckf").toStdString());
        Close(rig, by);
        QVERIFY2(rig.form->isVisible(), Named(by));
        QCOMPARE(rig.dialogs.shown.size(), std::size_t{1});
        QCOMPARE(rig.dialogs.shown[0].kind, TShownBox::Kind::kError);
        QVERIFY(rig.form->EditHistory().Modified());
        // Asked again, the user discards.
        rig.dialogs.saveChangesAnswers.push_back(TSaveChangesAnswer::kDiscard);
        Close(rig, by);
        QVERIFY(!rig.form->isVisible());
        QCOMPARE(rig.dialogs.saveChangesQuestions.size(), std::size_t{2});
      }
    }
  }

  void TheQuestionWhilePlayAllPlays() {
    struct TCase {
      TCloseBy by;
      TSaveChangesAnswer answer;
      std::size_t sections;  // what Play all then plays
      bool closed;
    };
    for (const TCase& test : {TCase{TCloseBy::kCloseBox, TSaveChangesAnswer::kCancel, 11, false},
                              TCase{TCloseBy::kCloseBox, TSaveChangesAnswer::kDiscard, 11, true},
                              TCase{TCloseBy::kCloseBox, TSaveChangesAnswer::kSave, 11, true},
                              TCase{TCloseBy::kExit, TSaveChangesAnswer::kCancel, 11, false},
                              TCase{TCloseBy::kExit, TSaveChangesAnswer::kDiscard, 1, true},
                              TCase{TCloseBy::kExit, TSaveChangesAnswer::kSave, 1, true}}) {
      ManualMidiClock clock;
      TUndoRig rig(1, clock);
      OpenSmall(rig);
      rig.UpdateTempo(120);
      rig.dialogs.saveChangesAnswers.push_back(test.answer);
      const std::string target = rig.dir.filePath("saved.ckf").toStdString();
      rig.dialogs.saveAnswers.push_back(target);
      TClockDriver driver(clock, 10ms);
      driver.At([&] { return PlayedSections(*rig.devices[0]) > 0; }, [&] { Close(rig, test.by); });
      rig.form->Button5Click();
      QCOMPARE(driver.Fired(), 1);
      QCOMPARE(rig.dialogs.saveChangesQuestions, std::vector<std::string>{Question(rig)});
      QCOMPARE(PlayedSections(*rig.devices[0]), test.sections);
      QCOMPARE(!rig.form->isVisible(), test.closed);
      QCOMPARE(!brondel::ReadRhythmFile(target).rhythm, test.answer != TSaveChangesAnswer::kSave);
      QVERIFY(rig.dialogs.shown.empty());
    }
  }

  void AnEditAfterDiscardWhileAPlayEndsIsAskedAgain() {
    ManualMidiClock clock;
    TUndoRig rig(1, clock);
    OpenSmall(rig);
    rig.UpdateTempo(120);
    rig.dialogs.saveChangesAnswers = {TSaveChangesAnswer::kDiscard, TSaveChangesAnswer::kCancel};
    TClockDriver driver(clock, 10ms);
    driver.At([&] { return PlayedSections(*rig.devices[0]) > 0; }, [&] { rig.form->close(); });
    driver.At([&] { return PlayedSections(*rig.devices[0]) > 3; },
              [&] {
                rig.PatternEdit(kVar1, [](const brondel::TSectionNotes& notes) {
                  return brondel::MoveNotes(notes, FirstNotes(notes, 0, 1), 0, 1);
                });
              });
    rig.form->Button5Click();
    QCOMPARE(driver.Fired(), 2);
    QCOMPARE(rig.dialogs.saveChangesQuestions.size(), std::size_t{2});
    QVERIFY(rig.form->isVisible());  // the second answer was Cancel
    // Without another change the Discard stands.
    rig.dialogs.saveChangesAnswers = {TSaveChangesAnswer::kDiscard};
    rig.form->close();
    QVERIFY(!rig.form->isVisible());
  }

  void TheQtQuestionHasSaveDiscardAndCancel() {
    QWidget parent;
    brondel::platform::TQtDialogs dialogs(&parent);
    const std::vector<std::pair<QMessageBox::StandardButton, TSaveChangesAnswer>> cases{
        {QMessageBox::Save, TSaveChangesAnswer::kSave},
        {QMessageBox::Discard, TSaveChangesAnswer::kDiscard},
        {QMessageBox::Cancel, TSaveChangesAnswer::kCancel}};
    for (const auto& [button, answer] : cases) {
      QString text;
      QList<QMessageBox::StandardButton> buttons;
      QTimer::singleShot(0, [&, pressed = button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        text = box->text();
        for (QAbstractButton* b : box->buttons()) buttons << box->standardButton(b);
        box->button(pressed)->click();
      });
      QCOMPARE(dialogs.AskSaveChanges("Save changes to /tmp/a.ckf?"), answer);
      QCOMPARE(text, QString("Save changes to /tmp/a.ckf?"));
      std::sort(buttons.begin(), buttons.end());
      QCOMPARE(buttons, (QList<QMessageBox::StandardButton>{QMessageBox::Save, QMessageBox::Cancel,
                                                            QMessageBox::Discard}));
    }
  }

  void ALoopingPatternPlaysAnEditFromItsNextRepetition() {
    ManualMidiClock clock;
    TUndoRig rig(1, clock);
    // Var1 of one bar at tempo 96 and 96 ticks a quarter note: a bar of 2 s.
    brondel::TRhythmBuilder rhythm(96, 0x22);
    for (int s = 0; s < brondel::kSectionCount; ++s) rhythm.Bars(s, 1);
    rhythm.Part(kVar1, 0,
                brondel::TPartBuilder().Note(0, 36, 127).Note(96, 36, 0).Wait(192).End(96));
    rig.form->Pattern1Click();
    rig.Open(0, rig.Write("loop.ckf", rhythm.CkfFile()));
    ClickRow(rig.form->Controls().mainFile.sectionList, kVar1);
    auto* window = rig.form->PatternWindow();
    window->LoopAction()->setChecked(true);
    TClockDriver driver(clock, 10ms);
    const MidiMicros start = clock.Now();
    driver.At([&] { return clock.Now() >= start + 500ms; },
              [&] {
                rig.PatternEdit(kVar1, [](const brondel::TSectionNotes& notes) {
                  return brondel::AddNote(notes, 0, {0, 38, 110, 48});
                });
              });
    driver.At([&] { return clock.Now() >= start + 5s; }, [&] { rig.form->Button3Click(); });
    window->PlayAction()->trigger();
    std::vector<MidiMicros> snares;
    for (const RecordedMessage& m : rig.devices[0]->Messages()) {
      if (m.message.bytes == std::array<std::uint8_t, 3>{0x99, 38, 110}) {
        snares.push_back(m.due - start);
      }
    }
    QCOMPARE(snares, (std::vector<MidiMicros>{2s, 4s}));
  }

  // The pattern window's status line names the step Edit > Undo or Redo took, as it does for
  // its own toolbar's: not the edit made before it.
  void ThePatternWindowSaysWhatEditUndoTookBack() {
    TUndoRig rig;
    OpenSmall(rig);
    brondel::app::TPatternWindow* window = rig.form->PatternWindow();
    rig.form->Pattern1Click();
    ClickRow(rig.form->Controls().mainFile.sectionList, kVar1);
    const auto add = [&](std::uint32_t tick) {
      QVERIFY(window->ApplyEdit(
          brondel::AddNote(brondel::ReadSectionNotes(rig.Main(), kVar1), 0, {tick, 38, 100, 1})));
    };
    add(1);  // SmallRhythm's sections end at tick 10
    rig.UpdateTempo(120);
    add(6);
    QCOMPARE(window->Message(), QString("Add note"));
    rig.Undo()->trigger();
    QCOMPARE(window->Message(), QString("Undone: Add note"));
    rig.Undo()->trigger();
    QCOMPARE(window->Message(), QString("Undone: Update parameters"));
    window->UndoAction()->trigger();
    QCOMPARE(window->Message(), QString("Undone: Add note"));
    rig.Redo()->trigger();
    QCOMPARE(window->Message(), QString("Redone: Add note"));
    window->RedoAction()->trigger();
    QCOMPARE(window->Message(), QString("Redone: Update parameters"));
  }

  // The pattern window's Undo and Redo are the main window's: a tempo taken back reaches the
  // stream (whose refusal is shown here), the fields follow; a save clears the window's "*".
  void ThePatternWindowsUndoIsTheMainWindows() {
    TUndoRig rig;
    OpenSmall(rig);
    brondel::app::TPatternWindow* window = rig.form->PatternWindow();
    rig.form->Pattern1Click();
    ClickRow(rig.form->Controls().mainFile.sectionList, kVar1);
    rig.UpdateTempo(120);
    QVERIFY(window->windowTitle().contains('*'));
    QVERIFY(window->UndoAction()->isEnabled());
    rig.devices[0]->FailCall(MidiCall::kTimeDivision, brondel::platform::kMidiNotReady);
    window->UndoAction()->trigger();
    QCOMPARE(rig.Main().header.Tempo(), std::uint8_t{100});
    QCOMPARE(rig.form->Controls().mainFile.tempoEdit->text(), QString("100"));
    QCOMPARE(rig.dialogs.shown.size(), std::size_t{1});  // the division the undo set
    QVERIFY(!window->windowTitle().contains('*'));
    QCOMPARE(rig.Redo()->text(), QString("Redo Update parameters"));

    window->RedoAction()->trigger();
    QCOMPARE(rig.Main().header.Tempo(), std::uint8_t{120});
    QVERIFY(window->windowTitle().contains('*'));
    rig.SaveAs("saved.ckf");
    QVERIFY(!window->windowTitle().contains('*'));
  }
};

QTEST_MAIN(TestWindowUndo)
#include "test_window_undo.moc"
