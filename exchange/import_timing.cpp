#include "exchange/import_timing.h"

#include <algorithm>

#include "document/apply_settings.h"
#include "document/rhythm_timing.h"
#include "exchange/import_refusal.h"
#include "exchange/midi_sources.h"

namespace brondel::midi_in {

namespace {

using platform::TMidiFile;
using platform::TMidiFileEvent;

// "3/4", or "3/2^9" for a power of two beyond what a byte of the format holds.
std::string SignatureText(std::uint8_t numerator, std::uint8_t power) {
  const std::string denominator =
      power < 8 ? std::to_string(1 << power) : "2^" + std::to_string(power);
  return std::to_string(numerator) + "/" + denominator;
}

// True when the rhythm fits the timeline at Q ticks a quarter note: every section over its whole
// bars, and a bar for the sections no file holds.
bool SectionsFit(const std::vector<TSpan>& spans, int q, std::uint8_t signature) {
  const int division = spans.front().file->file.division;
  if (SectionSize(1, q, signature).ticks > kTimelineEnd) return false;
  return std::all_of(spans.begin(), spans.end(), [&](const TSpan& span) {
    const std::uint64_t length =
        RhythmTick(span.end, division, q) - RhythmTick(span.start, division, q);
    return SectionSize(length, q, signature).ticks <= kTimelineEnd;
  });
}

}  // namespace

TSectionSize SectionSize(std::uint64_t length, int q, std::uint8_t signature) {
  // A bar lasts 4 x Q x numerator / denominator ticks, not always a whole number.
  const std::uint64_t barTimesDenominator =
      4 * static_cast<std::uint64_t>(q) * TimeSignatureNumerator(signature);
  const std::uint64_t denominator = TimeSignatureDenominator(signature);
  const std::uint64_t bars = (length * denominator + barTimesDenominator - 1) / barTimesDenominator;
  return {bars, (bars * barTimesDenominator + denominator - 1) / denominator};
}

std::optional<std::span<const std::uint8_t>> FirstMeta(const TMidiFile& file, std::uint8_t type,
                                                       std::size_t size) {
  const TMidiFileEvent* first = nullptr;
  for (const auto& track : file.tracks) {
    for (const TMidiFileEvent& event : track.events) {
      if (platform::MetaType(event) != type || platform::MetaData(event).size() < size) continue;
      if (first == nullptr || event.tick < first->tick) first = &event;
      break;
    }
  }
  if (first == nullptr) return std::nullopt;
  return platform::MetaData(*first);
}

std::uint8_t RhythmTimeSignature(const std::vector<TSpan>& spans) {
  std::optional<std::uint8_t> signature;
  const TNamedMidiFile* stating = nullptr;
  for (const TSpan& span : spans) {
    const auto data = FirstMeta(span.file->file, platform::kMetaTimeSignature, 2);
    if (!data) continue;
    const std::uint8_t numerator = (*data)[0];
    const std::uint8_t power = (*data)[1];
    if (numerator == 0 || numerator > 31 || power > 7) {
      Refuse(span.file->path, "its time signature " + SignatureText(numerator, power) +
                                  " does not fit a rhythm (1 to 31 beats of 1/1 to 1/128)");
    }
    const std::uint8_t byte = TimeSignatureByte(numerator, power);
    if (signature && *signature != byte) {
      Refuse(span.file->path, "its time signature " + SignatureText(numerator, power) +
                                  " differs from " + TimeSignatureText(*signature) + " in " +
                                  stating->path + "; a rhythm has one time signature");
    }
    if (!signature) stating = span.file;
    signature = byte;
  }
  return signature.value_or(TimeSignatureByte(4, 2));
}

std::uint64_t RhythmTempo(const std::vector<TSpan>& spans, std::vector<std::string>& notices) {
  std::optional<std::uint64_t> tempo;
  const TNamedMidiFile* stating = nullptr;
  for (const TSpan& span : spans) {
    if (span.file == stating) continue;
    const auto data = FirstMeta(span.file->file, platform::kMetaTempo, 3);
    if (!data) continue;
    const std::uint64_t micros =
        std::uint64_t{(*data)[0]} << 16 | std::uint64_t{(*data)[1]} << 8 | (*data)[2];
    if (micros == 0) continue;
    if (!tempo) {
      tempo = micros;
      stating = span.file;
    } else if (micros != *tempo) {
      notices.push_back(span.file->path + ": its tempo differs from the first file's (" +
                        stating->path + "), which the rhythm takes");
    }
  }
  return tempo.value_or(kStreamQuarterNoteMicroseconds);
}

bool TempoByteFits(std::uint64_t tempo) {
  return tempo >= static_cast<std::uint64_t>(kMinTempo) &&
         tempo <= static_cast<std::uint64_t>(kMaxTempo);
}

int ChooseTicksPerQuarterNote(const std::vector<TSpan>& spans, std::uint64_t micros,
                              std::uint8_t signature) {
  const int division = spans.front().file->file.division;
  const bool shared = std::all_of(spans.begin(), spans.end(), [&](const TSpan& span) {
    return span.file->file.division == division;
  });
  if (shared && TempoByteFits(TempoByteFor(division, micros)) &&
      SectionsFit(spans, division, signature)) {
    return division;
  }
  return kDefaultTicksPerQuarterNote;
}

}  // namespace brondel::midi_in
