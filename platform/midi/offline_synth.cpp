#include "platform/midi/offline_synth.h"

#include <fluidsynth.h>

#include <memory>

#include "platform/midi/stream_events.h"

namespace brondel::platform {

namespace {

constexpr std::uint64_t kMicrosPerQuarter = 500'000;
constexpr std::uint64_t kMicrosPerSecond = 1'000'000;

struct OfflineFluid {
  fluid_settings_t* settings = new_fluid_settings();
  fluid_synth_t* synth = nullptr;
  fluid_midi_event_t* event = new_fluid_midi_event();

  OfflineFluid() = default;
  OfflineFluid(const OfflineFluid&) = delete;
  OfflineFluid& operator=(const OfflineFluid&) = delete;
  ~OfflineFluid() {
    delete_fluid_midi_event(event);
    if (synth != nullptr) delete_fluid_synth(synth);
    delete_fluid_settings(settings);
  }
};

// The same sounds as the built-in synthesizer: its soundfont, and bank selects ignored so that
// a GM program stays audible whatever bank the rhythm asks for.
std::string StartSynth(OfflineFluid& fluid, const std::vector<std::string>& soundfonts,
                       int sampleRate) {
  fluid_settings_setnum(fluid.settings, "synth.sample-rate", sampleRate);
  fluid_settings_setstr(fluid.settings, "synth.midi-bank-select", "gm");
  fluid.synth = new_fluid_synth(fluid.settings);
  if (fluid.synth == nullptr) return "the synthesizer could not be created";
  const std::string soundfont = FindSoundfont(soundfonts);
  if (soundfont.empty()) return "no soundfont found";
  if (fluid_synth_sfload(fluid.synth, soundfont.c_str(), 1) < 0) {
    return "the soundfont " + soundfont + " could not be loaded";
  }
  return {};
}

// FluidSynth's own router plays the message, as a MIDI driver would hand it over. The first
// data byte is the key, controller or program; the second the velocity or value.
void Send(OfflineFluid& fluid, const MidiMessage& message) {
  const int type = message.bytes[0] & 0xF0;
  fluid_midi_event_set_type(fluid.event, type);
  fluid_midi_event_set_channel(fluid.event, message.bytes[0] & 0x0F);
  fluid_midi_event_set_key(fluid.event, message.bytes[1]);
  fluid_midi_event_set_velocity(fluid.event, message.bytes[2]);
  if (type == 0xE0)
    fluid_midi_event_set_pitch(fluid.event, message.bytes[1] | message.bytes[2] << 7);
  fluid_synth_handle_midi_event(fluid.synth, fluid.event);
}

// Renders the frames from what is already there up to `frame`, so that the next message takes
// effect at that sample.
void RenderUntil(OfflineFluid& fluid, std::vector<float>& samples, std::uint64_t frame) {
  const std::size_t done = samples.size() / 2;
  if (frame <= done) return;
  samples.resize(2 * frame);
  const auto offset = static_cast<int>(2 * done);
  fluid_synth_write_float(fluid.synth, static_cast<int>(frame - done), samples.data(), offset, 2,
                          samples.data(), offset + 1, 2);
}

}  // namespace

std::uint64_t TickToFrame(std::uint64_t tick, std::uint32_t division, int sampleRate) {
  const std::uint64_t scale = static_cast<std::uint64_t>(division) * kMicrosPerSecond;
  return (tick * kMicrosPerQuarter * static_cast<std::uint64_t>(sampleRate) + scale / 2) / scale;
}

OfflineAudio RenderStreamOffline(std::span<const std::uint8_t> buffer, std::uint32_t division,
                                 const std::vector<std::string>& soundfonts, int sampleRate) {
  OfflineAudio audio;
  audio.sampleRate = sampleRate;
  const auto events = DecodeStreamEvents(buffer);
  if (!events) {
    audio.error = "the buffer is not made of whole stream events";
    return audio;
  }
  if (division == 0) {
    audio.error = "a time division of 0 ticks per quarter note";
    return audio;
  }
  OfflineFluid fluid;
  audio.error = StartSynth(fluid, soundfonts, sampleRate);
  if (!audio.error.empty()) return audio;
  for (const StreamEvent& event : *events) {
    RenderUntil(fluid, audio.samples, TickToFrame(event.tick, division, sampleRate));
    if (event.message) Send(fluid, *event.message);
  }
  return audio;
}

}  // namespace brondel::platform
