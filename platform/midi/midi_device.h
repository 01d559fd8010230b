// One MIDI output backend behind the stream engine: the built-in synthesizer, a system MIDI
// port, or the recording device of the tests. A device only sends short messages; timing,
// buffers and note bookkeeping belong to the stream engine, which is shared by every device.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "platform/midi/midi_clock.h"
#include "platform/midi_service.h"

namespace brondel::platform {

/// One complete short MIDI message: a status byte and its 0 to 2 data bytes, each below 128.
struct MidiMessage {
  std::array<std::uint8_t, 3> bytes{};
  std::uint8_t size = 0;

  friend bool operator==(const MidiMessage&, const MidiMessage&) = default;
};

/// The stream calls a device may refuse before the engine carries them out.
enum class MidiCall { kOpen, kClose, kStop, kTimeDivision, kPrepare, kOut, kRestart, kUnprepare };

class IMidiDevice {
 public:
  virtual ~IMidiDevice() = default;

  /// The name shown in the device list.
  virtual std::string Name() const = 0;
  /// Connects to the output; 0 on success, else a result code with a text of its own.
  virtual MidiResult Open() = 0;
  /// True between a successful Open and Close.
  virtual bool IsOpen() const = 0;
  /// Sends one message that is due at `due` on Clock(); called at (or just after) that time.
  virtual void Send(const MidiMessage& message, MidiMicros due) = 0;
  /// Ends every sound at once: drops what is not yet played, sends `noteOffs`, then silences.
  virtual void Silence(std::span<const MidiMessage> noteOffs) = 0;
  /// Disconnects; 0 on success.
  virtual MidiResult Close() = 0;
  /// The clock that due times refer to and that the engine waits on.
  virtual IMidiClock& Clock() = 0;
  /// 0 lets the engine carry out `call`; any other code refuses it with that result.
  virtual MidiResult Admit(MidiCall call) {
    static_cast<void>(call);
    return kMidiNoError;
  }
};

}  // namespace brondel::platform
