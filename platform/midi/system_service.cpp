// The service the program uses: the built-in synthesizer as device 0, then the system's ports.
#include "platform/midi/jack_environment.h"
#include "platform/midi/port_devices.h"
#include "platform/midi/stream_service.h"
#include "platform/midi/synth_device.h"

namespace brondel::platform {

std::unique_ptr<IMidiService> MakeSystemMidiService() {
  PreventJackServerAutoStart();
  return std::make_unique<TMidiService>([] {
    MidiDeviceList devices{std::make_shared<SynthDevice>()};
    for (auto& port : ListSystemMidiPorts()) devices.push_back(std::move(port));
    return devices;
  });
}

}  // namespace brondel::platform
