// The service the program uses: the built-in synthesizer as device 0, then the system's ports,
// each with the default options of its kind.
#include "platform/midi/engine/stream_service.h"
#include "platform/midi/jack/jack_environment.h"
#include "platform/midi/ports/port_devices.h"
#include "platform/midi/synth/synth_device.h"
#include "platform/midi/system/library_messages.h"
#include "platform/midi_service.h"

namespace brondel::platform {

std::unique_ptr<IMidiService> MakeSystemMidiService() {
  PreventJackServerAutoStart();
  RouteLibraryMessages();
  return std::make_unique<TMidiService>([] {
    MidiDeviceList devices{std::make_shared<SynthDevice>()};
    for (auto& port : ListSystemMidiPorts()) devices.push_back(std::move(port));
    return devices;
  });
}

}  // namespace brondel::platform
