// One MIDI input backend behind the input service: an ALSA sequencer port through RtMidi, a JACK
// port through our own client, or the fake device of the tests. A device only puts what it
// receives on the input's queue; the service's thread for the input takes it from there, turns
// the device's times into the steady clock's, and watches for the device going away.
//
// Threads: the service's caller lists, opens and closes a device; the device's own thread (at most
// one pushes at a time) calls the queue's Push; the input's thread asks TimeOf and Gone.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_input.h instead."
#endif

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/midi/input/input_queue.h"
#include "platform/midi_service.h"

namespace brondel::platform {

class IMidiInputDevice {
 public:
  virtual ~IMidiInputDevice() = default;
  /// The name shown in the list of inputs.
  virtual std::string Name() const = 0;
  /// Starts putting every short message it receives on `queue`, with its time in the device's
  /// own unit; 0 on success, else a result code (FailureReason says why).
  virtual MidiResult Open(TInputQueue& queue) = 0;
  /// Why the last Open failed, in the device's own words; empty when it has nothing to add.
  virtual std::string FailureReason() const { return {}; }
  /// Empty while the device is there; once it is gone, why.
  virtual std::string Gone() = 0;
  /// The steady clock's time of a queued entry's `time`.
  virtual std::chrono::steady_clock::time_point TimeOf(std::int64_t time) const = 0;
  /// Stops receiving: nothing more is pushed once it returns.
  virtual void Close() = 0;
};

/// The devices of an input service, in the order of their device ids.
using MidiInputDeviceList = std::vector<std::shared_ptr<IMidiInputDevice>>;

/// True for a message an input passes on: a complete short message whose status byte is a
/// channel message's or a short system message's, but not the clock's ticks or active sensing,
/// which a keyboard sends many times a second and nothing here uses.
bool PassedOnInput(const std::uint8_t* bytes, std::size_t size);

/// The text of a result code as an input service gives it (the inputs' own words where the
/// output's would be wrong).
std::string MidiInputErrorText(MidiResult code);

/// The message of `size` bytes at `bytes`, for a size PassedOnInput accepts.
MidiMessage InputMessage(const std::uint8_t* bytes, std::size_t size);

}  // namespace brondel::platform
