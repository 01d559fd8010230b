// The input service the program uses: the system's readable MIDI ports.
#include "platform/midi/input/input_service.h"
#include "platform/midi/jack/jack_environment.h"
#include "platform/midi/ports/port_devices.h"
#include "platform/midi/system/library_messages.h"
#include "platform/midi_input.h"

namespace brondel::platform {

std::unique_ptr<IMidiInputService> MakeSystemMidiInputService() {
  PreventJackServerAutoStart();
  RouteLibraryMessages();
  return std::make_unique<TMidiInputService>(ListSystemMidiInputs);
}

}  // namespace brondel::platform
