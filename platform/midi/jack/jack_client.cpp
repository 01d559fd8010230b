#include "platform/midi/jack/jack_client.h"

#include "platform/midi/jack/jack_device.h"
#include "platform/midi/system/library_messages.h"

namespace brondel::platform {

MidiResult StartJackClient(const TJackClientSetup& setup, jack_client_t*& client,
                           jack_port_t*& port, std::string& failure) {
  // libjack explains a missing server at length; our own result says it in one line.
  const LibraryMessagesExpected expected;
  jack_status_t status{};
  client = jack_client_open(setup.clientName.c_str(), JackNoStartServer, &status);
  if (client == nullptr) {
    failure = JackOpenFailure(static_cast<unsigned>(status));
    return kMidiNotEnabled;
  }
  port = jack_port_register(client, setup.portName.c_str(), JACK_DEFAULT_MIDI_TYPE, setup.portFlags,
                            0);
  if (port == nullptr) {
    failure = "JACK refused the port " + setup.portName;
    return kMidiNotEnabled;
  }
  jack_set_process_callback(client, setup.process, setup.argument);
  jack_on_shutdown(client, setup.shutdown, setup.argument);
  if (jack_activate(client) != 0) {
    failure = "JACK could not activate the client";
    return kMidiNotEnabled;
  }
  return kMidiNoError;
}

}  // namespace brondel::platform
