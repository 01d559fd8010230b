#include "platform/offline_synth.h"

#include <algorithm>

#include "platform/midi/synth/fluid_synth.h"
#include "platform/midi/system/library_messages.h"
#include "platform/midi_service.h"

namespace brondel::platform {
namespace {

constexpr std::uint64_t kMicrosPerQuarter = 500'000;
constexpr std::uint64_t kMicrosPerSecond = 1'000'000;

// The synthesizer's audio, rendered block by block into the sink. FluidSynth renders in blocks
// of 64 samples of its own, whatever the calls ask for, so the samples are the same however a
// stretch between two messages is cut.
class BlockRenderer {
 public:
  BlockRenderer(const FluidSynth& fluid, const OfflineAudioSink& sink)
      : fluid_(fluid), sink_(sink), block_(2 * kOfflineBlockFrames) {}

  // Renders the frames from what is already done up to `frame`, so that the next message takes
  // effect at that sample. False when the sink refused a block.
  bool RenderUntil(std::uint64_t frame) {
    while (done_ < frame) {
      const std::uint64_t frames = std::min<std::uint64_t>(frame - done_, kOfflineBlockFrames);
      fluid_synth_write_float(fluid_.Synth(), static_cast<int>(frames), block_.data(), 0, 2,
                              block_.data(), 1, 2);
      if (!sink_(std::span<const float>(block_.data(), 2 * frames))) return false;
      done_ += frames;
    }
    return true;
  }

 private:
  const FluidSynth& fluid_;
  const OfflineAudioSink& sink_;
  std::vector<float> block_;
  std::uint64_t done_ = 0;
};

}  // namespace

std::uint64_t TickToFrame(std::uint64_t tick, std::uint32_t division, int sampleRate) {
  const std::uint64_t scale = static_cast<std::uint64_t>(division) * kMicrosPerSecond;
  return (tick * kMicrosPerQuarter * static_cast<std::uint64_t>(sampleRate) + scale / 2) / scale;
}

std::optional<std::uint64_t> OfflineFrameCount(std::span<const std::uint8_t> buffer,
                                               std::uint32_t division, int sampleRate) {
  const auto events = DecodeStreamEvents(buffer);
  if (!events || division == 0) return std::nullopt;
  return events->empty() ? 0 : TickToFrame(events->back().tick, division, sampleRate);
}

std::string RenderStreamOffline(std::span<const std::uint8_t> buffer, std::uint32_t division,
                                const OfflineAudioSink& sink,
                                const std::vector<std::string>& soundfonts, int sampleRate) {
  const auto events = DecodeStreamEvents(buffer);
  if (!events) return "the buffer is not made of whole stream events";
  if (division == 0) return "a time division of 0 ticks per quarter note";
  const std::string soundfont = FindSoundfont(soundfonts);
  if (soundfont.empty()) return "no soundfont found";
  RouteLibraryMessages();
  FluidSynth fluid(sampleRate, {});
  {
    const LibraryMessagesExpected expected;  // a soundfont that does not load: the text says so
    if (std::string error = fluid.Load(soundfont); !error.empty()) return error;
  }
  BlockRenderer renderer(fluid, sink);
  for (const StreamEvent& event : *events) {
    if (!renderer.RenderUntil(TickToFrame(event.tick, division, sampleRate))) {
      return "the output did not take the audio";
    }
    if (event.message) fluid.Play(*event.message);
  }
  return {};
}

}  // namespace brondel::platform
