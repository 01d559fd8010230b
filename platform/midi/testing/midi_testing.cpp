#include "platform/midi/testing/midi_testing.h"

#include "platform/midi/engine/stream_service.h"

namespace brondel::platform {

std::unique_ptr<IMidiService> MakeMidiService(MidiDeviceList devices) {
  return std::make_unique<TMidiService>([devices] { return devices; });
}

}  // namespace brondel::platform
