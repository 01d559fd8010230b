#include "platform/midi/synth/live_synth.h"

#include <algorithm>
#include <array>

#include "platform/midi_messages.h"

namespace brondel::platform {
namespace {

// The most output or effect buffers a driver may hand the callback.
constexpr int kMaxBuffers = 16;

// The time of a message that goes at the start of the next buffer: long past on any clock.
constexpr double kAtOnce = 0;

// FluidSynth's callback: the buffer starts now on the clock that due times refer to.
int RenderNow(void* self, int len, int nfx, float* fx[], int nout, float* out[]) {
  const auto now = static_cast<double>(SystemMidiClock().Now().count());
  return static_cast<LiveSynth*>(self)->Render(now, len, nfx, fx, nout, out);
}

}  // namespace

LiveSynth::LiveSynth(const SynthOptions& options)
    : fluid_(options.sampleRate, options.settings),
      sampleRate_(fluid_.SampleRate()),
      wakeMargin_(static_cast<double>(options.wakeMargin.count())),
      queue_(options.queueBlock),
      latency_(wakeMargin_) {
  fluid_settings_setstr(fluid_.Settings(), "audio.jack.id", options.jackClientName.c_str());
  fluid_settings_setint(fluid_.Settings(), "audio.jack.autoconnect", 1);
}

LiveSynth::~LiveSynth() {
  if (driver_ != nullptr) delete_fluid_audio_driver(driver_);
}

bool LiveSynth::StartDriver(const std::string& name) {
  fluid_settings_setstr(fluid_.Settings(), "audio.driver", name.c_str());
  driver_ = new_fluid_audio_driver2(fluid_.Settings(), &RenderNow, this);
  timed_ = driver_ != nullptr;
  if (driver_ == nullptr) driver_ = new_fluid_audio_driver(fluid_.Settings(), fluid_.Synth());
  if (driver_ != nullptr) driverName_ = name;
  return driver_ != nullptr;
}

void LiveSynth::Send(const MidiMessage& message, MidiMicros due) {
  Enqueue(message, static_cast<double>(due.count()) + latency_.load());
}

void LiveSynth::Silence(std::span<const MidiMessage> endings) {
  queue_.MarkStale();
  // Queued behind what Render may be applying this moment: a note it took off the queue just
  // before it was marked still gets its note-off, and the cut comes after every note.
  for (const MidiMessage& message : endings) Enqueue(message, kAtOnce);
  for (int channel = 0; channel < midi::kChannelCount; ++channel) {
    Enqueue({{midi::ChannelStatus(midi::kControlChange, channel), midi::kAllSoundOff, 0}, 3},
            kAtOnce);
  }
}

void LiveSynth::Retract() {
  queue_.MarkStale();
}

MidiMicros LiveSynth::Latency() const {
  return MidiMicros(static_cast<MidiMicros::rep>(latency_.load()));
}

void LiveSynth::Enqueue(const MidiMessage& message, double time) {
  if (timed_) {
    queue_.Push(message, static_cast<std::int64_t>(time));
  } else {
    fluid_.Play(message);
  }
}

int LiveSynth::RenderPart(int from, int to, int nfx, float* fx[], int nout, float* out[]) const {
  // Drivers without effect buffers get the effects mixed into the dry ones, as FluidSynth
  // advises.
  std::array<float*, kMaxBuffers> dry{};
  std::array<float*, kMaxBuffers> effects{};
  const int outputs = std::min(nout, kMaxBuffers);
  const int effectCount = nfx == 0 ? 4 : std::min(nfx, kMaxBuffers);
  for (int i = 0; i < outputs; ++i) dry[i] = out[i] + from;
  for (int i = 0; i < effectCount; ++i) effects[i] = nfx == 0 ? dry[i % outputs] : fx[i] + from;
  return fluid_synth_process(fluid_.Synth(), to - from, effectCount, effects.data(), outputs,
                             dry.data());
}

int LiveSynth::Render(double now, int len, int nfx, float* fx[], int nout, float* out[]) {
  clock_.Tick(now, len, sampleRate_);
  latency_.store(clock_.Period() + wakeMargin_);
  int done = 0;
  bool atOnce = false;
  while (const TimedMessageQueue::Entry* entry = queue_.FrontToPlay(atOnce)) {
    const long at = atOnce ? done : clock_.FrameAt(static_cast<double>(entry->time));
    if (at >= len) break;
    if (at > done) {
      RenderPart(done, static_cast<int>(at), nfx, fx, nout, out);
      done = static_cast<int>(at);
    }
    fluid_.Play(entry->message);
    queue_.Pop();
  }
  return RenderPart(done, len, nfx, fx, nout, out);
}

}  // namespace brondel::platform
