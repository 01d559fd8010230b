#include "platform/midi/synth_device.h"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <filesystem>

#include "platform/midi/buffer_clock.h"
#include "platform/midi/jack_environment.h"
#include "platform/midi/timed_queue.h"

namespace brondel::platform {
namespace {

// How late the stream's thread may wake and still have its message in the queue before the
// audio callback that renders the message's time.
constexpr double kWakeMarginMicros = 5000;
constexpr std::size_t kQueueEntries = 4096;
constexpr int kMaxBuffers = 16;

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

void Play(fluid_synth_t* synth, const MidiMessage& message) {
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

double MicrosNow() {
  return static_cast<double>(SystemMidiClock().Now().count());
}

}  // namespace

// The synthesizer and its audio output. Where the driver lets the program render (a callback),
// every message is queued with its time and applied at its own sample of the buffer being
// rendered, a fixed latency later; otherwise it is applied as it comes.
struct SynthDevice::Fluid {
  fluid_settings_t* settings = new_fluid_settings();
  fluid_synth_t* synth = nullptr;
  fluid_audio_driver_t* driver = nullptr;
  std::string driverName;
  bool timed = false;
  double nominalRate = 48000;
  TimedMessageQueue queue{kQueueEntries};
  std::atomic<double> latencyMicros{kWakeMarginMicros};
  BufferClock clock;  // the audio thread's own

  Fluid() = default;
  Fluid(const Fluid&) = delete;
  Fluid& operator=(const Fluid&) = delete;
  ~Fluid() {
    if (driver != nullptr) delete_fluid_audio_driver(driver);
    if (synth != nullptr) delete_fluid_synth(synth);
    delete_fluid_settings(settings);
  }

  bool StartDriver(const std::string& name) {
    fluid_settings_setstr(settings, "audio.driver", name.c_str());
    driver = new_fluid_audio_driver2(settings, &Fluid::Render, this);
    timed = driver != nullptr;
    if (driver == nullptr) driver = new_fluid_audio_driver(settings, synth);
    if (driver != nullptr) driverName = name;
    return driver != nullptr;
  }

  void Send(const MidiMessage& message, MidiMicros due) {
    const double time = static_cast<double>(due.count()) + latencyMicros.load();
    if (!timed || !queue.Push(message, static_cast<std::int64_t>(time))) Play(synth, message);
  }

  // Renders frames [from, to) of the driver's buffers. Drivers without effect buffers get the
  // effects mixed into the dry ones, as FluidSynth advises.
  int RenderPart(int from, int to, int nfx, float* fx[], int nout, float* out[]) const {
    std::array<float*, kMaxBuffers> dry{};
    std::array<float*, kMaxBuffers> effects{};
    const int outputs = std::min(nout, kMaxBuffers);
    const int effectCount = nfx == 0 ? 4 : std::min(nfx, kMaxBuffers);
    for (int i = 0; i < outputs; ++i) dry[i] = out[i] + from;
    for (int i = 0; i < effectCount; ++i) effects[i] = nfx == 0 ? dry[i % outputs] : fx[i] + from;
    return fluid_synth_process(synth, to - from, effectCount, effects.data(), outputs, dry.data());
  }

  // The audio callback: renders up to each queued message's sample, applies it, and goes on.
  static int Render(void* self, int len, int nfx, float* fx[], int nout, float* out[]) {
    Fluid& fluid = *static_cast<Fluid*>(self);
    fluid.clock.Tick(MicrosNow(), len, fluid.nominalRate);
    fluid.latencyMicros.store(fluid.clock.Period() + kWakeMarginMicros);
    int done = 0;
    while (const TimedMessageQueue::Entry* entry = fluid.queue.Front()) {
      if (!fluid.queue.IsStale(*entry)) {
        const long at = fluid.clock.FrameAt(static_cast<double>(entry->time));
        if (at >= len) break;
        if (at > done) {
          fluid.RenderPart(done, static_cast<int>(at), nfx, fx, nout, out);
          done = static_cast<int>(at);
        }
        Play(fluid.synth, entry->message);
      }
      fluid.queue.Pop();
    }
    return fluid.RenderPart(done, len, nfx, fx, nout, out);
  }
};

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

std::string FindSoundfont(const std::vector<std::string>& soundfonts) {
  for (const std::string& path : soundfonts) {
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) return path;
  }
  return {};
}

SynthDevice::SynthDevice(SynthOptions options) : options_(std::move(options)) {}

SynthDevice::~SynthDevice() = default;

MidiResult SynthDevice::Open() {
  const std::string soundfont = FindSoundfont(options_.soundfonts);
  if (soundfont.empty()) return kMidiNoSoundfont;
  PreventJackServerAutoStart();
  auto fluid = std::make_unique<Fluid>();
  // Bank selects are ignored in "gm" mode, so a GM program stays audible whatever bank the
  // rhythm asks for.
  fluid_settings_setstr(fluid->settings, "synth.midi-bank-select", "gm");
  fluid_settings_setnum(fluid->settings, "synth.sample-rate", 48000);
  fluid_settings_setstr(fluid->settings, "audio.jack.id", "Brondel synthesizer");
  fluid_settings_setint(fluid->settings, "audio.jack.autoconnect", 1);
  for (const auto& [name, value] : options_.settings) ApplySetting(fluid->settings, name, value);
  fluid->synth = new_fluid_synth(fluid->settings);
  if (fluid->synth == nullptr || fluid_synth_sfload(fluid->synth, soundfont.c_str(), 1) < 0) {
    return kMidiNoSoundfont;
  }
  fluid_synth_set_channel_type(fluid->synth, 9, CHANNEL_TYPE_DRUM);
  fluid_settings_getnum(fluid->settings, "synth.sample-rate", &fluid->nominalRate);
  const QuietFluidLog quiet;
  for (const std::string& driver : options_.audioDrivers) {
    if (fluid->StartDriver(driver)) {
      fluid_ = std::move(fluid);
      return kMidiNoError;
    }
  }
  return kMidiNoDriver;
}

bool SynthDevice::IsOpen() const {
  return fluid_ != nullptr;
}

void SynthDevice::Send(const MidiMessage& message, MidiMicros due) {
  fluid_->Send(message, due);
}

void SynthDevice::Silence(std::span<const MidiMessage> noteOffs) {
  fluid_->queue.MarkStale();
  for (const MidiMessage& message : noteOffs) Play(fluid_->synth, message);
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
