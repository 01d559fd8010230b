// The built-in synthesizer without an audio device: a stream-event buffer rendered to samples as
// fast as the processor allows, each message at the sample its tick falls on, with the sounds
// and set-up of the live synthesizer. This and platform/midi_service.h are all of platform/midi
// that the program sees; brondel-tool's `wav` command uses it. Safe from any thread; each call
// has a synthesizer of its own.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brondel::platform {

/// The General MIDI soundfonts the built-in synthesizer looks for, live and offline, in order of
/// preference: the file named by the environment variable BRONDEL_SOUNDFONT; Debian's
/// /usr/share/sounds/sf2/default-GM.sf2 (the file its alternatives link leads to); in
/// /usr/share/soundfonts (other distributions) default.sf2, FluidR3_GM.sf2, then the other .sf2
/// files by name; /usr/share/sounds/sf2/FluidR3_GM.sf2; /usr/share/sounds/sf2/TimGM6mb.sf2.
std::vector<std::string> GeneralMidiSoundfonts();

/// Interleaved stereo samples (left, right, left, ...) in -1 to 1, or why there are none.
struct OfflineAudio {
  std::vector<float> samples;
  int sampleRate = 0;
  std::string error;  // non-empty: nothing was rendered
};

/// The sample a tick falls on at `division` ticks per quarter note (a tick lasts 500,000 /
/// division microseconds), rounded to the nearest.
std::uint64_t TickToFrame(std::uint64_t tick, std::uint32_t division, int sampleRate);

/// Plays `buffer` (12-byte stream events) at `division` ticks per quarter note through a
/// synthesizer set up as the built-in one, with the first of `soundfonts` that exists. The
/// audio starts with the buffer and ends at its last event; a message with a data byte above
/// 127 is not sent, as on a stream.
OfflineAudio RenderStreamOffline(
    std::span<const std::uint8_t> buffer, std::uint32_t division,
    const std::vector<std::string>& soundfonts = GeneralMidiSoundfonts(), int sampleRate = 44100);

}  // namespace brondel::platform
