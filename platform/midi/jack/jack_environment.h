// libjack starts a JACK server of its own (on the sound card) when a client finds none running,
// unless the client asks it not to (JackNoStartServer). Our own JACK clients and RtMidi's ask;
// FluidSynth's jack audio driver does not, nor may a sound library under another of its drivers,
// so the environment tells libjack instead. Setting it races with any other thread reading the
// environment, so it is set once, as early as may be: MakeSystemMidiService does it before
// anything else, and the synthesizer's Open before it tries its drivers (for a synthesizer made
// without the service).
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

namespace brondel::platform {

/// Sets JACK_NO_START_SERVER=1 in this process's environment, once per process (later calls do
/// nothing).
void PreventJackServerAutoStart();

}  // namespace brondel::platform
