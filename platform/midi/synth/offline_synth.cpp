#include "platform/offline_synth.h"

#include "platform/midi/synth/fluid_synth.h"
#include "platform/midi_service.h"

namespace brondel::platform {
namespace {

constexpr std::uint64_t kMicrosPerQuarter = 500'000;
constexpr std::uint64_t kMicrosPerSecond = 1'000'000;

// Renders the frames from what is already there up to `frame`, so that the next message takes
// effect at that sample.
void RenderUntil(const FluidSynth& fluid, std::vector<float>& samples, std::uint64_t frame) {
  const std::size_t done = samples.size() / 2;
  if (frame <= done) return;
  samples.resize(2 * frame);
  const auto offset = static_cast<int>(2 * done);
  fluid_synth_write_float(fluid.Synth(), static_cast<int>(frame - done), samples.data(), offset, 2,
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
  const std::string soundfont = FindSoundfont(soundfonts);
  if (soundfont.empty()) {
    audio.error = "no soundfont found";
    return audio;
  }
  FluidSynth fluid(sampleRate, {});
  audio.error = fluid.Load(soundfont);
  if (!audio.error.empty()) return audio;
  for (const StreamEvent& event : *events) {
    RenderUntil(fluid, audio.samples, TickToFrame(event.tick, division, sampleRate));
    if (event.message) fluid.Play(*event.message);
  }
  return audio;
}

}  // namespace brondel::platform
