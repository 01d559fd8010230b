// WAV files of rendered audio, written block by block as the audio is rendered: the header
// first (its sizes are known from the length of the section, so that the standard output, which
// cannot be rewound, gets a whole file too), then 16-bit samples as they come. A file goes
// through the safe-write temporary file, so a render that fails leaves an existing file as it
// was.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "platform/file_io.h"

namespace brondel::tool {

/// The most frames of 16-bit stereo a WAV file can count (its sizes are 32-bit).
inline constexpr std::uint64_t kMaxWavFrames = (0xFFFFFFFFull - 36) / 4;

/// A length of audio as a clock shows it: 3:07, 1:02:03.
std::string AudioClock(std::uint64_t seconds);

/// The 44-byte header of a 16-bit PCM stereo WAV file of `frames` frames at `sampleRate`
/// (frames at most kMaxWavFrames).
std::vector<std::uint8_t> WavHeader(std::uint64_t frames, int sampleRate);

/// Appends samples in -1 to 1 as 16-bit little-endian PCM, clipped, each the value libsndfile
/// gives it.
void AppendPcm16(std::span<const float> samples, std::vector<std::uint8_t>& bytes);

/// One WAV file of `frames` frames on its way to `out` (a file, or the standard output for "-").
/// Nothing goes out before the first samples, so a render that cannot start writes nothing.
class TWavWriter {
 public:
  /// Starts the output; throws TFileError naming `out` when it cannot be written.
  TWavWriter(const std::string& out, std::ostream& standardOutput, std::uint64_t frames,
             int sampleRate);
  ~TWavWriter();
  TWavWriter(const TWavWriter&) = delete;
  TWavWriter& operator=(const TWavWriter&) = delete;

  /// Appends interleaved stereo samples (the header before the first); false once the output
  /// has failed (Finish says why).
  bool Append(std::span<const float> samples);
  /// Puts the file in place once every frame has come; throws TFileError naming `out` when a
  /// write failed or frames are missing.
  void Finish();

 private:
  bool Write(std::span<const std::uint8_t> bytes);

  const std::string out_;
  std::ostream& standardOutput_;
  std::unique_ptr<platform::TSafeFileWriter> file_;  // none for the standard output
  std::vector<std::uint8_t> bytes_;  // the header until it is written, then one block's samples
  std::uint64_t framesLeft_;
};

/// How far a long render has come, on a terminal: one line rewritten in place, shown once the
/// render has run longer than a moment, ended when the render ends.
class TRenderProgress {
 public:
  /// `totalFrames` to render at `sampleRate`; the line appears once `showAfter` has passed since
  /// now, and never without one (the error stream is no terminal).
  TRenderProgress(std::ostream& terminal, std::uint64_t totalFrames, int sampleRate,
                  std::optional<std::chrono::steady_clock::duration> showAfter);
  /// `frames` more have been rendered; the line is rewritten a few times a second at most.
  void Add(std::uint64_t frames);
  /// Shows where the render ended and ends the line, when one was shown.
  void Finish();

 private:
  void Show();

  std::ostream& terminal_;
  const std::uint64_t totalFrames_;
  const int sampleRate_;
  const std::optional<std::chrono::steady_clock::time_point> showFrom_;
  std::optional<std::chrono::steady_clock::time_point> shownAt_;
  std::uint64_t frames_ = 0;
};

}  // namespace brondel::tool
