// The built-in synthesizer's two paths sound alike: the same messages at the same samples give
// the same audio through the live path (rendered as its audio driver's callback would, buffer by
// buffer, each queued message at its own frame) and through the offline renderer that
// brondel-tool's wav command uses. The messages ask for a bank variation that the soundfont has,
// so a path that honoured bank selects would sound different; they also change the drum kit and
// play drums on channel 10. The offline audio comes in blocks, which join as one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/midi/synth/fluid_synth.h"
#include "platform/midi/synth/live_synth.h"
#include "platform/offline_synth.h"
#include "tests/platform/stream_test_support.h"

namespace brondel::platform {
namespace {

constexpr int kRate = 48000;
constexpr std::uint32_t kDivision = 500;  // ticks of 1 ms: 48 frames each
constexpr int kBufferFrames = 480;        // the callback's buffers: 10 ms, not whole blocks
constexpr double kBufferMicros = 10'000;

struct TimedMessage {
  std::uint32_t tick;
  MidiMessage message;
};

// A guitar asked for in bank 8 (where the soundfont keeps a ukulele) starting mid-block, a
// drum kit change and two drums on channel 10, the guitar ending before the last drum.
const std::vector<TimedMessage> kMessages = {
    {0, Msg(0xB0, 0, 8)},     {0, Msg(0xC0, 24)},     {3, Msg(0x90, 52, 110)},
    {5, Msg(0xB9, 0, 8)},     {5, Msg(0xC9, 25)},     {7, Msg(0x99, 38, 127)},
    {30, Msg(0x99, 36, 127)}, {90, Msg(0x80, 52, 0)}, {150, Msg(0x89, 36, 0)},
};

std::vector<std::uint8_t> AsStreamBuffer(const std::vector<TimedMessage>& messages) {
  std::vector<std::uint8_t> buffer;
  std::uint32_t last = 0;
  for (const auto& [tick, message] : messages) {
    const auto record =
        StreamBuffer({{tick - last, message.bytes[0], message.bytes[1], message.bytes[2]}});
    buffer.insert(buffer.end(), record.begin(), record.end());
    last = tick;
  }
  return buffer;
}

// The live path with no audio driver: every message is sent before the first buffer (so the
// latency is the wake margin alone, here 0), then buffers of exact length are rendered one after
// the other, the callbacks coming exactly on time. Interleaved like the offline audio.
std::vector<float> RenderLive(const std::string& soundfont, std::size_t frames) {
  SynthOptions options = DefaultSynthOptions();
  options.sampleRate = kRate;
  options.wakeMargin = MidiMicros(0);
  LiveSynth live(options);
  EXPECT_EQ(live.Load(soundfont), "");
  for (const auto& [tick, message] : kMessages) live.Send(message, MidiMicros(tick * 1000));
  std::vector<float> samples;
  std::vector<float> left(kBufferFrames);
  std::vector<float> right(kBufferFrames);
  for (int buffer = 0; samples.size() < 2 * frames; ++buffer) {
    std::fill(left.begin(), left.end(), 0.0f);
    std::fill(right.begin(), right.end(), 0.0f);
    float* out[] = {left.data(), right.data()};
    live.Render(buffer * kBufferMicros, kBufferFrames, 0, nullptr, 2, out);
    for (int i = 0; i < kBufferFrames; ++i) {
      samples.push_back(left[i]);
      samples.push_back(right[i]);
    }
  }
  samples.resize(2 * frames);
  return samples;
}

// The offline audio as it comes, block by block, put together.
std::vector<float> RenderOffline(const std::string& soundfont) {
  std::vector<float> samples;
  const std::string error = RenderStreamOffline(
      AsStreamBuffer(kMessages), kDivision,
      [&samples](std::span<const float> block) {
        EXPECT_LE(block.size(), 2 * kOfflineBlockFrames);
        samples.insert(samples.end(), block.begin(), block.end());
        return true;
      },
      {soundfont}, kRate);
  EXPECT_EQ(error, "");
  return samples;
}

TEST(SynthPaths, LiveAndOfflineRenderTheSameSamplesForTheSameMessages) {
  const std::string soundfont = FindSoundfont(GeneralMidiSoundfonts());
  if (soundfont.empty()) GTEST_SKIP() << "no General MIDI soundfont installed";
  const std::vector<float> offline = RenderOffline(soundfont);
  const std::size_t frames = offline.size() / 2;
  ASSERT_EQ(frames, TickToFrame(kMessages.back().tick, kDivision, kRate));
  ASSERT_EQ(OfflineFrameCount(AsStreamBuffer(kMessages), kDivision, kRate), frames);
  const std::vector<float> live = RenderLive(soundfont, frames);

  float loudest = 0;
  for (float sample : offline) loudest = std::max(loudest, std::fabs(sample));
  EXPECT_GT(loudest, 0.05f) << "the messages must be heard for the comparison to mean anything";
  for (std::size_t i = 0; i < offline.size(); ++i) {
    ASSERT_NEAR(live[i], offline[i], 1e-6f)
        << "first difference at frame " << i / 2 << (i % 2 == 0 ? " (left)" : " (right)");
  }
}

TEST(SynthPaths, AnOutputThatFailsEndsTheOfflineRender) {
  const std::string soundfont = FindSoundfont(GeneralMidiSoundfonts());
  if (soundfont.empty()) GTEST_SKIP() << "no General MIDI soundfont installed";
  int blocks = 0;
  const std::string error = RenderStreamOffline(
      AsStreamBuffer(kMessages), kDivision,
      [&blocks](std::span<const float>) { return ++blocks < 1; }, {soundfont}, kRate);
  EXPECT_EQ(error, "the output did not take the audio");
  EXPECT_EQ(blocks, 1);
}

// Peak of one buffer of the live path, rendered as the audio callback would at `now` (us).
float RenderPeak(LiveSynth& live, double now) {
  std::vector<float> left(kBufferFrames);
  std::vector<float> right(kBufferFrames);
  float* out[] = {left.data(), right.data()};
  live.Render(now, kBufferFrames, 0, nullptr, 2, out);
  float peak = 0;
  for (int i = 0; i < kBufferFrames; ++i)
    peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
  return peak;
}

TEST(SynthPaths, SilenceCutsAHeldOrganChordByTheNextBuffer) {
  // An organ sounds on until its note-off and then takes a long release: Stop must not leave
  // that release (nor a note whose note-on the audio thread was taking) sounding.
  const std::string soundfont = FindSoundfont(GeneralMidiSoundfonts());
  if (soundfont.empty()) GTEST_SKIP() << "no General MIDI soundfont installed";
  SynthOptions options = DefaultSynthOptions();
  options.sampleRate = kRate;
  options.wakeMargin = MidiMicros(0);
  options.settings = {{"synth.reverb.active", "0"}, {"synth.chorus.active", "0"}};
  LiveSynth live(options);
  ASSERT_EQ(live.Load(soundfont), "");
  live.Send(Msg(0xC0, 19), MidiMicros(0));
  for (const std::uint8_t key : {std::uint8_t{60}, std::uint8_t{64}, std::uint8_t{67}}) {
    live.Send(Msg(0x90, key, 110), MidiMicros(0));
  }
  float loudest = 0;
  for (int buffer = 0; buffer < 30; ++buffer) {
    loudest = std::max(loudest, RenderPeak(live, buffer * kBufferMicros));
  }
  ASSERT_GT(loudest, 0.05f);
  live.Silence(
      std::vector<MidiMessage>{Msg(0x80, 60), Msg(0x80, 64), Msg(0x80, 67), Msg(0xB0, 123)});
  RenderPeak(live, 30 * kBufferMicros);
  EXPECT_LT(RenderPeak(live, 31 * kBufferMicros), 1e-4f);
}

}  // namespace
}  // namespace brondel::platform
