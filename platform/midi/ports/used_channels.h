// The channels a port device has sent on, so that silencing it touches only those. Used by the
// RtMidi ports and the JACK device, under the stream's mutex like every device call.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <cstdint>
#include <vector>

#include "platform/midi_service.h"

namespace brondel::platform {

class UsedChannels {
 public:
  /// Remembers the channel of a message sent.
  void Note(const MidiMessage& message) { mask_ |= 1u << (message.bytes[0] & 0x0F); }
  /// An All Notes Off controller for every channel used so far.
  std::vector<MidiMessage> AllNotesOff() const;

 private:
  std::uint32_t mask_ = 0;
};

}  // namespace brondel::platform
