// MIDI input: the keyboards and virtual keyboards the program listens to. The system's service
// lists the ALSA sequencer's readable ports (through RtMidi) and the JACK MIDI output ports of
// other clients (each read through a JACK MIDI input port of a Brondel client of our own,
// connected to it); an open input hands each message, with the time it arrived, to a callback.
//
// Threads: the program opens and closes inputs from one thread (the window's), though the calls
// are safe from any. Each open input has a thread of its own that calls its callbacks, never a
// real-time one: the devices' own threads (JACK's process thread, RtMidi's reading thread) only
// put the messages on a lock-free queue of fixed size and wake it. The callbacks of one input
// never overlap, and none runs once CloseInput has returned; they must not close their input.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/midi_service.h"

namespace brondel::platform {

/// One message received: a short message (channel messages and the one- to three-byte system
/// messages; system exclusive, clock and active sensing are not passed on) and when it arrived,
/// on the steady clock (for JACK the frame it came on, as that time).
struct TInputMessage {
  MidiMessage message;
  std::chrono::steady_clock::time_point time;
};

/// What an open input tells its listener, on the input's own thread.
struct TInputCallbacks {
  /// Every message, in the order it arrived.
  std::function<void(const TInputMessage&)> message;
  /// The device has gone (unplugged, its JACK client or server ended, disconnected): called once
  /// with the reason. The input stays open, delivering nothing, until it is closed.
  std::function<void(const std::string& reason)> lost;
};

using MidiInputHandle = std::uint32_t;  // 0 is never a valid handle

class IMidiInputService {
 public:
  virtual ~IMidiInputService() = default;

  /// Names of the input devices; the position in the list is the device id. The list is made
  /// anew on every call.
  virtual std::vector<std::string> InputDeviceNames() = 0;
  /// Starts listening to a device of the last list; on success stores a handle that is not 0.
  /// kMidiBadDeviceId for an id the list does not have, kMidiNotEnabled when the device would not
  /// open (ErrorText tells why), kMidiAllocated when it is open already.
  virtual MidiResult OpenInput(std::uint32_t deviceId, TInputCallbacks callbacks,
                               MidiInputHandle* handle) = 0;
  /// Stops listening: the device is closed and the input's thread has ended when it returns.
  /// kMidiMessagesLost when messages came faster than the input's thread took them and some
  /// were dropped.
  virtual MidiResult CloseInput(MidiInputHandle handle) = 0;
  /// A text for every result code; for the code of the last failed open, with the device's
  /// reason.
  virtual std::string ErrorText(MidiResult code) = 0;
};

/// The system's inputs: the ALSA sequencer's ports (while the sequencer answers), then JACK's
/// (while a server runs; none is ever started). Our own clients' ports are not listed.
std::unique_ptr<IMidiInputService> MakeSystemMidiInputService();

}  // namespace brondel::platform
