// A main window whose MIDI output is the port of the MIDI monitor that an end-to-end script has
// started on its private JACK server (tests/e2e/lib/jack_test_server.bash).
#pragma once

#include <QComboBox>
#include <QtTest>
#include <memory>

#include "app/ckf.h"
#include "fake_dialogs.h"
#include "platform/midi_service.h"

/// A window whose MIDI output is the monitor's port of the JACK server the script started.
struct TJackWindow {
  TJackWindow() : midi(brondel::platform::MakeSystemMidiService()), form(*midi, &dialogs) {}

  bool PickMonitor() {
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return false;
    const int port = form.Controls().outputDeviceBox->findText("midi-monitor:input");
    if (port <= 0) return false;  // it comes after the built-in synthesizer
    form.Controls().outputDeviceBox->setCurrentIndex(port);
    form.ComboBox1Change();
    dialogs.shown.clear();  // the built-in synthesizer may have no audio output here
    return true;
  }

  std::unique_ptr<brondel::platform::IMidiService> midi;
  TFakeDialogs dialogs;
  brondel::app::TForm1 form;
};
