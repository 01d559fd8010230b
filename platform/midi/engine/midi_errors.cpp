// The texts of the MIDI result codes. Each fits the 119 characters a caller may keep.
#include <map>

#include "platform/midi_service.h"

namespace brondel::platform {

std::string MidiErrorText(MidiResult code) {
  static const std::map<MidiResult, std::string> kTexts = {
      {kMidiNoError, "No error."},
      {kMidiError, "An unspecified MIDI error occurred."},
      {kMidiBadDeviceId, "No MIDI output device has this device id."},
      {kMidiNotEnabled, "The MIDI driver could not open the output device."},
      {kMidiAllocated, "The MIDI output device is already in use."},
      {kMidiInvalidHandle, "No MIDI stream is open under this handle."},
      {kMidiNoDriver,
       "No audio output works: the built-in synthesizer found no sound driver to play through."},
      {kMidiNoMemory, "Not enough memory for the MIDI stream."},
      {kMidiNotSupported, "The MIDI output device does not support this."},
      {kMidiInvalidFlag, "An invalid flag was passed to the MIDI stream."},
      {kMidiInvalidParam, "An invalid parameter was passed to the MIDI stream."},
      {kMidiUnprepared, "The MIDI buffer header is not prepared."},
      {kMidiStillPlaying, "The MIDI buffer is still playing."},
      {kMidiNotReady, "The MIDI output device is busy; try again later."},
      {kMidiNoSoundfont,
       "The built-in synthesizer found no General MIDI soundfont: install fluid-soundfont-gm or "
       "set BRONDEL_SOUNDFONT."},
      {kMidiMessagesLost,
       "Some MIDI messages were lost: the output device stopped taking them before all were "
       "sent."},
  };
  const auto text = kTexts.find(code);
  return text != kTexts.end() ? text->second : "Unknown MIDI error " + std::to_string(code);
}

}  // namespace brondel::platform
