// A JACK MIDI output port of another client (a virtual keyboard, a hardware capture port) as an
// input device: a libjack client of our own with one MIDI input port, connected from the chosen
// port. JACK's process thread reads each period's events and puts them on the input's queue with
// the time of their frame (libjack's microseconds); nothing there allocates, locks or waits.
//
// Threads: the service's caller opens and closes it; JACK's process thread pushes; the input's
// thread turns times and asks Gone (which reads the shutdown flag, an atomic set on JACK's
// notification thread, and asks libjack whether the port is still there and connected).
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_input.h instead."
#endif

#include <memory>
#include <string>
#include <vector>

#include "platform/midi/input/input_device.h"

namespace brondel::platform {

/// How the JACK input runs its client.
struct JackInputOptions {
  std::string clientName = "Brondel";
  std::string portName = "midi_in";
};

/// True for a port of one of our own clients ("Brondel:midi_out", "Brondel-01:midi_in"): an
/// input never listens to our own output.
bool IsOwnJackPort(const std::string& port, const std::string& clientName = "Brondel");

/// The MIDI output ports of the running JACK server's other clients ("client:port"); none
/// without a server (the caller expects library messages).
std::vector<std::string> JackMidiSourcePorts();

/// What one watch of an open input finds: the server, the source port, our port's connection.
struct TJackSourceWatch {
  bool serverGone = false;
  bool sourcePresent = true;
  bool connected = true;
};

/// The going to report for `watch` of `source`, or empty while nothing has gone. A source found
/// disconnected but still present is reported only when the next watch finds it so again
/// (`disconnectedBefore` carries that between watches): a client that closes disconnects its
/// ports a moment before they go, which is reported as "has gone", and a user re-patching the
/// connection is not a going at all.
std::string JackInputGoneReason(const std::string& source, const TJackSourceWatch& watch,
                                bool& disconnectedBefore);

class JackMidiInputDevice final : public IMidiInputDevice {
 public:
  /// A device reading the JACK MIDI output port `source` ("client:port").
  explicit JackMidiInputDevice(std::string source, JackInputOptions options = {});
  ~JackMidiInputDevice() override;
  JackMidiInputDevice(const JackMidiInputDevice&) = delete;
  JackMidiInputDevice& operator=(const JackMidiInputDevice&) = delete;

  std::string Name() const override { return source_; }
  /// Starts the client and connects `source` to its port; kMidiNotEnabled when the server or the
  /// port is not there, with the reason.
  MidiResult Open(TInputQueue& queue) override;
  std::string FailureReason() const override { return failure_; }
  /// "the JACK server has stopped", "SOURCE has gone", "SOURCE is no longer connected" (the last
  /// only when two watches in a row find it so).
  std::string Gone() override;
  /// `time` is libjack's microseconds (jack_get_time).
  std::chrono::steady_clock::time_point TimeOf(std::int64_t time) const override;
  void Close() override;

 private:
  struct Client;
  const std::string source_;
  const JackInputOptions options_;
  std::unique_ptr<Client> client_;
  std::string failure_;
  bool disconnectedBefore_ = false;  // read and written by the input's thread only
};

}  // namespace brondel::platform
