// What playback asks of the main window (IPlaybackHost): messages, the grid and the lists kept
// up to date while it plays, and the wait in the window's event loop.
#include <QCoreApplication>
#include <QListWidget>
#include <QSignalBlocker>

#include "app/ckf.h"
#include "app/settings_grid_view.h"
#include "document/settings_grid.h"

namespace brondel::app {

void TForm1::ListenForBuffersDone() {
  // The stream reports a buffer handed back from its own thread; a posted no-op wakes the
  // window's event loop so that a waiting play looks at its buffer again.
  midi_.SetBufferDoneNotifier([this] {
    buffersDone_.fetch_add(1);
    QMetaObject::invokeMethod(
        this, [] {}, Qt::QueuedConnection);
  });
}

void TForm1::ShowMessage(const std::string& text) {
  dialogs_->ShowMessage(text);
}

void TForm1::ShowPartSettings() {
  const int section = controls_.mainFile.sectionList->currentRow();
  if (section < 0 || !docs_.slots[kMainSlot].Loaded()) return;
  brondel::ShowPartSettings(*settingsGrid_, docs_.slots[kMainSlot].header, section);
}

void TForm1::ShowPlayAllEntry(int slot, int section) {
  QListWidget* sections = controls_.Slot(slot).sectionList;
  {
    const QSignalBlocker blocker(sections);
    sections->setCurrentRow(section);
  }
  FillPartList(slot, section, false);
  SectionSelected(slot, section);
}

void TForm1::WaitForEvents() {
  // A buffer that ended since the last look needs no wait; otherwise sleep in the event loop
  // until a window event or the stream's notification arrives.
  const unsigned done = buffersDone_.load();
  if (done != buffersSeen_) {
    buffersSeen_ = done;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return;
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace brondel::app
