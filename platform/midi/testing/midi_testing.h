// What tests and measurements use to build MIDI services over devices of their choosing: the
// device interface and the clocks, a service over a given device list, the recording device,
// the manual clock, and the built-in synthesizer with chosen options. Only targets that link
// brondel_platform_midi_testing may include it; the program never does.
//
//   ManualMidiClock clock;
//   auto recorder = std::make_shared<RecordingMidiDevice>("Recorder", clock);
//   auto service = MakeMidiService({recorder});
#pragma once
#ifndef BRONDEL_PLATFORM_MIDI_TESTING
#error "platform/midi/testing/midi_testing.h is for tests that link brondel_platform_midi_testing."
#endif

// The private headers below admit this header's own includes only.
#define BRONDEL_PLATFORM_MIDI_TESTING_INSIDE
#include "platform/midi/engine/midi_clock.h"
#include "platform/midi/engine/midi_device.h"
#include "platform/midi/input/input_service.h"
#include "platform/midi/synth/synth_device.h"
#include "platform/midi/testing/fake_input_device.h"
#include "platform/midi/testing/manual_clock.h"
#include "platform/midi/testing/recording_device.h"
#undef BRONDEL_PLATFORM_MIDI_TESTING_INSIDE

#include <memory>

#include "platform/midi_input.h"
#include "platform/midi_service.h"

namespace brondel::platform {

/// A service over a fixed list of devices, in this order (recording devices in tests).
std::unique_ptr<IMidiService> MakeMidiService(MidiDeviceList devices);

/// An input service over a fixed list of input devices (fake ones in tests).
std::unique_ptr<IMidiInputService> MakeMidiInputService(MidiInputDeviceList devices,
                                                        TInputServiceOptions options = {});

}  // namespace brondel::platform
