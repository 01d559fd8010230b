#include "platform/midi/ports/used_channels.h"

namespace brondel::platform {

std::vector<MidiMessage> UsedChannels::AllNotesOff() const {
  std::vector<MidiMessage> messages;
  for (std::uint8_t channel = 0; channel < 16; ++channel) {
    if ((mask_ >> channel & 1u) != 0) {
      messages.push_back({{static_cast<std::uint8_t>(0xB0 | channel), 123, 0}, 3});
    }
  }
  return messages;
}

}  // namespace brondel::platform
