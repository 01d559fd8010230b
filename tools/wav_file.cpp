#include "tools/wav_file.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

#include "tools/command_line.h"
#include "tools/rhythm_input.h"

namespace brondel::tool {

namespace {

constexpr std::uint16_t kChannels = 2;
constexpr std::uint16_t kBytesPerSample = 2;

void AppendLe(std::vector<std::uint8_t>& bytes, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void AppendTag(std::vector<std::uint8_t>& bytes, std::string_view tag) {
  for (const char c : tag) bytes.push_back(static_cast<std::uint8_t>(c));
}

constexpr std::chrono::milliseconds kProgressInterval{250};

// As libsndfile converts, which wrote these files before: to 32 bits (1.0 is 2^31, rounded to
// the nearest, clipped), then the top 16 of them.
std::int16_t ToPcm16(float sample) {
  const float scaled = sample * 2147483648.0f;
  std::int32_t wide = std::numeric_limits<std::int32_t>::max();
  if (!(scaled > -2147483648.0f)) {
    wide = std::numeric_limits<std::int32_t>::min();
  } else if (scaled < 2147483647.0f) {
    wide = static_cast<std::int32_t>(std::lrintf(scaled));
  }
  return static_cast<std::int16_t>(wide >> 16);
}

}  // namespace

std::string AudioClock(std::uint64_t seconds) {
  const std::uint64_t hours = seconds / 3600;
  const std::uint64_t minutes = seconds / 60 % 60;
  // Appended piece by piece: GCC 12 at -O3 misreads "0" + std::string&& (-Wrestrict).
  std::string clock;
  const auto append = [&clock](std::uint64_t value, bool twoDigits) {
    if (twoDigits && value < 10) clock += '0';
    clock += std::to_string(value);
  };
  if (hours > 0) {
    append(hours, false);
    clock += ':';
  }
  append(minutes, hours > 0);
  clock += ':';
  append(seconds % 60, true);
  return clock;
}

std::vector<std::uint8_t> WavHeader(std::uint64_t frames, int sampleRate) {
  const auto dataBytes = static_cast<std::uint32_t>(frames * kChannels * kBytesPerSample);
  const auto rate = static_cast<std::uint32_t>(sampleRate);
  std::vector<std::uint8_t> header;
  AppendTag(header, "RIFF");
  AppendLe(header, 36 + dataBytes, 4);
  AppendTag(header, "WAVE");
  AppendTag(header, "fmt ");
  AppendLe(header, 16, 4);  // the format chunk's size
  AppendLe(header, 1, 2);   // PCM
  AppendLe(header, kChannels, 2);
  AppendLe(header, rate, 4);
  AppendLe(header, rate * kChannels * kBytesPerSample, 4);  // bytes a second
  AppendLe(header, kChannels * kBytesPerSample, 2);         // bytes a frame
  AppendLe(header, 8 * kBytesPerSample, 2);                 // bits a sample
  AppendTag(header, "data");
  AppendLe(header, dataBytes, 4);
  return header;
}

void AppendPcm16(std::span<const float> samples, std::vector<std::uint8_t>& bytes) {
  for (const float sample : samples) {
    AppendLe(bytes, static_cast<std::uint16_t>(ToPcm16(sample)), kBytesPerSample);
  }
}

TWavWriter::TWavWriter(const std::string& out, std::ostream& standardOutput, std::uint64_t frames,
                       int sampleRate)
    : out_(out),
      standardOutput_(standardOutput),
      bytes_(WavHeader(frames, sampleRate)),
      framesLeft_(frames) {
  if (out_ != kStandardOutputName) {
    file_ = std::make_unique<platform::TSafeFileWriter>(out_);
    if (!file_->Error().empty()) throw TFileError(out_, "cannot write: " + file_->Error());
  }
}

TWavWriter::~TWavWriter() = default;

bool TWavWriter::Append(std::span<const float> samples) {
  if (!Write(bytes_)) return false;  // the header, or what the last block left (nothing)
  bytes_.clear();
  AppendPcm16(samples, bytes_);
  framesLeft_ -= std::min<std::uint64_t>(framesLeft_, samples.size() / kChannels);
  const bool written = Write(bytes_);
  bytes_.clear();
  return written;
}

void TWavWriter::Finish() {
  Write(bytes_);  // the header of a file without frames
  bytes_.clear();
  if (file_ && !file_->Error().empty()) throw TFileError(out_, "cannot write: " + file_->Error());
  if (!file_) {
    standardOutput_.flush();
    if (!standardOutput_) throw TFileError(out_, "cannot write to the standard output");
  }
  // The header promised this many frames: a shorter file must not take the target's place.
  if (framesLeft_ > 0) throw TFileError(out_, "cannot write: the audio ended before the section");
  if (file_ && !file_->Commit()) throw TFileError(out_, "cannot write: " + file_->Error());
}

bool TWavWriter::Write(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return true;
  if (file_) return file_->Write(bytes);
  standardOutput_.write(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(standardOutput_);
}

TRenderProgress::TRenderProgress(std::ostream& terminal, std::uint64_t totalFrames, int sampleRate,
                                 std::optional<std::chrono::steady_clock::duration> showAfter)
    : terminal_(terminal),
      totalFrames_(totalFrames),
      sampleRate_(sampleRate),
      showFrom_(showAfter ? std::optional(std::chrono::steady_clock::now() + *showAfter)
                          : std::nullopt) {}

void TRenderProgress::Add(std::uint64_t frames) {
  frames_ += frames;
  const auto now = std::chrono::steady_clock::now();
  if (!showFrom_ || now < *showFrom_ || (shownAt_ && now - *shownAt_ < kProgressInterval)) return;
  shownAt_ = now;
  Show();
}

void TRenderProgress::Finish() {
  if (!shownAt_) return;
  Show();
  terminal_ << '\n' << std::flush;
}

void TRenderProgress::Show() {
  const auto rate = static_cast<std::uint64_t>(sampleRate_);
  const std::uint64_t percent = totalFrames_ > 0 ? 100 * frames_ / totalFrames_ : 100;
  terminal_ << "\rbrondel-tool wav: rendered " << AudioClock(frames_ / rate) << " of "
            << AudioClock(totalFrames_ / rate) << " (" << percent << "%)" << std::flush;
}

}  // namespace brondel::tool
