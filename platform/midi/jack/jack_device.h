// A JACK MIDI port as an output device. RtMidi's JACK output puts every message at the start of
// the next period (up to one period late); this device runs a libjack client of its own with one
// MIDI output port, connected to the chosen port, and writes each message at the frame of its
// due time plus a fixed latency. The stream on it is timed on JACK's own frame clock (which
// follows the sound card, not the system's clock), so the spacing of the messages, and the seam
// of a loop, is kept to the frame however the two clocks drift apart.
//
// Nothing is dropped on the way: the queue to the process callback grows with a burst, a period
// carries at most a set number of messages (receivers take a period's events at once, and drop
// what they cannot hold), and what a period cannot hold goes out at the start of the next ones,
// in order, late rather than lost. Only messages still queued when the client must close (the
// server gone, or the port no longer taking them) are lost; Close reports them.
//
// Threads: the service's caller opens and closes it; Send comes from the stream's thread (and
// Stop's caller), Silence from Stop's caller (or the closing stream). They push onto one
// single-producer queue, which is safe because the stream engine makes every call under the
// stream's mutex: they never overlap, and the mutex orders them (timed_queue.h). JACK's process
// thread is the queue's one consumer; the count of lost messages and the server's shutdown are
// atomics. The frame clock is read by the stream's thread and the service's caller under a mutex of
// its own.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/midi/engine/midi_device.h"

namespace brondel::platform {

/// How the JACK device runs its client.
struct JackDeviceOptions {
  std::string clientName = "Brondel";
  std::string portName = "midi_out";
  // How late the stream's thread may wake and still have its message reach the process
  // callback before the message's frame comes round: on a busy machine a thread can wake 10 ms
  // late, and a late message would stretch the bar it falls in (a loop's seam with it). The
  // sound starts this much (and a period) after a play is asked for; Stop is heard at once.
  MidiMicros wakeMargin{20'000};
  std::size_t queueBlock = 4096;  // messages per block of the queue to the process callback
  // The most messages one period carries: receivers read a period's events in one go into
  // buffers of their own (jack_midi_dump holds 99), and a MIDI cable carries about 1,000 a
  // second. A set-up block and a chord still go out in one period.
  std::size_t eventsPerPeriod = 48;
  // The longest a close waits for the queued messages while none of them goes out.
  MidiMicros maxDrain{200'000};
};

/// The MIDI input ports of the running JACK server ("client:port"); none without a server, which
/// libjack explains at length: the caller expects library messages (ListSystemMidiPorts does).
std::vector<std::string> JackMidiInputPorts();

class JackMidiDevice final : public IMidiDevice {
 public:
  /// A device for the JACK MIDI input port `target` ("client:port").
  explicit JackMidiDevice(std::string target, JackDeviceOptions options = {});
  ~JackMidiDevice() override;
  JackMidiDevice(const JackMidiDevice&) = delete;
  JackMidiDevice& operator=(const JackMidiDevice&) = delete;

  std::string Name() const override { return target_; }
  /// Starts the client and connects its port; kMidiNotEnabled when the server or port is gone,
  /// with libjack's status and the server's name as the failure's reason.
  MidiResult Open() override;
  std::string FailureReason() const override { return failure_; }
  bool IsOpen() const override { return client_ != nullptr; }
  /// Queues the message for the frame of `due` plus the output latency.
  void Send(const MidiMessage& message, MidiMicros due) override;
  /// Drops the queued messages (those that end a note go at once), then sends `endings` at the
  /// next frame.
  void Silence(std::span<const MidiMessage> endings) override;
  /// Marks what is queued stale: the process callback drops it, a note's end goes at once.
  void Retract() override;
  /// Waits for the queued messages to go out while they do (at most the longest drain without
  /// progress), then ends the client: kMidiMessagesLost when any message could not be sent.
  MidiResult Close() override;
  /// JACK's frames since the client started, as microseconds at the server's rate; the system's
  /// clock takes over should the server go away. Only while the device is open.
  IMidiClock& Clock() override;
  /// A period, plus the wake margin.
  MidiMicros OutputLatency() const override;

 private:
  struct Client;
  const std::string target_;
  const JackDeviceOptions options_;
  std::unique_ptr<Client> client_;
  std::string failure_;
};

/// What a failed jack_client_open's status says, with the server it tried (JACK_DEFAULT_SERVER,
/// else "default"): `JACK server "default" is not running (status 0x11)`.
std::string JackOpenFailure(unsigned status);

}  // namespace brondel::platform
