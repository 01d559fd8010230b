// Opening one of our own JACK clients, the output device's and the input's alike: a client that
// never starts a server, one MIDI port, libjack's process and shutdown callbacks, activated.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <jack/jack.h>

#include <string>

#include "platform/midi_service.h"

namespace brondel::platform {

/// A client of ours: its names, which way its one MIDI port points, and its callbacks with the
/// argument libjack hands them.
struct TJackClientSetup {
  std::string clientName;
  std::string portName;
  unsigned long portFlags = 0;  // JackPortIsInput or JackPortIsOutput
  JackProcessCallback process = nullptr;
  JackShutdownCallback shutdown = nullptr;
  void* argument = nullptr;
};

/// Opens the client, registers its port, sets the callbacks and activates it. A failure says why
/// in `failure`, in one line (libjack's own messages are held back meanwhile); what was made is
/// left in `client` and `port` for the owner to close.
MidiResult StartJackClient(const TJackClientSetup& setup, jack_client_t*& client,
                           jack_port_t*& port, std::string& failure);

}  // namespace brondel::platform
