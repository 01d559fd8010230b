// One MIDI output backend behind the stream engine: the built-in synthesizer, a system MIDI
// port, a JACK port, or the recording device of the tests. A device only sends short messages;
// timing, buffers and note bookkeeping belong to the stream engine, which is shared by every
// device.
//
// Threads: the service's caller (the window's thread) lists, opens and closes a device, and
// asks Admit, and OutputLatency for a position; while a stream is open on it, Send comes from
// the stream's thread, and Send (the endings of a play that has ended) or Silence from Stop's
// caller or the closing stream, always under the stream's mutex, so a device never sees two of
// them at once. A device with a real-time thread of its own (audio callback, JACK process
// callback) hands messages to it without blocking (timed_queue.h).
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/midi/engine/midi_clock.h"
#include "platform/midi_service.h"

namespace brondel::platform {

/// The stream calls a device may refuse before the engine carries them out.
enum class MidiCall {
  kOpen,
  kClose,
  kStop,
  kTimeDivision,
  kPrepare,
  kOut,
  kRestart,
  kUnprepare,
  kPosition,
};

class IMidiDevice {
 public:
  virtual ~IMidiDevice() = default;

  /// The name shown in the device list.
  virtual std::string Name() const = 0;
  /// Connects to the output; 0 on success, else a result code with a text of its own.
  virtual MidiResult Open() = 0;
  /// Why the last Open failed in the device's own words (a library's status, a server's name),
  /// for the text of the result it returned; empty when it has nothing to add to that text.
  virtual std::string FailureReason() const { return {}; }
  /// True between a successful Open and Close.
  virtual bool IsOpen() const = 0;
  /// Sends one message that is due at `due` on Clock(); called at (or just after) that time.
  virtual void Send(const MidiMessage& message, MidiMicros due) = 0;
  /// Ends every sound at once: drops what is not yet played (except what ends a note), sends
  /// `endings` (the engine's note-offs and All Notes Off), then silences what it can itself.
  virtual void Silence(std::span<const MidiMessage> endings) = 0;
  /// Drops the messages sent that have not been heard yet, except those that end a note, which
  /// go at once: a live play's stream then sends anew from what sounds now (its source changed).
  /// A device that plays each message when it is sent has nothing to drop.
  virtual void Retract() {}
  /// Disconnects; 0 on success, kMidiMessagesLost when messages sent could not be delivered.
  /// The stream on it has ended by then.
  virtual MidiResult Close() = 0;
  /// The clock that due times refer to and that the engine sleeps on.
  virtual IMidiClock& Clock() = 0;
  /// How much later than its due time a message is heard (or arrives on the wire): the stream's
  /// position is reported that much behind what the engine has handed over. Any thread.
  virtual MidiMicros OutputLatency() const { return MidiMicros{0}; }
  /// 0 lets the engine carry out `call`; any other code refuses it with that result.
  virtual MidiResult Admit(MidiCall call) {
    static_cast<void>(call);
    return kMidiNoError;
  }
};

/// The devices of a service, in the order of their device ids.
using MidiDeviceList = std::vector<std::shared_ptr<IMidiDevice>>;

}  // namespace brondel::platform
