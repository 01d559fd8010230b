// Which handler each control and menu command of the main window runs.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QListWidget>
#include <QPushButton>

#include "app/ckf.h"
#include "app/pattern_window.h"
#include "app/play_along_window.h"

namespace brondel::app {

void TForm1::ConnectCommands() {
  const TMainWindowControls& c = controls_;
  connect(c.openAction, &QAction::triggered, this, [this] { Open1Click(); });
  connect(c.saveAsAction, &QAction::triggered, this, [this] { Saveas1Click(); });
  connect(c.newFromMidiAction, &QAction::triggered, this, [this] { NewFromMidi1Click(); });
  connect(c.importMidiPartAction, &QAction::triggered, this, [this] { ImportMidiPart1Click(); });
  connect(c.exitAction, &QAction::triggered, this, [this] { Exit1Click(); });
  connect(c.undoAction, &QAction::triggered, this, [this] { Undo1Click(); });
  connect(c.redoAction, &QAction::triggered, this, [this] { Redo1Click(); });
  connect(c.patternAction, &QAction::triggered, this, [this] { Pattern1Click(); });
  connect(c.playAlongAction, &QAction::triggered, this, [this] { PlayAlong1Click(); });
  connect(c.aboutAction, &QAction::triggered, this, [this] { About1Click(); });

  connect(c.outputDeviceBox, &QComboBox::activated, this, [this] { ComboBox1Change(); });
  connect(c.stopButton, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(c.updateParametersButton, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(c.mainFile.playAllButton, &QPushButton::clicked, this, [this] { Button5Click(); });
  connect(c.openImportButton, &QPushButton::clicked, this, [this] { Button9Click(); });
  connect(c.importFile.playAllButton, &QPushButton::clicked, this, [this] { Button10Click(); });
  connect(c.copyPartButton, &QPushButton::clicked, this, [this] { Button11Click(); });
  // Typing into a grid cell only changes the cell's text: "Update parameters" reads it later.

  // Selecting by mouse or keyboard runs the click handler; the program's own selections are
  // made with signals blocked, so they do not.
  // A mouse click runs it on release, also on the item already selected; a keyboard move runs
  // it when the row changes.
  QListWidget* mainSections = c.mainFile.sectionList;
  QListWidget* importSections = c.importFile.sectionList;
  connect(mainSections, &QListWidget::itemClicked, this, [this] { ListBox2Click(); });
  connect(importSections, &QListWidget::itemClicked, this, [this] { ListBox3Click(); });
  connect(mainSections, &QListWidget::currentRowChanged, this, [this] {
    if (QApplication::mouseButtons() == Qt::NoButton) ListBox2Click();
  });
  connect(importSections, &QListWidget::currentRowChanged, this, [this] {
    if (QApplication::mouseButtons() == Qt::NoButton) ListBox3Click();
  });
  // A double-click on a list plays what it selects (eventFilter).
  for (QListWidget* list : c.Lists()) list->viewport()->installEventFilter(this);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    const TMainWindowControls& c = controls_;
    if (watched == c.mainFile.partList->viewport()) ListBox1DblClick();
    if (watched == c.mainFile.sectionList->viewport()) ListBox2DblClick();
    if (watched == c.importFile.sectionList->viewport()) ListBox3DblClick();
    if (watched == c.importFile.partList->viewport()) ListBox4DblClick();
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::ConnectPlayAlongWindow() {
  playAlongWindow_ = new TPlayAlongWindow(
      *playback_,
      [this](const TPlayback::TLiveStart& start) {
        RunPlayCommand([this, &start] { playback_->PlayLive(start); });
      },
      this);
  connect(playAlongWindow_, &TPlayAlongWindow::StopClicked, this, [this] { Button3Click(); });
  connect(playAlongWindow_, &TPlayAlongWindow::SectionSounding, this,
          [this](int section) { patternWindow_->ShowSection(kMainSlot, section); });
}

void TForm1::ConnectPatternWindow() {
  connect(patternWindow_, &TPatternWindow::PlayClicked, this, [this] { PatternPlayClick(); });
  connect(patternWindow_, &TPatternWindow::StopClicked, this, [this] { Button3Click(); });
  connect(patternWindow_, &TPatternWindow::PlayOptionsChanged, this,
          [this] { PatternOptionsChange(); });
  patternWindow_->FollowPlay([this] { return playback_->PlayingNow(); });
  patternWindow_->SetEditing(&docs_, &history_);
  patternWindow_->StepHistoryWith([this](bool undo) { RunCommand([&] { StepHistory(undo); }); });
  connect(patternWindow_, &TPatternWindow::MainFileEdited, this, [this] { MainFileEdited(); });
  connect(patternWindow_, &TPatternWindow::AuditionRequested, this,
          [this](int part, int key, int velocity) {
            playback_->AuditionNote(patternWindow_->Slot(), patternWindow_->Section(), part, key,
                                    velocity);
          });
}

}  // namespace brondel::app
