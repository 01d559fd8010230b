// A main window wired to recording MIDI devices and scripted dialogs, plus small helpers to
// write test rhythms and to click the window's lists as a user would.
#pragma once

#include <QListWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/ckf.h"
#include "document/rhythm_builder.h"
#include "fake_dialogs.h"
#include "fake_midi_import_dialogs.h"
#include "platform/midi/testing/midi_testing.h"

struct TWindowRig {
  /// A window over `deviceCount` recording devices ("Recorder A", "Recorder B", ...).
  explicit TWindowRig(int deviceCount = 2,
                      brondel::platform::IMidiClock& clock = brondel::platform::SystemMidiClock()) {
    brondel::platform::MidiDeviceList list;
    for (int i = 0; i < deviceCount; ++i) {
      devices.push_back(std::make_shared<brondel::platform::RecordingMidiDevice>(
          std::string("Recorder ") + static_cast<char>('A' + i), clock));
      list.push_back(devices.back());
    }
    midi = brondel::platform::MakeMidiService(std::move(list));
    form = std::make_unique<brondel::app::TForm1>(*midi, &dialogs);
  }
  ~TWindowRig() { form.reset(); }

  /// Writes `bytes` as a file called `name` in the rig's folder and returns its path.
  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  /// Opens `path` into a slot through the window's command, the dialog answering with it.
  void Open(int slot, const std::string& path) {
    dialogs.openAnswers.push_back(path);
    if (slot == 0)
      form->Open1Click();
    else
      form->Button9Click();
  }

  std::string Cell(int column, int row) const {
    return form->Controls().settingsGrid->item(row, column)->text().toStdString();
  }

  QTemporaryDir dir;
  std::vector<std::shared_ptr<brondel::platform::RecordingMidiDevice>> devices;
  std::unique_ptr<brondel::platform::IMidiService> midi;
  TFakeDialogs dialogs;
  std::unique_ptr<brondel::app::TForm1> form;
};

/// A window with scripted MIDI import dialogs as well.
struct TMidiWindowRig : TWindowRig {
  explicit TMidiWindowRig(int deviceCount = 1, brondel::platform::IMidiClock& clock =
                                                   brondel::platform::SystemMidiClock())
      : TWindowRig(deviceCount, clock) {
    form->UseMidiImportDialogs(midiDialogs);
  }
  TFakeMidiImportDialogs midiDialogs;
};

/// The texts of a list's items.
inline QStringList Items(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  return texts;
}

/// A mouse click on a row of a list, as the user makes it.
inline void ClickRow(QListWidget* list, int row) {
  const QRect rect = list->visualItemRect(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

/// A double click on a row of a list (Qt Test needs the single click first).
inline void DoubleClickRow(QListWidget* list, int row) {
  const QRect rect = list->visualItemRect(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

/// A small 4/4 rhythm, tempo 100, every section 2 bars, distinct settings per section and part so
/// that a grid showing the wrong section is caught.
inline brondel::TRhythmBuilder SmallRhythm(std::uint8_t tempo = 100, std::uint8_t sig = 0x22) {
  brondel::TRhythmBuilder rhythm(tempo, sig);
  for (int s = 0; s < brondel::kSectionCount; ++s) {
    rhythm.Bars(s, static_cast<std::uint16_t>(2 + (s % 3)));
    for (int p = 0; p < brondel::kPartCount; ++p) {
      const auto v = static_cast<std::uint8_t>(10 * s + p);
      rhythm.Settings(s, p,
                      brondel::PartSettings(v, 0, static_cast<std::uint8_t>(100 + p), 64, 40, 20));
      rhythm.Part(s, p,
                  brondel::TPartBuilder()
                      .Note(4, static_cast<std::uint8_t>(36 + p), 100)
                      .Note(4, static_cast<std::uint8_t>(36 + p), 0)
                      .End(2));
    }
  }
  return rhythm;
}
