// Every MIDI output port of the system, named as the system names them. JACK ports are listed
// and played through a libjack client of our own (jack/jack_device.h), so that each message lands
// on its own frame; the other systems' ports go through RtMidi. A system that is not there (no
// ALSA sequencer without a sound card, no JACK server) lists no ports and, the libraries'
// messages being routed (MakeSystemMidiService does that first), prints nothing.
//
// Threads: as every device (midi_device.h, input_device.h); RtMidi sends on the calling thread
// and calls an input's callback on a reading thread of its own.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <string>

#include "platform/midi/engine/midi_device.h"
#include "platform/midi/input/input_device.h"

namespace brondel::platform {

/// How an RtMidi port device names itself to the MIDI system.
struct RtMidiPortOptions {
  std::string clientName = "Brondel";
  std::string portName = "Brondel out";
  std::string inputPortName = "Brondel in";
};

/// The output ports of every MIDI system that answers (on Linux the ALSA sequencer, then JACK),
/// each as a device with the default options of its kind. An RtMidi port device reports the
/// messages it could not send when it closes.
MidiDeviceList ListSystemMidiPorts();

/// The readable ports of every MIDI system that answers, our own clients' left out: on Linux
/// the ALSA sequencer's through RtMidi's input, then JACK's output ports through our own JACK
/// client. An RtMidi input device is gone once its port is no longer listed.
MidiInputDeviceList ListSystemMidiInputs();

}  // namespace brondel::platform
