// Program start: the application, the system's MIDI services (output and input) and the main
// window, then the
// window's message loop until the main window closes.
#include <QApplication>

#include "app/ckf.h"
#include "app/play_along_window.h"
#include "platform/midi_input.h"
#include "platform/midi_service.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Brondel"));
  // Lets the desktop match the window with the installed desktop entry and its icon.
  QApplication::setDesktopFileName(QStringLiteral("io.github.brondel.brondel"));
  const auto midi = brondel::platform::MakeSystemMidiService();
  // The MIDI keyboards Play along may listen to; they outlive the window.
  const auto inputs = brondel::platform::MakeSystemMidiInputService();
  int result = 0;
  {
    brondel::app::TForm1 form(*midi);
    form.PlayAlongWindow()->SetInputs(*inputs);
    form.show();
    result = QApplication::exec();
  }
  return result;
}
