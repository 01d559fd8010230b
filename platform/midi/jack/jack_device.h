// A JACK MIDI port as an output device. RtMidi's JACK output puts every message at the start of
// the next period (up to one period late); this device runs a libjack client of its own with one
// MIDI output port, connected to the chosen port, and writes each message at the frame of its
// due time plus a fixed latency, so the spacing of the messages is kept to the frame.
//
// Threads: the service's caller opens and closes it; Send comes from the stream's thread and
// Silence from Stop's caller (or the closing stream). Both push onto one single-producer queue,
// which is safe because the stream engine makes both calls under the stream's mutex: they never
// overlap, and the mutex orders them (timed_queue.h). JACK's process thread is the queue's one
// consumer. used_ and lastTime are touched only by those pushes and by Close, after the stream
// has ended.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <cstddef>
#include <memory>
#include <string>

#include "platform/midi/engine/midi_device.h"
#include "platform/midi/ports/used_channels.h"

namespace brondel::platform {

/// How the JACK device runs its client.
struct JackDeviceOptions {
  std::string clientName = "Brondel";
  std::string portName = "midi_out";
  // How late the stream's thread may wake and still have its message reach the process
  // callback before the message's frame comes round.
  MidiMicros wakeMargin{5000};
  std::size_t queueEntries = 4096;  // messages on their way to the process callback
  MidiMicros maxDrain{200'000};     // the longest a close waits for queued messages to go out
};

class JackMidiDevice final : public IMidiDevice {
 public:
  /// A device for the JACK MIDI input port `target` ("client:port").
  explicit JackMidiDevice(std::string target, JackDeviceOptions options = {});
  ~JackMidiDevice() override;
  JackMidiDevice(const JackMidiDevice&) = delete;
  JackMidiDevice& operator=(const JackMidiDevice&) = delete;

  std::string Name() const override { return target_; }
  /// Starts the client and connects its port; kMidiNotEnabled when the server or port is gone.
  MidiResult Open() override;
  bool IsOpen() const override { return client_ != nullptr; }
  /// Queues the message for the frame of `due` plus a fixed latency (a period and the wake
  /// margin).
  void Send(const MidiMessage& message, MidiMicros due) override;
  /// Drops the queued messages (note-offs go at once), then sends `noteOffs` and All Notes Off
  /// on every channel used, at the next frame.
  void Silence(std::span<const MidiMessage> noteOffs) override;
  /// Waits for the queued messages to go out (at most the longest drain), then ends the client.
  MidiResult Close() override;
  IMidiClock& Clock() override { return SystemMidiClock(); }

 private:
  struct Client;
  const std::string target_;
  const JackDeviceOptions options_;
  std::unique_ptr<Client> client_;
  UsedChannels used_;
};

}  // namespace brondel::platform
