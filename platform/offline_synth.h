// The built-in synthesizer without an audio device: a stream-event buffer rendered to samples as
// fast as the processor allows, each message at the sample its tick falls on, with the sounds
// and set-up of the live synthesizer. The audio is handed over block by block as it is rendered,
// so memory stays small whatever the length. This and platform/midi_service.h are all of
// platform/midi that the program sees; brondel-tool's `wav` command uses it. Safe from any
// thread; each call has a synthesizer of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
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

/// The most frames one block of rendered audio holds.
inline constexpr std::size_t kOfflineBlockFrames = 4096;

/// Takes one block of rendered audio, the blocks coming in order: interleaved stereo samples
/// (left, right, left, ...) in -1 to 1. Returns false to end the render there (its output
/// failed).
using OfflineAudioSink = std::function<bool(std::span<const float> samples)>;

/// The sample a tick falls on at `division` ticks per quarter note (a tick lasts 500,000 /
/// division microseconds), rounded to the nearest.
std::uint64_t TickToFrame(std::uint64_t tick, std::uint32_t division, int sampleRate);

/// The frames the audio of `buffer` lasts: up to the sample of its last event. Nullopt when the
/// buffer is not made of whole stream events or the division is 0.
std::optional<std::uint64_t> OfflineFrameCount(std::span<const std::uint8_t> buffer,
                                               std::uint32_t division, int sampleRate = 44100);

/// Plays `buffer` (12-byte stream events) at `division` ticks per quarter note through a
/// synthesizer set up as the built-in one, with the first of `soundfonts` that exists, and hands
/// the audio to `sink` as it goes, in blocks of at most kOfflineBlockFrames frames. The audio
/// starts with the buffer and ends at its last event (OfflineFrameCount frames); a message with
/// a data byte above 127 is not sent, as on a stream. Returns why the audio could not be
/// rendered whole (the sink included), or an empty text.
std::string RenderStreamOffline(
    std::span<const std::uint8_t> buffer, std::uint32_t division, const OfflineAudioSink& sink,
    const std::vector<std::string>& soundfonts = GeneralMidiSoundfonts(), int sampleRate = 44100);

}  // namespace brondel::platform
