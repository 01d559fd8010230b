// The main window at start-up, the device list, Exit and About, and opening rhythms into both
// slots: offscreen, with recording MIDI devices and scripted dialogs.
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

#include "document/rhythm_loader.h"
#include "window_rig.h"

using brondel::platform::kMidiNotReady;
using brondel::platform::MidiCall;
using brondel::platform::MidiErrorText;

class TestWindowStart : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void ControlsHaveTheirNamesCaptionsAndHints() {
    TWindowRig rig;
    struct Expected {
      const char* name;
      QRect geometry;
      const char* text;
      const char* hint;
    };
    const Expected buttons[] = {
        {"Button3", {304, 8, 75, 25}, "Stop!!!!", ""},
        {"Button4", {8, 56, 105, 25}, "Update parameters", "Upadate params and tempo"},
        {"Button5",
         {168, 344, 75, 25},
         "Play all",
         "Play a simple chord progression starting with Intro1"},
        {"Button9", {400, 208, 75, 25}, "Open", "Open a new file to import parts"},
        {"Button10",
         {176, 176, 75, 25},
         "Play all",
         "Play a simple chord progression starting with Intro1"},
        {"Button11", {272, 40, 75, 25}, "Copy", "Copy a part to main file"},
    };
    for (const auto& b : buttons) {
      auto* button = rig.form->findChild<QPushButton*>(b.name);
      QVERIFY2(button != nullptr, b.name);
      QCOMPARE(button->text(), QString(b.text));
      QCOMPARE(button->toolTip(), QString(b.hint));
      QCOMPARE(button->geometry(), b.geometry);
    }
    QVERIFY(rig.form->Controls().stopButton->font().bold());
    QCOMPARE(rig.form->Controls().stopButton->font().pointSize(), 10);
    QCOMPARE(rig.form->Controls().copyPartButton->parentWidget(),
             rig.form->Controls().importFile.fileBox);
    QCOMPARE(rig.form->Controls().importFile.playAllButton->parentWidget(),
             rig.form->Controls().importFile.fileBox);

