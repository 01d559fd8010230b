// Every MIDI output port of the system, found through RtMidi and named as the system names
// them. JACK ports are played through a libjack client of our own (see jack_device.h), so that
// each message lands on its own frame; the other systems' ports go through RtMidi.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/midi/midi_device.h"

namespace brondel::platform {

/// The output ports of every MIDI system that answers (on Linux the ALSA sequencer, then JACK).
std::vector<std::shared_ptr<IMidiDevice>> ListSystemMidiPorts();

/// The channels a port device has sent on, so that silencing it touches only those.
class UsedChannels {
 public:
  /// Remembers the channel of a message sent.
  void Note(const MidiMessage& message) { mask_ |= 1u << (message.bytes[0] & 0x0F); }
  /// An All Notes Off controller for every channel used so far.
  std::vector<MidiMessage> AllNotesOff() const;

 private:
  std::uint32_t mask_ = 0;
};

}  // namespace brondel::platform
