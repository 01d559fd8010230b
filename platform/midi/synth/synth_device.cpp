#include "platform/midi/synth/synth_device.h"

#include "platform/midi/jack/jack_environment.h"
#include "platform/midi/synth/live_synth.h"
#include "platform/midi/system/library_messages.h"
#include "platform/offline_synth.h"

namespace brondel::platform {

SynthOptions DefaultSynthOptions() {
  SynthOptions options;
  options.soundfonts = GeneralMidiSoundfonts();
#ifdef _WIN32
  options.audioDrivers = {"wasapi", "dsound"};
#else
  options.audioDrivers = {"pulseaudio", "pipewire", "alsa", "jack", "sdl2"};
#endif
  return options;
}

SynthDevice::SynthDevice(SynthOptions options) : options_(std::move(options)) {}

SynthDevice::~SynthDevice() = default;

MidiResult SynthDevice::Open() {
  const std::string soundfont = FindSoundfont(options_.soundfonts);
  if (soundfont.empty()) return kMidiNoSoundfont;
  PreventJackServerAutoStart();
  RouteLibraryMessages();
  // A soundfont that does not load, and every driver that does not start, have FluidSynth and
  // the sound libraries under it explain why at length; the result code says it in one line.
  const LibraryMessagesExpected expected;
  auto live = std::make_unique<LiveSynth>(options_);
  if (!live->Load(soundfont).empty()) return kMidiNoSoundfont;
  for (const std::string& driver : options_.audioDrivers) {
    if (live->StartDriver(driver)) {
      live_ = std::move(live);
      return kMidiNoError;
    }
  }
  return kMidiNoDriver;
}

bool SynthDevice::IsOpen() const {
  return live_ != nullptr;
}

void SynthDevice::Send(const MidiMessage& message, MidiMicros due) {
  live_->Send(message, due);
}

void SynthDevice::Silence(std::span<const MidiMessage> endings) {
  live_->Silence(endings);
}

void SynthDevice::Retract() {
  live_->Retract();
}

MidiResult SynthDevice::Close() {
  live_.reset();
  return kMidiNoError;
}

IMidiClock& SynthDevice::Clock() {
  return SystemMidiClock();
}

MidiMicros SynthDevice::OutputLatency() const {
  return live_ ? live_->Latency() : MidiMicros{0};
}

std::string SynthDevice::AudioDriver() const {
  return live_ ? live_->DriverName() : "";
}

}  // namespace brondel::platform
