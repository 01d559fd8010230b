// libjack starts a JACK server of its own (on the sound card) when a client finds none running;
// the program must never do that, so every unit that may create a JACK client calls this first.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

namespace brondel::platform {

/// Sets JACK_NO_START_SERVER=1 in this process's environment.
void PreventJackServerAutoStart();

}  // namespace brondel::platform
