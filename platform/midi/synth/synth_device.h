// The built-in General MIDI synthesizer (FluidSynth), so that a rhythm can be heard with no
// keyboard connected. It plays through the first audio driver of the platform that starts, and
// where that driver lets it render the audio itself, each message sounds at its own sample.
//
// Threads: as every device (midi_device.h); the audio driver's thread renders (live_synth.h).
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/midi/engine/midi_device.h"

namespace brondel::platform {

class LiveSynth;

/// Where the synthesizer looks for its sounds and its audio output, and how it times messages.
struct SynthOptions {
  std::vector<std::string> soundfonts;    // the first file that exists is loaded
  std::vector<std::string> audioDrivers;  // tried in turn until one starts
  std::vector<std::pair<std::string, std::string>> settings;  // further FluidSynth settings
  double sampleRate = 48000;
  std::string jackClientName = "Brondel synthesizer";  // when the audio goes to JACK
  // How late the stream's thread may wake and still have its message queued before the audio
  // callback that renders the message's time.
  MidiMicros wakeMargin{5000};
  std::size_t queueBlock = 4096;  // messages per block of the queue to the audio callback
};

/// The General MIDI soundfonts; the platform's audio drivers in order of preference.
SynthOptions DefaultSynthOptions();

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
  /// Plays the message at the sample of `due` plus a fixed latency (a buffer and the wake
  /// margin), or at once where the driver renders on its own.
  void Send(const MidiMessage& message, MidiMicros due) override;
  /// Drops the queued messages, sends the endings, then cuts every voice.
  void Silence(std::span<const MidiMessage> endings) override;
  void Retract() override;
  MidiResult Close() override;
  IMidiClock& Clock() override;
  /// A buffer of the audio driver as learnt, plus the wake margin; 0 while closed.
  MidiMicros OutputLatency() const override;
  /// The audio driver that Open started; empty while closed.
  std::string AudioDriver() const;

 private:
  const SynthOptions options_;
  std::unique_ptr<LiveSynth> live_;
};

}  // namespace brondel::platform
