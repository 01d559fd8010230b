// wav: a section as the built-in synthesizer sounds it, rendered offline to a WAV file block by
// block, so memory stays small however long the section; a section of more than an hour of
// audio (the timeline allows nine) is refused unless --max-minutes allows it.
#include <cstdint>
#include <optional>

#include "platform/file_io.h"
#include "platform/offline_synth.h"
#include "tools/commands.h"
#include "tools/interrupt.h"
#include "tools/queue_capture.h"
#include "tools/rhythm_input.h"
#include "tools/wav_file.h"

namespace brondel::tool {

namespace {

constexpr int kSampleRate = 44100;
constexpr std::uint64_t kDefaultMaxMinutes = 60;
constexpr std::size_t kMaxMinutesDigits = 9;  // so that their frames (x 60 x 44,100) fit 64 bits
// A render this long is worth a progress line (at about 30 times real time, a minute of music).
constexpr std::chrono::seconds kProgressAfter{2};

std::uint64_t MaxMinutes(const TCommandLine& line) {
  if (!line.Has("--max-minutes")) return kDefaultMaxMinutes;
  const std::string text = line.Value("--max-minutes");
  const std::optional<std::uint64_t> minutes = WholeNumber(text, kMaxMinutesDigits);
  if (!minutes || *minutes == 0) {
    throw TUsageError("--max-minutes takes a whole number of minutes, not '" + text + "'");
  }
  return *minutes;
}

void CheckLength(const std::string& path, const std::string& what, std::uint64_t frames,
                 std::uint64_t maxMinutes) {
  const std::string lasts = what + " lasts " + AudioClock(frames / kSampleRate) + " of audio";
  if (frames > maxMinutes * 60 * kSampleRate) {
    throw TFileError(path, lasts + ", more than the " + std::to_string(maxMinutes) +
                               " minutes allowed (--max-minutes allows more)");
  }
  if (frames > kMaxWavFrames) {
    throw TFileError(path, lasts + ", more than a WAV file holds (" +
                               AudioClock(kMaxWavFrames / kSampleRate) + ")");
  }
}

}  // namespace

int RunWav(const TCommandLine& line, TConsole& console) {
  const std::string& path = line.positional[0];
  const int section = SectionOf(path, line.positional[1]);
  TRhythmDocuments docs = OpenAsMainFile(path, console.err);
  const TEventBuffer buffer = SectionBuffer(path, docs, section);
  // The window sets the stream's time division to the tempo byte before it plays.
  return WriteWav(line, console, path,
                  std::string(kSectionNames[static_cast<std::size_t>(section)]), buffer,
                  StreamTimeDivision(docs.slots[kMainSlot]));
}

int WriteWav(const TCommandLine& line, TConsole& console, const std::string& path,
             const std::string& what, const TEventBuffer& buffer, std::uint32_t division) {
  const std::uint64_t maxMinutes = MaxMinutes(line);
  const std::optional<std::uint64_t> frames =
      platform::OfflineFrameCount(buffer, division, kSampleRate);
  if (!frames) throw TFileError(path, "cannot render: a tempo byte of 0");
  CheckLength(path, what, *frames, maxMinutes);

  const std::string out = line.Value("-o");
  const TInterruptCatcher catcher;  // Ctrl-C ends the render and leaves no file behind
  TWavWriter wav(out, console.out, *frames, kSampleRate);
  TRenderProgress progress(
      console.err, *frames, kSampleRate,
      platform::StandardErrorIsTerminal() ? std::optional(kProgressAfter) : std::nullopt);
  bool written = true;
  const std::string error = platform::RenderStreamOffline(
      buffer, division,
      [&](std::span<const float> samples) {
        progress.Add(samples.size() / 2);
        return !TInterruptCatcher::Requested() && (written = wav.Append(samples));
      },
      platform::GeneralMidiSoundfonts(), kSampleRate);
  progress.Finish();
  if (TInterruptCatcher::Requested()) return kExitInterrupted;
  if (!written) wav.Finish();  // throws why the output failed
  if (!error.empty()) throw TFileError(path, "cannot render: " + error);
  wav.Finish();
  return kExitOk;
}

}  // namespace brondel::tool
