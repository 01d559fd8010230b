// Editing and saving through the window: "Update parameters", "Copy" and "Save as", with the
// grid, the lists and the scripted dialogs as a user meets them.
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QtTest>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "document/copy_part.h"
#include "document/rhythm_loader.h"
#include "document/save_file.h"
#include "platform/file_io.h"
#include "tests/support/child_process.h"
#include "window_rig.h"

using brondel::platform::MidiCall;

namespace {

const std::string kExamples = BRONDEL_SOURCE_DIR "/examples/";

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray data = file.readAll();
  return {data.begin(), data.end()};
}

}  // namespace

class TestWindowEdit : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void TempoIsStoredOnlyInsideElevenTo249() {
    TWindowRig rig(1);
    rig.Open(0, rig.Write("main.ckf", SmallRhythm(100).CkfFile()));
    const auto& header = rig.form->Documents().slots[0].header;
    for (const char* accepted : {"11", "249"}) {
      rig.form->Controls().mainFile.tempoEdit->setText(accepted);
      rig.form->Button4Click();
      QCOMPARE(QString::number(header.Tempo()), QString(accepted));
      QCOMPARE(rig.form->Controls().mainFile.tempoEdit->text(), QString(accepted));
    }
    for (const char* refused : {"10", "250", "300", "-5"}) {
      rig.form->Controls().mainFile.tempoEdit->setText(refused);
      rig.form->Button4Click();
      QCOMPARE(header.Tempo(), std::uint8_t{249});
      QCOMPARE(rig.form->Controls().mainFile.tempoEdit->text(), QString("249"));
    }
    QVERIFY(rig.dialogs.shown.empty());
  }

  void ATempoThatIsNoNumberEndsTheCommandBeforeTheDivision() {
    TWindowRig rig(1);
    rig.Open(0, rig.Write("main.ckf", SmallRhythm(100).CkfFile()));
    // A division that is set would be reported; the command must end before it.
    rig.devices[0]->FailCall(MidiCall::kTimeDivision, brondel::platform::kMidiNotReady);
    rig.form->Controls().mainFile.tempoEdit->setText("abc");
    rig.form->Controls().settingsGrid->item(1, 1)->setText("99");
    rig.form->Button4Click();
    QCOMPARE(rig.dialogs.shown.size(), std::size_t{1});
    QCOMPARE(rig.dialogs.shown[0].kind, TShownBox::Kind::kError);
    QCOMPARE(rig.dialogs.shown[0].text, std::string("'abc' is not a valid integer value"));
    QCOMPARE(rig.form->Documents().slots[0].header.SettingByte(0, 0, 0), std::uint8_t{0});
  }

  void CellsBelow128AreStoredAndOthersReset() {
    TWindowRig rig(1);
    rig.Open(0, rig.Write("main.ckf", SmallRhythm().CkfFile()));
    rig.form->Controls().changeInAllSectionsBox->setChecked(false);
    ClickRow(rig.form->Controls().mainFile.sectionList, 3);         // Var2
    rig.form->Controls().settingsGrid->item(2, 3)->setText("127");  // Bass volume
    rig.form->Controls().settingsGrid->item(3, 4)->setText("128");  // Chord1 pan
    rig.form->Controls().settingsGrid->item(4, 5)->setText("-1");   // Chord2 reverb
    rig.form->Button4Click();
    const auto& header = rig.form->Documents().slots[0].header;
    QCOMPARE(header.SettingByte(3, 1, 2), std::uint8_t{127});
    QCOMPARE(header.SettingByte(3, 2, 3), std::uint8_t{64});
    QCOMPARE(rig.Cell(4, 3), std::string("64"));
    QCOMPARE(header.SettingByte(3, 3, 4), std::uint8_t{40});
    QCOMPARE(rig.Cell(5, 4), std::string("40"));
    QCOMPARE(header.SettingByte(2, 1, 2), std::uint8_t{101});  // other sections untouched
    QCOMPARE(header.SettingByte(4, 1, 2), std::uint8_t{101});
    QVERIFY(rig.dialogs.shown.empty());
  }

  void ChangeInAllSpreadsTheGridAndResetsFromIntro1() {
    TWindowRig rig(1);
    auto rhythm = SmallRhythm();
    rig.Open(0, rig.Write("main.ckf", rhythm.CkfFile()));
    ClickRow(rig.form->Controls().mainFile.sectionList, 5);         // the grid shows Fill2
    rig.form->Controls().settingsGrid->item(1, 1)->setText("200");  // Drums tone: refused
    rig.form->Controls().settingsGrid->item(5, 6)->setText("7");    // Chord3 chorus
    QVERIFY(rig.form->Controls().changeInAllSectionsBox->isChecked());
    rig.form->Button4Click();
    const auto& header = rig.form->Documents().slots[0].header;
    QCOMPARE(rig.Cell(1, 1), std::string("0"));  // Intro1's drums tone
    for (int s = 0; s < brondel::kSectionCount; ++s) {
      QCOMPARE(header.SettingByte(s, 0, 0), std::uint8_t{0});
      QCOMPARE(header.SettingByte(s, 4, 5), std::uint8_t{7});
      QCOMPARE(header.SettingByte(s, 2, 0), std::uint8_t{52});  // Fill2's Chord1 tone everywhere
    }
  }

  void AfterAnImportOpenTheGridGoesIntoIntro1() {
    TWindowRig rig(1);
    rig.Open(0, rig.Write("main.ckf", SmallRhythm().CkfFile()));
    rig.form->Controls().changeInAllSectionsBox->setChecked(false);
    ClickRow(rig.form->Controls().mainFile.sectionList, 6);  // the grid shows Fill3 (tones 60..64)
    rig.Open(1, rig.Write("import.ckf", SmallRhythm().CkfFile()));
    QCOMPARE(rig.form->Controls().mainFile.sectionList->currentRow(), 0);
    rig.form->Button4Click();
    const auto& header = rig.form->Documents().slots[0].header;
    QCOMPARE(header.SettingByte(0, 3, 0), std::uint8_t{63});  // Fill3's values went into Intro1
    QCOMPARE(header.SettingByte(6, 3, 0), std::uint8_t{63});
    QCOMPARE(header.SettingByte(1, 3, 0), std::uint8_t{13});
  }

  void CopyReplacesThePartAndItsSettings() {
    TWindowRig rig(1);
    auto source = SmallRhythm();
    const auto longPart = brondel::TPartBuilder()
                              .Note(0, 60, 90)
                              .Wait(300)
                              .Note(0, 60, 0)
                              .Note(4, 62, 80)
                              .Note(8, 62, 0)
                              .End(1);
    source.Part(4, 0, longPart).Settings(4, 0, brondel::PartSettings(33, 1, 90, 20, 10, 5));
    source.Header().bytes[brondel::TRhythmHeader::SettingOffset(4, 0, 6)] = 0xAB;
    rig.Open(0, rig.Write("main.ckf", SmallRhythm().CkfFile()));
    rig.Open(1, rig.Write("import.ckf", source.CkfFile()));
    ClickRow(rig.form->Controls().importFile.sectionList, 4);  // import Fill1 (3 bars)
    rig.form->Controls().importFile.partList->setCurrentRow(0);
    ClickRow(rig.form->Controls().mainFile.sectionList, 7);  // main Fill4 (3 bars)
    rig.form->Controls().mainFile.partList->setCurrentRow(2);
    rig.form->Controls().includeToneParamsBox->setChecked(true);
    rig.form->Button11Click();
    QVERIFY(rig.dialogs.shown.empty());
    const auto& main = rig.form->Documents().slots[0];
    QCOMPARE(main.streams[7][2], longPart);
    QCOMPARE(main.header.Settings(7, 2), source.Header().Settings(4, 0));
    QCOMPARE(rig.Cell(1, 3), std::string("33"));
    QCOMPARE(rig.Cell(0, 0), std::string("Fill4"));
    QCOMPARE(main.eventCounts[7], brondel::CountSectionEvents(main, 7));
  }

  void CopyRefusesRhythmsThatDoNotMatch() {
    TWindowRig rig(1);
    rig.Open(0, rig.Write("main.ckf", SmallRhythm().CkfFile()));
    rig.Open(1, rig.Write("waltz.ckf", SmallRhythm(100, 0x1A).CkfFile()));
    const auto before = rig.form->Documents().slots[0].streams;
    rig.form->Button11Click();
    rig.Open(1, rig.Write("import.ckf", SmallRhythm().CkfFile()));
    rig.form->Controls().importFile.sectionList->setCurrentRow(
        2);  // Var1: 4 bars; main Intro1: 2 bars
    rig.form->Button11Click();
    QCOMPARE(rig.dialogs.Texts(), (std::vector<std::string>{brondel::kBarsDifferMessage,
                                                            brondel::kMesuresDifferMessage}));
    QVERIFY(rig.form->Documents().slots[0].streams == before);
  }

  void CopyWithoutSelectedPartsSaysWhichToSelect() {
    TWindowRig rig(1);
    rig.Open(0, rig.Write("main.ckf", SmallRhythm().CkfFile()));
    rig.Open(1, rig.Write("import.ckf", SmallRhythm().CkfFile()));
    rig.devices[0]->FailCall(MidiCall::kPrepare, brondel::platform::kMidiNotReady);
    rig.form->Button10Click();  // Play all leaves the import part list without a selection
    rig.dialogs.shown.clear();
    const auto before = rig.form->Documents().slots[0].streams;
    QCOMPARE(rig.form->Controls().importFile.partList->currentRow(), -1);
    rig.form->Button11Click();
    QCOMPARE(rig.dialogs.Texts(), std::vector<std::string>{brondel::kSelectSourceMessage});
    QVERIFY(rig.form->Documents().slots[0].streams == before);
  }

  void SaveWritesWhatOpensAgain() {
    TWindowRig rig(1);
    // The name proposed is the opened path, a .z00 file's with the .ckf extension.
    const std::vector<std::pair<std::string, std::string>> examples{
        {"pop_beat.ckf", "pop_beat.ckf"}, {"waltz.z00", "waltz.ckf"}, {"ballad.ckf", "ballad.ckf"}};
    for (const auto& [example, proposed] : examples) {
      rig.Open(0, kExamples + example);
      const std::string target =
          rig.dir.filePath(QString::fromStdString(example) + ".saved.ckf").toStdString();
      rig.dialogs.saveAnswers.push_back(target);
      rig.form->Saveas1Click();
      QCOMPARE(rig.dialogs.proposedSaveNames.back(), kExamples + proposed);
      const auto saved = ReadBytes(target);
      QCOMPARE(saved[23], std::uint8_t{11});
      auto reread = brondel::ReadRhythmFile(target);
      QVERIFY(reread.rhythm.has_value());
      const auto& main = rig.form->Documents().slots[0];
      QVERIFY(reread.rhythm->slot.streams == main.streams);
      QCOMPARE(reread.rhythm->slot.header.bytes, main.header.bytes);
      QCOMPARE(reread.rhythm->slot.eventCounts, main.eventCounts);
      QCOMPARE(saved.size(), std::size_t{604} + brondel::TotalPartDataSize(main.streams));
    }
    QVERIFY(rig.dialogs.shown.empty());
  }

  void ACancelledOrFailedSaveWritesNothing() {
    TWindowRig rig(1);
    const std::string path = rig.Write("main.ckf", SmallRhythm().CkfFile());
    rig.Open(0, path);
    const auto original = ReadBytes(path);
    rig.dialogs.saveAnswers.push_back(std::nullopt);
    rig.form->Saveas1Click();
    QCOMPARE(rig.dialogs.Texts(), std::vector<std::string>{"Error writting file"});

    const std::string noFolder = rig.dir.filePath("missing/out.ckf").toStdString();
    rig.dialogs.saveAnswers.push_back(noFolder);
    rig.form->Saveas1Click();
    QCOMPARE(rig.dialogs.shown.size(), std::size_t{2});
    QCOMPARE(rig.dialogs.shown[1].kind, TShownBox::Kind::kError);
    QVERIFY(rig.dialogs.shown[1].text.starts_with("Cannot create file \"" + noFolder + "\". "));
    QVERIFY(!QFile::exists(QString::fromStdString(noFolder)));

    // A target that cannot be replaced (here a folder) stays as it was.
    QVERIFY(QDir(rig.dir.path()).mkdir("folder.ckf"));
    rig.dialogs.saveAnswers.push_back(rig.dir.filePath("folder.ckf").toStdString());
    rig.form->Saveas1Click();
    QCOMPARE(rig.dialogs.shown.size(), std::size_t{3});
    QVERIFY(QFileInfo(rig.dir.filePath("folder.ckf")).isDir());
    QCOMPARE(ReadBytes(path), original);
  }

  // Save as writes the .ckf layout: a .z00 main file is proposed under its .ckf name, and a
  // target named exactly ".z00" is refused, since it would open in the other layout.
  void AZ00MainFileIsProposedAndSavedUnderACkfName() {
    TWindowRig rig(1);
    const std::vector<std::uint8_t> original = ReadBytes(kExamples + "waltz.z00");
    const std::string waltz = rig.Write("waltz.z00", original);
    rig.Open(0, waltz);
    const std::string proposed = rig.dir.filePath("waltz.ckf").toStdString();
    rig.dialogs.saveAnswers.push_back(proposed);
    rig.form->Saveas1Click();
    QCOMPARE(rig.dialogs.proposedSaveNames.back(), proposed);
    QVERIFY(rig.dialogs.shown.empty());
    const auto saved = brondel::ReadRhythmFile(proposed);
    QVERIFY(saved.rhythm.has_value());
    QVERIFY(saved.rhythm->slot.streams == rig.form->Documents().slots[0].streams);

    rig.dialogs.saveAnswers.push_back(waltz);
    rig.form->Saveas1Click();
    QCOMPARE(rig.dialogs.Texts(), std::vector<std::string>{brondel::kZ00TargetRefusal});
    QCOMPARE(ReadBytes(waltz), original);
    QCOMPARE(brondel::ReadRhythmFile(waltz).status, brondel::TLoadStatus::kLoaded);

    // Only the exact extension selects the .z00 layout: capitals open as .ckf and are saved.
    const std::string capitals = rig.dir.filePath("WALTZ.Z00").toStdString();
    rig.dialogs.saveAnswers.push_back(capitals);
    rig.form->Saveas1Click();
    QCOMPARE(rig.dialogs.shown.size(), std::size_t{1});
    QCOMPARE(brondel::ReadRhythmFile(capitals).status, brondel::TLoadStatus::kLoaded);
  }

  void ATargetThatIsNoRegularFileIsRefusedAndStays() {
    TWindowRig rig(1);
    rig.Open(0, kExamples + "pop_beat.ckf");
    const std::string pipe = rig.dir.filePath("pipe.ckf").toStdString();
    QCOMPARE(::mkfifo(pipe.c_str(), 0644), 0);
    rig.dialogs.saveAnswers.push_back(pipe);
    rig.form->Saveas1Click();
    QCOMPARE(rig.dialogs.shown.size(), std::size_t{1});
    QCOMPARE(rig.dialogs.shown[0].kind, TShownBox::Kind::kError);
    QCOMPARE(rig.dialogs.shown[0].text,
             "Cannot create file \"" + pipe + "\". " + brondel::platform::kNotRegularFileReason);
    QVERIFY(std::filesystem::is_fifo(pipe));
  }

  // A rhythm of root's that no one else may write, in a folder everyone may write: Save as by
  // another user is refused as a plain write would be, and the file stays. The save runs in a
  // child process as user nobody (as the test's own user, who may not write a file of mode 444
  // either, when the tests do not run as root).
  void AFileTheUserMayNotWriteIsRefusedAndStays() {
    TWindowRig rig(1);
    rig.Open(0, kExamples + "pop_beat.ckf");
    std::filesystem::permissions(rig.dir.path().toStdString(), std::filesystem::perms(0777));
    const std::vector<std::uint8_t> old{'o', 'l', 'd'};
    const std::string target = rig.Write("old.ckf", old);
    std::filesystem::permissions(target, std::filesystem::perms(0444));
    brondel::test::TChildLimits limits;
    if (::geteuid() == 0) limits.user = brondel::test::kNobody;
    const auto run = brondel::test::RunInChild(
        [&] {
          rig.dialogs.saveAnswers.push_back(target);
          rig.form->Saveas1Click();
          for (const std::string& text : rig.dialogs.Texts()) std::cerr << text;
          return 0;
        },
        limits);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, "Cannot create file \"" + target + "\". " + std::strerror(EACCES));
    QCOMPARE(ReadBytes(target), old);
    QCOMPARE(QDir(rig.dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
  }

  void SaveBeforeAnyOpenWritesAnEmptyRhythm() {
    TWindowRig rig(1);
    const std::string target = rig.dir.filePath("empty.ckf").toStdString();
    rig.dialogs.saveAnswers.push_back(target);
    rig.form->Saveas1Click();
    QCOMPARE(rig.dialogs.proposedSaveNames.back(), std::string());
    const auto saved = ReadBytes(target);
    QCOMPARE(saved.size(), std::size_t{604});
    QCOMPARE(saved[18], std::uint8_t{0x02});
    QCOMPARE(saved[19], std::uint8_t{0x1C});
    QCOMPARE(saved[64], std::uint8_t{0x1C});
    QCOMPARE(saved[65], std::uint8_t{0x02});
    QCOMPARE(saved[602], std::uint8_t{0xFF});
    QCOMPARE(saved[603], std::uint8_t{0xFF});
  }
};

QTEST_MAIN(TestWindowEdit)
#include "test_window_edit.moc"
