// The program's one MIDI stream and everything that plays through it: opening and closing the
// stream, the time division, error reports, section and part playing, Stop and Play all.
// Everything runs on the window's thread; the stop flag is the only coordination between a
// waiting play and the commands that run nested inside its wait.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "document/rhythm_slot.h"
#include "platform/midi_service.h"
#include "playback/playback_host.h"
#include "playback/render.h"

namespace brondel {

class TPlayback {
 public:
  TPlayback(TRhythmDocuments& docs, platform::IMidiService& midi, IPlaybackHost& host);

  // --- The MIDI output stream ---
  /// Makes `deviceId` the selected device, on which the next OpenMidiStream opens the stream.
  void SelectDevice(std::uint32_t deviceId) { deviceId_ = deviceId; }
  /// Opens the stream on the selected device; "OPEN " + text on failure.
  void OpenMidiStream();
  /// Closes the stream; "CLOSE " + text on failure. The handle is kept whatever the result.
  void CloseMidiStream();
  /// Stops the stream and makes the slot's tempo byte its time division ("OPEN " on failure).
  void SetTimeDivision(int slot);
  /// Shows prefix + the service's text for `code`.
  void ShowMidiError(std::string_view prefix, platform::MidiResult code);
  /// A device was picked: close, take the entry's index as the device id (-1 gives the mapper
  /// id 0xFFFFFFFF), open.
  void ComboBox1Change(int selectedIndex);
  /// Stops the stream, returning the service's result (for callers that report it themselves).
  platform::MidiResult StopStream();

  // --- Rendering and playing ---
  /// Renders section 0-9 of a slot into `buffer` unless the stop flag is set; refreshes the grid
  /// first for the main file.
  void RenderSection(int slot, int section, TEventBuffer& buffer);
  /// Plays one buffer and returns once it has played, was stopped, or a MIDI call failed.
  void PlayEventBuffer(const TEventBuffer& buffer);
  /// The Stop command: sets the stop flag and stops the stream ("OPEN " on failure).
  void Stop();
  /// Section double-click: clears the stop flag and plays `section` of `slot` (the index selected
  /// in its section list) if the slot is loaded.
  void PlaySection(int slot, int section);
  /// Part double-click: `section` and `part` are the lists' selected indices, -1 for none.
  void PlayPart(int slot, int section, int part);
  /// Stops the stream, sets the time division, then plays one part of a section alone
  /// ("This part is empty!" for a part of two records); nothing plays for an index out of range.
  void PreviewPart(int slot, int section, int part);
  /// "Play all" button: does nothing for a slot that is not loaded.
  void PlayAllCommand(int slot);
  /// The eleven-entry demonstration sequence; all ten sections are rendered before it starts.
  void PlayAll(int slot);

  bool StopFlag() const { return stopFlag_; }
  void SetStopFlag(bool on) { stopFlag_ = on; }
  std::uint32_t DeviceId() const { return deviceId_; }
  platform::MidiStreamHandle Handle() const { return handle_; }
  const platform::TMidiHeader& StreamHeader() const { return header_; }
  /// The slot's render-event array after its last render.
  const std::vector<TRenderEvent>& RenderEvents(int slot) const;

  /// The fixed play-all order of section numbers.
  static const std::array<std::uint8_t, 11> kPlayAllOrder;

 private:
  /// The wait loop: one host wait, then one unprepare, per pass.
  void WaitUntilHandedBack();
  const TRhythmSlot& Slot(int slot) const;

  TRhythmDocuments& docs_;
  platform::IMidiService& midi_;
  IPlaybackHost& host_;
  platform::MidiStreamHandle handle_ = 0;
  std::uint32_t deviceId_ = 0;
  bool stopFlag_ = false;
  platform::TMidiHeader header_{};
  std::array<std::vector<TRenderEvent>, 2> renderEvents_;
};

}  // namespace brondel
