// Program start: the application, the system's MIDI service and the main window, then the
// window's message loop until the main window closes.
#include <QApplication>

#include "app/ckf.h"
#include "platform/midi_service.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Brondel"));
  // Lets the desktop match the window with the installed desktop entry and its icon.
  QApplication::setDesktopFileName(QStringLiteral("io.github.brondel.brondel"));
  const auto midi = brondel::platform::MakeSystemMidiService();
  int result = 0;
  {
    brondel::app::TForm1 form(*midi);
    form.show();
    result = QApplication::exec();
  }
  return result;
}
