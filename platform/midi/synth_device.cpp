#include "platform/midi/synth_device.h"

#include <fluidsynth.h>

#include <array>
#include <filesystem>

#include "platform/midi/jack_environment.h"

namespace brondel::platform {

struct SynthDevice::Fluid {
  fluid_settings_t* settings = new_fluid_settings();
  fluid_synth_t* synth = nullptr;
  fluid_audio_driver_t* driver = nullptr;
  std::string driverName;

  Fluid() = default;
  Fluid(const Fluid&) = delete;
  Fluid& operator=(const Fluid&) = delete;
  ~Fluid() {
    if (driver != nullptr) delete_fluid_audio_driver(driver);
    if (synth != nullptr) delete_fluid_synth(synth);
    delete_fluid_settings(settings);
  }
};

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

void ApplySetting(fluid_settings_t* settings, const std::string& name, const std::string& value) {
  switch (fluid_settings_get_type(settings, name.c_str())) {
    case FLUID_INT_TYPE:
      fluid_settings_setint(settings, name.c_str(), std::stoi(value));
      break;
    case FLUID_NUM_TYPE:
      fluid_settings_setnum(settings, name.c_str(), std::stod(value));
      break;
    default:
      fluid_settings_setstr(settings, name.c_str(), value.c_str());
  }
}

std::string FirstExistingFile(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) return path;
  }
  return {};
}

}  // namespace

SynthOptions DefaultSynthOptions() {
  SynthOptions options;
#ifdef _WIN32
  options.soundfonts = {"FluidR3_GM.sf2", "TimGM6mb.sf2"};
  options.audioDrivers = {"wasapi", "dsound"};
#else
  options.soundfonts = {"/usr/share/sounds/sf2/FluidR3_GM.sf2",
                        "/usr/share/sounds/sf2/TimGM6mb.sf2"};
  options.audioDrivers = {"pulseaudio", "pipewire", "alsa", "jack", "sdl2"};
#endif
  return options;
}

SynthDevice::SynthDevice(SynthOptions options) : options_(std::move(options)) {}

SynthDevice::~SynthDevice() = default;

MidiResult SynthDevice::Open() {
  const std::string soundfont = FirstExistingFile(options_.soundfonts);
  if (soundfont.empty()) return kMidiNoSoundfont;
  PreventJackServerAutoStart();
  auto fluid = std::make_unique<Fluid>();
  // Bank selects are ignored in "gm" mode, so a GM program stays audible whatever bank the
  // rhythm asks for.
  fluid_settings_setstr(fluid->settings, "synth.midi-bank-select", "gm");
  fluid_settings_setstr(fluid->settings, "audio.jack.id", "Brondel synthesizer");
  fluid_settings_setint(fluid->settings, "audio.jack.autoconnect", 1);
  for (const auto& [name, value] : options_.settings) ApplySetting(fluid->settings, name, value);
  fluid->synth = new_fluid_synth(fluid->settings);
  if (fluid->synth == nullptr || fluid_synth_sfload(fluid->synth, soundfont.c_str(), 1) < 0) {
    return kMidiNoSoundfont;
  }
  fluid_synth_set_channel_type(fluid->synth, 9, CHANNEL_TYPE_DRUM);
  const QuietFluidLog quiet;
  for (const std::string& driver : options_.audioDrivers) {
    fluid_settings_setstr(fluid->settings, "audio.driver", driver.c_str());
    fluid->driver = new_fluid_audio_driver(fluid->settings, fluid->synth);
    if (fluid->driver != nullptr) {
      fluid->driverName = driver;
      fluid_ = std::move(fluid);
      return kMidiNoError;
    }
  }
  return kMidiNoDriver;
}

bool SynthDevice::IsOpen() const {
  return fluid_ != nullptr;
}

void SynthDevice::Send(const MidiMessage& message, MidiMicros) {
  fluid_synth_t* synth = fluid_->synth;
  const int channel = message.bytes[0] & 0x0F;
  const int data1 = message.bytes[1];
  const int data2 = message.bytes[2];
  switch (message.bytes[0] & 0xF0) {
    case 0x80:
      fluid_synth_noteoff(synth, channel, data1);
      break;
    case 0x90:
      fluid_synth_noteon(synth, channel, data1, data2);
      break;
    case 0xA0:
      fluid_synth_key_pressure(synth, channel, data1, data2);
      break;
    case 0xB0:
      fluid_synth_cc(synth, channel, data1, data2);
      break;
    case 0xC0:
      fluid_synth_program_change(synth, channel, data1);
      break;
    case 0xD0:
      fluid_synth_channel_pressure(synth, channel, data1);
      break;
    default:
      fluid_synth_pitch_bend(synth, channel, data1 | data2 << 7);
  }
}

void SynthDevice::Silence(std::span<const MidiMessage> noteOffs) {
  for (const MidiMessage& message : noteOffs) Send(message, MidiMicros(0));
  fluid_synth_all_sounds_off(fluid_->synth, -1);
}

MidiResult SynthDevice::Close() {
  fluid_.reset();
  return kMidiNoError;
}

IMidiClock& SynthDevice::Clock() {
  return SystemMidiClock();
}

std::string SynthDevice::AudioDriver() const {
  return fluid_ ? fluid_->driverName : "";
}

}  // namespace brondel::platform
