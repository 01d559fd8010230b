// FluidSynth set up the same way on both paths of the built-in synthesizer, the live one
// (live_synth.h, behind an audio driver) and the offline one (platform/offline_synth.h), so that
// a section written to a file sounds as it plays: the same soundfont search, settings, bank mode
// and drum channel, and one function that turns a message into a FluidSynth call.
//
// Threads: FluidSynth's own lock (its thread-safe API, on by default) lets the live path call
// Play from the stream's thread while the audio thread renders.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <fluidsynth.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/midi_service.h"

namespace brondel::platform {

/// FluidSynth settings by name and value ({"synth.reverb.active", "0"}), applied as the
/// setting's own type (integer, number or text) asks.
using FluidSettingList = std::vector<std::pair<std::string, std::string>>;

/// Where General MIDI soundfonts are looked for, in this order.
struct SoundfontPlaces {
  std::string named;               // a file named by the user (BRONDEL_SOUNDFONT); may be empty
  std::string defaultLink;         // the system's default soundfont, a link that is resolved
  std::string folder;              // a folder of soundfonts: default.sf2, FluidR3_GM.sf2, others
  std::vector<std::string> known;  // files of known names, the larger first
};

/// The places of this system: BRONDEL_SOUNDFONT, Debian's default-GM.sf2 (its alternatives
/// link), /usr/share/soundfonts (other distributions), then FluidR3_GM.sf2 and TimGM6mb.sf2.
SoundfontPlaces SystemSoundfontPlaces();

/// The soundfonts to try, in order: the named file, the default link resolved to its file, the
/// folder's default.sf2 and FluidR3_GM.sf2 then its other .sf2 files by name (each resolved),
/// the known files. Links and folder entries that lead nowhere are left out, and a file reached
/// twice is tried once.
std::vector<std::string> SoundfontCandidates(const SoundfontPlaces& places);

/// The first of `soundfonts` that is an existing file, or an empty text.
std::string FindSoundfont(const std::vector<std::string>& soundfonts);

class FluidSynth {
 public:
  /// Settings at `sampleRate`, bank selects ignored ("gm" mode, so that a GM program stays
  /// audible whatever bank a rhythm asks for), then `extra` on top. Load makes the synthesizer.
  FluidSynth(double sampleRate, const FluidSettingList& extra);
  ~FluidSynth();
  FluidSynth(const FluidSynth&) = delete;
  FluidSynth& operator=(const FluidSynth&) = delete;

  /// Makes the synthesizer with `soundfont` loaded and channel 10 as a drum channel; an error
  /// text, empty on success.
  std::string Load(const std::string& soundfont);
  /// The settings, which an audio driver reads its own from.
  fluid_settings_t* Settings() const { return settings_; }
  /// The synthesizer; null before a successful Load.
  fluid_synth_t* Synth() const { return synth_; }
  /// The sample rate the settings ask for.
  double SampleRate() const;
  /// Applies `message` at once: it takes effect at the synthesizer's next 64-sample block.
  void Play(const MidiMessage& message) const;

 private:
  fluid_settings_t* settings_;
  fluid_synth_t* synth_ = nullptr;
};

}  // namespace brondel::platform
