// A JACK MIDI port as an output device. RtMidi's JACK output puts every message at the start of
// the next period (up to one period late); this device runs a libjack client of its own with one
// MIDI output port, connected to the chosen port, and writes each message at the frame of its
// due time plus a fixed latency, so the spacing of the messages is kept to the frame.
#pragma once

#include <memory>
#include <string>

#include "platform/midi/midi_device.h"
#include "platform/midi/port_devices.h"

namespace brondel::platform {

class JackMidiDevice final : public IMidiDevice {
 public:
  /// A device for the JACK MIDI input port `portName` ("client:port").
  explicit JackMidiDevice(std::string portName);
  ~JackMidiDevice() override;
  JackMidiDevice(const JackMidiDevice&) = delete;
  JackMidiDevice& operator=(const JackMidiDevice&) = delete;

  std::string Name() const override { return portName_; }
  /// Starts the client and connects its port; kMidiNotEnabled when the server or port is gone.
  MidiResult Open() override;
  bool IsOpen() const override { return client_ != nullptr; }
  /// Queues the message for the frame of `due` plus a fixed latency (a period and 5 ms).
  void Send(const MidiMessage& message, MidiMicros due) override;
  /// Drops the queued messages (note-offs go at once), then sends `noteOffs` and All Notes Off
  /// on every channel used, at the next frame.
  void Silence(std::span<const MidiMessage> noteOffs) override;
  /// Waits for the queued messages to go out, then ends the client.
  MidiResult Close() override;
  IMidiClock& Clock() override { return SystemMidiClock(); }

 private:
  struct Client;
  const std::string portName_;
  std::unique_ptr<Client> client_;
  UsedChannels used_;
};

}  // namespace brondel::platform
