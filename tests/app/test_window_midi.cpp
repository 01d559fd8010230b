// The MIDI commands of the window: where they stand in the File menu; "Import MIDI part..."
// replacing the selected part from a file another program wrote, heard with a section
// double-click, saved and opened again; "New rhythm from MIDI..." making the main file from
// exported sections; and refusals that leave the documents as they were.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

#include "clock_driver.h"
#include "document/rhythm_loader.h"
#include "exchange/midi_export.h"
#include "fake_midi_import_dialogs.h"
#include "render/render.h"
#include "tests/support/smf_writer.h"
#include "window_rig.h"

using brondel::platform::ManualMidiClock;
using brondel::platform::TMidiSourceChoice;
using brondel::test::SmfFile;
using brondel::test::TSmfTrackWriter;
using namespace std::chrono_literals;

namespace {

const std::string kExamples = BRONDEL_SOURCE_DIR "/examples/";
constexpr int kVar1 = 2;
constexpr int kBass = 1;

using TMidiRig = TMidiWindowRig;

/// A file as a sequencer writes it, format 0 at 480 ticks a quarter note: a bass line on channel
/// 2 in running status (keys 40, 43, 45, 47, a beat each), drums on channel 10, a system
/// exclusive message, a program change and a volume.
std::vector<std::uint8_t> SequencerFile() {
  TSmfTrackWriter track;
  track.Name("take 3").SysEx(0, {0x41, 0x10, 0x42, 0x12, 0xF7}).Tempo(0, 500000);
  track.Event(0, {0xC1, 38}).Event(0, {0xB1, 7, 120});
  for (const std::uint8_t key : std::vector<std::uint8_t>{40, 43, 45, 47}) {
    track.Event(0, {0x91, key, 100}).Event(0, {0x99, 36, 90}).Event(240, {0x91, key, 0});
    track.Event(0, {0x89, 36, 0}).Event(240, {0xF0, 1, 0xF7});
  }
  return SmfFile(0, 480, {track.End(0)});
}

std::vector<std::string> FileMenu(const brondel::app::TForm1& form) {
  std::vector<std::string> items;
  for (const QAction* action : form.menuBar()->actions().front()->menu()->actions()) {
    items.push_back(action->isSeparator() ? "--" : action->text().toStdString());
  }
  return items;
}

}  // namespace

