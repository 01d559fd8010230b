#include "platform/midi/synth/synth_device.h"

#include <array>

#include "platform/midi/jack/jack_environment.h"
#include "platform/midi/synth/live_synth.h"
#include "platform/offline_synth.h"

namespace brondel::platform {
namespace {

// FluidSynth reports every driver that does not start, and lists the drivers it has; while
// the drivers are tried in turn those reports are expected and kept off the console.
class QuietFluidLog {
 public:
  QuietFluidLog() {
    for (std::size_t i = 0; i < kLevels.size(); ++i) {
      previous_[i] = fluid_set_log_function(kLevels[i], nullptr, nullptr);
    }
  }
  ~QuietFluidLog() {
    for (std::size_t i = 0; i < kLevels.size(); ++i) {
      fluid_set_log_function(kLevels[i], previous_[i], nullptr);
    }
  }
  QuietFluidLog(const QuietFluidLog&) = delete;
  QuietFluidLog& operator=(const QuietFluidLog&) = delete;

 private:
  static constexpr std::array<int, 3> kLevels = {FLUID_ERR, FLUID_WARN, FLUID_INFO};
  std::array<fluid_log_function_t, kLevels.size()> previous_{};
};

}  // namespace

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
  auto live = std::make_unique<LiveSynth>(options_);
  if (!live->Load(soundfont).empty()) return kMidiNoSoundfont;
  const QuietFluidLog quiet;
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

void SynthDevice::Silence(std::span<const MidiMessage> noteOffs) {
  live_->Silence(noteOffs);
}

MidiResult SynthDevice::Close() {
  live_.reset();
  return kMidiNoError;
}

IMidiClock& SynthDevice::Clock() {
  return SystemMidiClock();
}

std::string SynthDevice::AudioDriver() const {
  return live_ ? live_->DriverName() : "";
}

}  // namespace brondel::platform