    const Expected lists[] = {
        {"ListBox2", {16, 240, 121, 145}, "", "Doubleclick to play"},
        {"ListBox1", {152, 240, 121, 73}, "", "Doubleclick to play"},
        {"ListBox3", {376, 240, 121, 137}, "", "Dubleclick to play"},
        {"ListBox4", {520, 240, 121, 73}, "", "Doubleclick to play"},
    };
    for (const auto& l : lists) {
      auto* list = rig.form->findChild<QListWidget*>(l.name);
      QVERIFY2(list != nullptr, l.name);
      QCOMPARE(list->toolTip(), QString(l.hint));
      QCOMPARE(list->geometry(), l.geometry);
      QCOMPARE(list->count(), 0);
    }
    QCOMPARE(rig.form->findChild<QCheckBox*>("CheckBox1")->text(), QString("Change param in all"));
    QCOMPARE(rig.form->Controls().changeInAllSectionsBox->toolTip(),
             QString("Apply changes in all sections"));
    QVERIFY(rig.form->Controls().changeInAllSectionsBox->isChecked());
    QCOMPARE(rig.form->findChild<QCheckBox*>("CheckBox2")->text(), QString("Include tone param"));
    QVERIFY(!rig.form->Controls().includeToneParamsBox->isChecked());
    QCOMPARE(rig.form->findChild<QComboBox*>("ComboBox1")->toolTip(),
             QString("Select output device"));
    QVERIFY(rig.form->Controls().outputDeviceBox->isEditable());
    QCOMPARE(rig.form->Controls().mainFile.tempoEdit->toolTip(), QString("Tempo (10-250)"));
    QVERIFY(rig.form->Controls().mainFile.timeSignatureEdit->isReadOnly());
    QVERIFY(rig.form->Controls().importFile.timeSignatureEdit->isReadOnly() &&
            rig.form->Controls().importFile.tempoEdit->isReadOnly());
    QCOMPARE(rig.form->findChild<QLabel*>("Label7")->text(), QString("Brondel v2.1"));
    QCOMPARE(rig.form->findChild<QLabel*>("Label1")->text(), QString("Output Device"));
    QCOMPARE(rig.form->Controls().mainFile.fileBox->title(), QString("Nofile"));
    QCOMPARE(rig.form->Controls().importFile.fileBox->title(), QString("Nofile"));
    QCOMPARE(rig.form->Controls().mainFile.fileBox->palette().color(QPalette::Window),
             QColor(0xC0, 0xDC, 0xC0));
    QCOMPARE(rig.form->windowTitle(), QString("Brondel 2"));
    QCOMPARE(rig.form->size(), QSize(739, 452));
    QCOMPARE(rig.form->Controls().settingsGrid->columnCount(), 7);
    QCOMPARE(rig.form->Controls().settingsGrid->rowCount(), 6);
    QCOMPARE(rig.form->Controls().settingsGrid->columnWidth(0), 70);
    QCOMPARE(rig.form->Controls().settingsGrid->columnWidth(1), 40);
    QCOMPARE(rig.form->Controls().settingsGrid->rowHeight(1), 16);
    // Headings are fixed; value cells are editable.
    QVERIFY(!(rig.form->Controls().settingsGrid->item(0, 3)->flags() & Qt::ItemIsEditable));
    QVERIFY(!(rig.form->Controls().settingsGrid->item(2, 0)->flags() & Qt::ItemIsEditable));
    QVERIFY(rig.form->Controls().settingsGrid->item(2, 3)->flags() & Qt::ItemIsEditable);
    QVERIFY(rig.dialogs.shown.empty());
  }

  // The names the code reads are the controls of their object names, each area's its own.
  void EachControlTheCodeReadsIsTheControlOfItsName() {
    TWindowRig rig;
    const brondel::app::TMainWindowControls& c = rig.form->Controls();
    const std::pair<const QObject*, const char*> named[] = {
        {c.outputDeviceBox, "ComboBox1"},
        {c.stopButton, "Button3"},
        {c.updateParametersButton, "Button4"},
        {c.changeInAllSectionsBox, "CheckBox1"},
        {c.settingsGrid, "StringGrid1"},
        {c.openImportButton, "Button9"},
        {c.includeToneParamsBox, "CheckBox2"},
        {c.copyPartButton, "Button11"},
        {c.mainFile.fileBox, "GroupBox2"},
        {c.mainFile.tempoEdit, "LabeledEdit2"},
        {c.mainFile.timeSignatureEdit, "LabeledEdit1"},
        {c.mainFile.sectionList, "ListBox2"},
        {c.mainFile.partList, "ListBox1"},
        {c.mainFile.playAllButton, "Button5"},
        {c.importFile.fileBox, "GroupBox1"},
        {c.importFile.tempoEdit, "Edit4"},
        {c.importFile.timeSignatureEdit, "Edit3"},
        {c.importFile.sectionList, "ListBox3"},
        {c.importFile.partList, "ListBox4"},
        {c.importFile.playAllButton, "Button10"},
        {c.openAction, "Open1"},
        {c.saveAsAction, "Saveas1"},
        {c.newFromMidiAction, "NewFromMidi1"},
        {c.importMidiPartAction, "ImportMidiPart1"},
        {c.exitAction, "Exit1"},
        {c.viewMenu, "View1"},
        {c.patternAction, "Pattern1"},
        {c.aboutAction, "About1"},
    };
    for (const auto& [control, name] : named) {
      QVERIFY2(control != nullptr, name);
      QCOMPARE(control->objectName(), QString(name));
      QCOMPARE(rig.form->findChild<QObject*>(name), control);
    }
    QCOMPARE(&c.Slot(0), &c.mainFile);
    QCOMPARE(&c.Slot(1), &c.importFile);
  }

  void MenuHasFileAndAbout() {
    TWindowRig rig;
    QCOMPARE(rig.form->Controls().openAction->text(), QString("Open"));
    QCOMPARE(rig.form->Controls().saveAsAction->text(), QString("Save as"));
    QCOMPARE(rig.form->Controls().exitAction->text(), QString("Exit"));
    QCOMPARE(rig.form->Controls().aboutAction->text(), QString("About"));
    rig.form->Controls().aboutAction->trigger();
    QCOMPARE(rig.dialogs.shown.size(), std::size_t{1});
    QVERIFY(
        rig.dialogs.shown[0].text.starts_with("Brondel v2.1\r\nFor Casio ctk/wk keyboards\r\n"));
    QVERIFY(rig.dialogs.shown[0].text.size() > 45);  // credit and contact lines follow
  }

  void MenuCommandsRunFromTheirShortcuts() {
    TWindowRig rig(1);
    QCOMPARE(rig.form->Controls().openAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    QCOMPARE(rig.form->Controls().saveAsAction->shortcut(),
             QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    QCOMPARE(rig.form->Controls().exitAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    rig.form->show();
    QApplication::setActiveWindow(rig.form.get());
    QVERIFY(QTest::qWaitForWindowActive(rig.form.get()));

    const std::string path = rig.Write("main.ckf", SmallRhythm(120).CkfFile());
    rig.dialogs.openAnswers.push_back(path);
    QTest::keyClick(rig.form.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(rig.dialogs.openDialogs, 1);
    QCOMPARE(rig.form->Documents().slots[0].fileName, path);

    const std::string saved = (rig.dir.path() + "/saved.ckf").toStdString();
    rig.dialogs.saveAnswers.push_back(saved);
    QTest::keyClick(rig.form.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(rig.dialogs.proposedSaveNames, std::vector<std::string>{path});
    QVERIFY(QFileInfo(QString::fromStdString(saved)).size() > 0);

    QTest::keyClick(rig.form.get(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!rig.form->isVisible());
    QVERIFY(!rig.devices[0]->IsOpen());
    QVERIFY(rig.form->Playback().StopFlag());
    QVERIFY(rig.dialogs.shown.empty());
  }

  void AtItsSmallestTheWindowStillShowsEveryControl() {
    TWindowRig rig;
    rig.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));
    QCOMPARE(rig.form->size(), QSize(739, 452));
    rig.form->resize(100, 100);
    QCOMPARE(rig.form->size(), rig.form->minimumSize());
    QVERIFY(rig.form->minimumWidth() > 100 && rig.form->minimumHeight() > 100);
    const QWidget* client = rig.form->centralWidget();
    const QRect visible = client->rect();
    QCOMPARE(client->mapTo(rig.form.get(), QPoint(0, 0)).y(), rig.form->menuBar()->height());
    for (const QWidget* control : client->findChildren<QWidget*>()) {
      if (control->isWindow() || !control->isVisibleTo(client)) continue;
      const QRect area(control->mapTo(client, QPoint(0, 0)), control->size());
      QVERIFY2(visible.contains(area), qPrintable(control->objectName()));
    }
  }

  void TwoDevicesAreListedAndTheFirstIsOpened() {
    TWindowRig rig(2);
    QCOMPARE(rig.form->Controls().outputDeviceBox->count(), 2);
    QCOMPARE(rig.form->Controls().outputDeviceBox->itemText(0), QString("Recorder A"));
    QCOMPARE(rig.form->Controls().outputDeviceBox->itemText(1), QString("Recorder B"));
    QCOMPARE(rig.form->Controls().outputDeviceBox->currentIndex(), 0);
    QVERIFY(rig.devices[0]->IsOpen());
    QVERIFY(!rig.devices[1]->IsOpen());
    QVERIFY(rig.dialogs.shown.empty());
  }

  void NoDeviceLeavesTheListEmptyAndReportsTheOpenOnce() {
    TWindowRig rig(0);
    QCOMPARE(rig.form->Controls().outputDeviceBox->count(), 0);
    QCOMPARE(rig.form->Controls().outputDeviceBox->currentIndex(), -1);
    QCOMPARE(
        rig.dialogs.Texts(),
        std::vector<std::string>{"OPEN " + MidiErrorText(brondel::platform::kMidiBadDeviceId)});
    // With no stream, opening a file fails at its stop: the message, and no dialog.
    rig.form->Open1Click();
    QCOMPARE(rig.dialogs.openDialogs, 0);
    QCOMPARE(rig.dialogs.shown.size(), std::size_t{2});
    QVERIFY(rig.dialogs.shown[1].text.starts_with("OPEN "));
  }

  void ChangingTheDeviceClosesAndReopens() {
    TWindowRig rig(2);
    rig.form->Controls().outputDeviceBox->setCurrentIndex(1);
    rig.form->ComboBox1Change();
    QVERIFY(!rig.devices[0]->IsOpen());
    QVERIFY(rig.devices[1]->IsOpen());
    QCOMPARE(rig.form->Playback().DeviceId(), 1u);
    QVERIFY(rig.dialogs.shown.empty());
  }

  void AFailingOpenOnTheNewDeviceIsReported() {
    TWindowRig rig(2);
    rig.devices[1]->FailCall(MidiCall::kOpen, kMidiNotReady);
    rig.form->Controls().outputDeviceBox->setCurrentIndex(1);
    rig.form->ComboBox1Change();
    QCOMPARE(rig.dialogs.Texts(), std::vector<std::string>{"OPEN " + MidiErrorText(kMidiNotReady)});
  }

  void ExitClosesTheStreamAndTheWindow() {
    TWindowRig rig(1);
    rig.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));
    rig.form->Exit1Click();
    QVERIFY(!rig.devices[0]->IsOpen());
    QVERIFY(rig.form->Playback().StopFlag());
    QVERIFY(!rig.form->isVisible());
    QVERIFY(rig.dialogs.shown.empty());
  }

  void CommandsBeforeAnyOpenChangeNothing() {
    TWindowRig rig(1);
    rig.form->Button4Click();
    rig.form->Button11Click();
    rig.form->Button5Click();
    rig.form->Button10Click();
    rig.form->ListBox2DblClick();
    rig.form->ListBox3DblClick();
    QVERIFY(rig.dialogs.shown.empty());
    QVERIFY(rig.devices[0]->Messages().empty());
    QCOMPARE(rig.form->windowTitle(), QString("Brondel 2"));
  }

  // --- Opening ---

  void OpenIntoTheMainSlotShowsTheRhythm() {
    TWindowRig rig;
    const std::string path = rig.Write("main.ckf", SmallRhythm(120, 0x22).CkfFile());
    rig.Open(0, path);
    QVERIFY(rig.dialogs.shown.empty());
    QCOMPARE(rig.form->windowTitle(), QString::fromStdString("Brondel 2     " + path));
    QCOMPARE(rig.form->Controls().mainFile.fileBox->title(), QString::fromStdString(path));
    QCOMPARE(rig.form->Controls().importFile.fileBox->title(), QString("Nofile"));
    QCOMPARE(rig.form->Controls().mainFile.tempoEdit->text(), QString("120"));
    QCOMPARE(rig.form->Controls().mainFile.timeSignatureEdit->text(), QString("4/4"));
    const QStringList sections = Items(rig.form->Controls().mainFile.sectionList);
    QCOMPARE(sections.size(), 10);
    QCOMPARE(sections[0], QString("Intro1,mesures: 2"));
    QCOMPARE(sections[2], QString("Var1,mesures: 4"));
    QCOMPARE(sections[9], QString("End2,mesures: 2"));
    QCOMPARE(Items(rig.form->Controls().mainFile.partList),
             QStringList({"Intro1:Drums", "Intro1:Bass", "Intro1:Chord1", "Intro1:Chord2",
                          "Intro1:Chord3"}));
    QCOMPARE(rig.form->Controls().mainFile.sectionList->currentRow(), 0);
    QCOMPARE(rig.form->Controls().mainFile.partList->currentRow(), 0);
    QCOMPARE(rig.form->Controls().importFile.sectionList->currentRow(),
             -1);  // empty lists stay without selection
    QCOMPARE(rig.Cell(0, 0), std::string("Intro1"));
    QCOMPARE(rig.Cell(1, 0), std::string("Tone"));
    QCOMPARE(rig.Cell(4, 0), std::string("Pane"));
    QCOMPARE(rig.Cell(0, 5), std::string("Chord3"));
    QCOMPARE(rig.Cell(1, 2), std::string("1"));    // Intro1 Bass tone
    QCOMPARE(rig.Cell(3, 5), std::string("104"));  // Intro1 Chord3 volume
    const auto& doc = rig.form->Documents().slots[0];
    QCOMPARE(doc.eventCounts[0], 15);  // 2 notes + end record in each of five parts
  }

  void OpenIntoTheImportSlotLeavesCaptionAndGridAlone() {
    TWindowRig rig;
    const std::string mainPath = rig.Write("main.ckf", SmallRhythm(100).CkfFile());
    rig.Open(0, mainPath);
    ClickRow(rig.form->Controls().mainFile.sectionList, 5);        // the grid now shows Fill2
    rig.form->Controls().settingsGrid->item(1, 1)->setText("77");  // typed, not applied
    const std::string importPath = rig.Write("import.z00", SmallRhythm(90, 0x1A).Z00File());
    rig.Open(1, importPath);
    QVERIFY(rig.dialogs.shown.empty());
    QCOMPARE(rig.form->windowTitle(), QString::fromStdString("Brondel 2     " + mainPath));
    QCOMPARE(rig.form->Controls().importFile.fileBox->title(), QString::fromStdString(importPath));
    QCOMPARE(rig.form->Controls().importFile.tempoEdit->text(), QString("90"));
    QCOMPARE(rig.form->Controls().importFile.timeSignatureEdit->text(), QString("3/4"));
    QCOMPARE(rig.Cell(0, 0), std::string("Fill2"));
    QCOMPARE(rig.Cell(1, 1), std::string("77"));
    // Item 0 is selected in all four lists; the main part list is not refilled.
    for (QListWidget* list :
         {rig.form->Controls().mainFile.partList, rig.form->Controls().mainFile.sectionList,
          rig.form->Controls().importFile.sectionList, rig.form->Controls().importFile.partList}) {
      QCOMPARE(list->currentRow(), 0);
    }
    QCOMPARE(rig.form->Controls().mainFile.partList->item(0)->text(), QString("Fill2:Drums"));
    QCOMPARE(rig.form->Controls().importFile.partList->item(0)->text(), QString("Intro1:Drums"));
  }

  void SelectingASectionRefillsItsPartList() {
    TWindowRig rig;
    rig.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));
    rig.Open(0, rig.Write("main.ckf", SmallRhythm().CkfFile()));
    rig.Open(1, rig.Write("import.ckf", SmallRhythm().CkfFile()));
    ClickRow(rig.form->Controls().mainFile.sectionList, 5);
    QCOMPARE(
        Items(rig.form->Controls().mainFile.partList),
        QStringList({"Fill2:Drums", "Fill2:Bass", "Fill2:Chord1", "Fill2:Chord2", "Fill2:Chord3"}));
    QCOMPARE(rig.form->Controls().mainFile.partList->currentRow(), 0);
    QCOMPARE(rig.Cell(0, 0), std::string("Fill2"));
    QCOMPARE(rig.Cell(1, 3), std::string("52"));  // Fill2 Chord1 tone: 10 * 5 + 2

    ClickRow(rig.form->Controls().importFile.sectionList, 8);
    QCOMPARE(rig.form->Controls().importFile.partList->item(4)->text(), QString("End1:Chord3"));
    QCOMPARE(rig.form->Controls().importFile.partList->currentRow(), 0);
    QCOMPARE(rig.Cell(0, 0), std::string("Fill2"));  // the grid belongs to the main file

    // The keyboard selects too.
    rig.form->Controls().mainFile.sectionList->setFocus();
    QTest::keyClick(rig.form->Controls().mainFile.sectionList, Qt::Key_Down);
    QCOMPARE(rig.Cell(0, 0), std::string("Fill3"));
    QCOMPARE(rig.form->Controls().mainFile.partList->item(0)->text(), QString("Fill3:Drums"));
  }

  void AFailingStreamStopEndsTheOpenBeforeAnyDialog() {
    TWindowRig rig;
    rig.devices[0]->FailCall(MidiCall::kStop, kMidiNotReady);
    rig.dialogs.openAnswers.push_back(rig.Write("main.ckf", SmallRhythm().CkfFile()));
    rig.form->Open1Click();
    QCOMPARE(rig.dialogs.openDialogs, 0);
    QCOMPARE(rig.dialogs.Texts(), std::vector<std::string>{"OPEN " + MidiErrorText(kMidiNotReady)});
    QVERIFY(!rig.form->Documents().slots[0].Loaded());
  }

  void ACancelledDialogChangesNothing() {
    TWindowRig rig;
    const std::string path = rig.Write("main.ckf", SmallRhythm().CkfFile());
    rig.Open(0, path);
    rig.dialogs.openAnswers.push_back(std::nullopt);
    rig.form->Open1Click();
    QCOMPARE(rig.dialogs.openDialogs, 2);
    QVERIFY(rig.dialogs.shown.empty());
    QCOMPARE(rig.form->Documents().slots[0].fileName, path);
    QCOMPARE(rig.form->Controls().mainFile.sectionList->count(), 10);
  }

  void ARefusedFileKeepsThePreviousDocument() {
    TWindowRig rig;
    const std::string good = rig.Write("good.ckf", SmallRhythm(100).CkfFile());
    rig.Open(0, good);
    auto bytes = SmallRhythm(50).CkfFile();
    bytes[23] = 12;
    rig.Open(0, rig.Write("bad.ckf", bytes));
    QCOMPARE(rig.dialogs.Texts(), std::vector<std::string>{brondel::kNotRhythmMessage});
    QCOMPARE(rig.form->Documents().slots[0].fileName, good);
    QCOMPARE(rig.form->Controls().mainFile.tempoEdit->text(), QString("100"));
    QCOMPARE(rig.form->windowTitle(), QString::fromStdString("Brondel 2     " + good));

    rig.Open(0, (rig.dir.path() + "/missing.ckf").toStdString());
    QCOMPARE(rig.dialogs.shown.size(), std::size_t{2});
    QCOMPARE(rig.dialogs.shown[1].kind, TShownBox::Kind::kError);
    QVERIFY(rig.dialogs.shown[1].text.starts_with(
        "Cannot open file \"" + rig.dir.path().toStdString() + "/missing.ckf\". "));
    QCOMPARE(rig.form->Documents().slots[0].fileName, good);
  }

  void BadFillersAreReportedOncePerPartAndStillLoad() {
    TWindowRig rig;
    auto rhythm = SmallRhythm();
    auto damaged = brondel::TPartBuilder().Note(0, 40, 90).Note(4, 40, 0).End();
    QCOMPARE(damaged.size(), std::size_t{12});  // three records and the filler
    damaged[damaged.size() - 2] = 0x00;         // the filler's byte 1 is no wait marker
    rhythm.Part(2, 1, damaged).Part(4, 3, damaged);
    rig.Open(0, rig.Write("fillers.ckf", rhythm.CkfFile()));
    QCOMPARE(rig.dialogs.Texts(), (std::vector<std::string>{"Error in file", "Error in file"}));
    QVERIFY(rig.form->Documents().slots[0].Loaded());
    QCOMPARE(rig.form->Documents().slots[0].eventCounts[2], 4 * 3 + 4);  // the bad filler counts
  }
};

QTEST_MAIN(TestWindowStart)
#include "test_window_start.moc"
