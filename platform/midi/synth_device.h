// The built-in General MIDI synthesizer (FluidSynth), so that a rhythm can be heard with no
// keyboard connected. It plays through the first audio driver of the platform that starts, and
// where that driver lets it render the audio itself, each message sounds at its own sample.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/midi/midi_device.h"

namespace brondel::platform {

/// Where the synthesizer looks for its sounds and its audio output.
struct SynthOptions {
  std::vector<std::string> soundfonts;    // the first file that exists is loaded
  std::vector<std::string> audioDrivers;  // tried in turn until one starts
  std::vector<std::pair<std::string, std::string>> settings;  // further FluidSynth settings
};

/// FluidR3_GM.sf2, else TimGM6mb.sf2; the platform's audio drivers in order of preference.
SynthOptions DefaultSynthOptions();

/// The first of `soundfonts` that is an existing file, or an empty text.
std::string FindSoundfont(const std::vector<std::string>& soundfonts);

class SynthDevice final : public IMidiDevice {
 public:
  explicit SynthDevice(SynthOptions options = DefaultSynthOptions());
  ~SynthDevice() override;
  SynthDevice(const SynthDevice&) = delete;
  SynthDevice& operator=(const SynthDevice&) = delete;

  std::string Name() const override { return "Built-in General MIDI synthesizer"; }
  /// Loads the soundfont and starts audio: kMidiNoSoundfont or kMidiNoDriver when it cannot.
  MidiResult Open() override;
  bool IsOpen() const override;
  /// Plays the message at the sample of `due` plus a fixed latency (a buffer and 5 ms), or at
  /// once where the driver renders on its own.
  void Send(const MidiMessage& message, MidiMicros due) override;
  /// Drops the queued messages, sends the note-offs, then cuts every voice.
  void Silence(std::span<const MidiMessage> noteOffs) override;
  MidiResult Close() override;
  IMidiClock& Clock() override;
  /// The audio driver that Open started; empty while closed.
  std::string AudioDriver() const;

 private:
  struct Fluid;
  SynthOptions options_;
  std::unique_ptr<Fluid> fluid_;
};

}  // namespace brondel::platform
