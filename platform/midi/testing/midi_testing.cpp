#include "platform/midi/testing/midi_testing.h"

#include "platform/midi/engine/stream_service.h"
#include "platform/midi/input/input_service.h"

namespace brondel::platform {

std::unique_ptr<IMidiService> MakeMidiService(MidiDeviceList devices) {
  return std::make_unique<TMidiService>([devices] { return devices; });
}

std::unique_ptr<IMidiInputService> MakeMidiInputService(MidiInputDeviceList devices,
                                                        TInputServiceOptions options) {
  return std::make_unique<TMidiInputService>([devices] { return devices; }, options);
}

}  // namespace brondel::platform