class TestWindowMidi : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void TheMidiCommandsStandBetweenSaveAsAndExit() {
    TMidiRig rig;
    QCOMPARE(FileMenu(*rig.form),
             (std::vector<std::string>{"Open", "Save as", "--", "New rhythm from MIDI...",
                                       "Import MIDI part...", "--", "Exit"}));
  }

  void ImportingAPartReplacesTheSelectedPartAndItIsHeardSavedAndOpenedAgain() {
    ManualMidiClock clock;
    TMidiRig rig(1, clock);
    rig.Open(0, kExamples + "pop_beat.ckf");
    ClickRow(rig.form->Controls().mainFile.sectionList, kVar1);
    ClickRow(rig.form->Controls().mainFile.partList, kBass);
    const std::string midi = rig.Write("take.mid", SequencerFile());
    rig.midiDialogs.fileAnswers.push_back(midi);
    rig.midiDialogs.sourceAnswer = TMidiSourceChoice{1, true};  // channel 2, with its sounds
    rig.form->ImportMidiPart1Click();

    QCOMPARE(rig.midiDialogs.shownTarget, std::string("Var1:Bass"));
    QCOMPARE(rig.midiDialogs.shownSources,
             (std::vector<std::string>{"Track 1 \"take 3\" (channels 2, 10): 8 notes",
                                       "Channel 2: 4 notes", "Channel 10: 4 notes"}));
    QCOMPARE(rig.midiDialogs.shownProposed, 1);  // channel 2 is the file's first after the drums
    QVERIFY(rig.dialogs.shown.empty());
    const auto& doc = rig.form->Documents().slots[0];
    QCOMPARE(doc.eventCounts[kVar1], brondel::CountSectionEvents(doc, kVar1));
    QCOMPARE(brondel::CountEvents(doc.streams[kVar1][kBass]), 9);
    // The grid shows the sounds taken: Tone 38, Volume 120 in the Bass row.
    QCOMPARE(rig.Cell(1, 2), std::string("38"));
    QCOMPARE(rig.Cell(3, 2), std::string("120"));
    QVERIFY2(rig.devices[0]->Messages().empty(), "nothing plays");

    // A section double-click plays the bass line on channel 11, a beat of 96 ticks apart.
    TClockDriver driver(clock, 20ms);
    DoubleClickRow(rig.form->Controls().mainFile.sectionList, kVar1);
    std::vector<int> bass;
    for (const auto& played : rig.devices[0]->Messages()) {
      if (played.message.bytes[0] == 0x9A && played.message.bytes[2] > 0) {
        bass.push_back(played.message.bytes[1]);
      }
    }
    QCOMPARE(bass, (std::vector<int>{40, 43, 45, 47}));

    const std::string saved = rig.dir.filePath("saved.ckf").toStdString();
    rig.dialogs.saveAnswers.push_back(saved);
    rig.form->Saveas1Click();
    const auto imported = doc.streams;
    rig.Open(0, saved);
    QVERIFY(rig.form->Documents().slots[0].streams == imported);
    QVERIFY(rig.dialogs.shown.empty());
  }

  void WhatWasLeftOutIsShownInOneMessage() {
    TMidiRig rig;
    rig.Open(0, kExamples + "waltz.z00");
    ClickRow(rig.form->Controls().mainFile.sectionList, 4);  // Fill1: one bar of 3/4, 288 ticks
    ClickRow(rig.form->Controls().mainFile.partList, kBass);
    rig.midiDialogs.fileAnswers.push_back(rig.Write("take.mid", SequencerFile()));
    rig.midiDialogs.sourceAnswer = TMidiSourceChoice{1, false};
    rig.form->ImportMidiPart1Click();
    QCOMPARE(rig.dialogs.Texts(),
             std::vector<std::string>{"Fill1:Bass: 1 note starting at the section's end (tick "
                                      "288) or later left out"});
  }

  void APartOfAnotherTimeSignatureIsImportedWithTheToolsMessage() {
    TMidiRig rig;
    rig.Open(0, kExamples + "pop_beat.ckf");
    ClickRow(rig.form->Controls().mainFile.sectionList, kVar1);
    ClickRow(rig.form->Controls().mainFile.partList, kBass);
    TSmfTrackWriter waltz;
    waltz.TimeSignature(0, 3, 2).Event(0, {0x91, 40, 100}).Event(288, {0x81, 40, 0}).End(0);
    rig.midiDialogs.fileAnswers.push_back(rig.Write("waltz.mid", SmfFile(0, 96, {waltz})));
    rig.midiDialogs.sourceAnswer = TMidiSourceChoice{0, false};
    rig.form->ImportMidiPart1Click();
    QCOMPARE(rig.dialogs.Texts(),
             std::vector<std::string>{"Var1:Bass: the source is in 3/4, the rhythm in 4/4: its "
                                      "notes keep their ticks, not their bars"});
  }

  void ANewRhythmNamesEveryFileThatCannotBeRead() {
    TMidiRig rig;
    const std::string notMidi = kExamples + "ballad.ckf";
    const std::string missing = rig.dir.filePath("none-Var1.mid").toStdString();
    rig.midiDialogs.filesAnswer = {notMidi, rig.Write("take-Var2.mid", SequencerFile()), missing};
    rig.form->NewFromMidi1Click();
    QCOMPARE(rig.dialogs.Texts().size(), std::size_t{1});
    const std::string text = rig.dialogs.Texts()[0];
    QVERIFY2(text.rfind(notMidi + ": not a Standard MIDI File", 0) == 0, text.c_str());
    QVERIFY2(text.find("\r\n" + missing + ": cannot read: ") != std::string::npos, text.c_str());
    QVERIFY(!rig.form->Documents().slots[0].Loaded());
  }

  void RefusalsAndCancelsLeaveTheDocumentAsItWas() {
    TMidiRig rig;
    rig.midiDialogs.fileAnswers.push_back(rig.Write("take.mid", SequencerFile()));
    rig.form->ImportMidiPart1Click();
    QCOMPARE(rig.dialogs.Texts(),
             std::vector<std::string>{
                 "Open a rhythm first (File > Open): the MIDI part goes into the main file."});
    rig.dialogs.shown.clear();
    rig.midiDialogs.fileAnswers.clear();

    rig.Open(0, kExamples + "pop_beat.ckf");
    const brondel::TRhythmSlot before = rig.form->Documents().slots[0];
    const auto unchanged = [&] {
      const auto& now = rig.form->Documents().slots[0];
      return now.streams == before.streams && now.header.bytes == before.header.bytes &&
             now.fileName == before.fileName;
    };
    rig.midiDialogs.fileAnswers.push_back(std::nullopt);  // cancelled
    rig.form->ImportMidiPart1Click();
    const std::string notMidi = kExamples + "ballad.ckf";
    rig.midiDialogs.fileAnswers.push_back(notMidi);
    rig.form->ImportMidiPart1Click();
    rig.midiDialogs.fileAnswers.push_back(rig.Write("take.mid", SequencerFile()));
    rig.midiDialogs.sourceAnswer = std::nullopt;  // source dialog cancelled
    rig.form->ImportMidiPart1Click();
    QVERIFY(unchanged());
    QCOMPARE(rig.dialogs.Texts(),
             std::vector<std::string>{
                 notMidi + ": not a Standard MIDI File: it does not start with \"MThd\""});

    rig.dialogs.shown.clear();
    const std::string take = rig.Write("take.mid", SequencerFile());
    rig.midiDialogs.filesAnswer = {take};
    rig.form->NewFromMidi1Click();
    QVERIFY(unchanged());
    QCOMPARE(rig.dialogs.Texts().size(), std::size_t{1});
    QVERIFY(rig.dialogs.Texts()[0].rfind(take + ": names no section", 0) == 0);
    QCOMPARE(rig.form->windowTitle().toStdString(), "Brondel 2     " + kExamples + "pop_beat.ckf");
  }

  void ANewRhythmFromExportedSectionsIsTheMainFileUnsaved() {
    TMidiRig rig;
    const brondel::TLoadOutcome ballad = brondel::ReadRhythmFile(kExamples + "ballad.ckf");
    QVERIFY(ballad.rhythm);
    const auto& original = ballad.rhythm->slot;
    for (int section = 0; section < brondel::kSectionCount; ++section) {
      std::vector<brondel::TRenderEvent> events;
      brondel::TEventBuffer buffer;
      brondel::RenderSectionEvents(original, section, events, buffer);
      const std::string name =
          "ballad-" + std::string(brondel::kSectionNames[static_cast<std::size_t>(section)]) +
          ".mid";
      rig.midiDialogs.filesAnswer.push_back(
          rig.Write(name, brondel::ExportMidiFile(original, "ballad", {buffer}).bytes));
    }
    // A rhythm of the proposed name exists already: the next free name is proposed instead.
    const std::string taken = rig.Write("ballad.ckf", {1, 2, 3});
    rig.form->NewFromMidi1Click();
    QVERIFY(rig.dialogs.shown.empty());
    const std::string proposed = rig.dir.filePath("ballad-2.ckf").toStdString();
    QCOMPARE(rig.form->windowTitle().toStdString(), "Brondel 2     " + proposed);
    QCOMPARE(rig.form->Controls().mainFile.timeSignatureEdit->text(), QString("12/8"));
    QCOMPARE(rig.form->Controls().mainFile.tempoEdit->text(), QString("88"));
    QCOMPARE(Items(rig.form->Controls().mainFile.sectionList).at(kVar1),
             QString("Var1,mesures: 4"));
    QCOMPARE(rig.Cell(3, 1), std::string("100"));  // Intro1 Drums volume
    const auto& made = rig.form->Documents().slots[0];
    for (int section = 0; section < brondel::kSectionCount; ++section) {
      QVERIFY(made.streams[static_cast<std::size_t>(section)] ==
              original.streams[static_cast<std::size_t>(section)]);
    }
    rig.dialogs.saveAnswers.push_back(proposed);
    rig.form->Saveas1Click();
    QCOMPARE(rig.dialogs.proposedSaveNames, std::vector<std::string>{proposed});
    QCOMPARE(brondel::ReadRhythmFile(taken).status, brondel::TLoadStatus::kNotRhythm);
    rig.Open(0, proposed);
    QVERIFY(rig.dialogs.shown.empty());
    QVERIFY(rig.form->Documents().slots[0].streams == original.streams);
  }
};

QTEST_MAIN(TestWindowMidi)
#include "test_window_midi.moc"
