#include "exchange/import_timing.h"

#include <algorithm>
#include <set>
#include <utility>

#include "document/apply_settings.h"
#include "document/rhythm_timing.h"
#include "exchange/import_refusal.h"
#include "exchange/midi_sources.h"

namespace brondel::midi_in {

namespace {

using platform::TMidiFile;
using platform::TMidiFileEvent;

// The meta events of `type` whose data has at least `size` bytes, in time order (at equal ticks,
// tracks in file order).
std::vector<const TMidiFileEvent*> MetaEvents(const TMidiFile& file, std::uint8_t type,
                                              std::size_t size) {
  std::vector<const TMidiFileEvent*> events;
  for (const auto& track : file.tracks) {
    for (const TMidiFileEvent& event : track.events) {
      if (platform::MetaType(event) == type && platform::MetaData(event).size() >= size) {
        events.push_back(&event);
      }
    }
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const auto* a, const auto* b) { return a->tick < b->tick; });
  return events;
}

// The bar, counted from 1, that a tick of a file lies in at the time signature byte `signature`.
std::uint64_t BarOf(std::uint64_t tick, int division, std::uint8_t signature) {
  const std::uint64_t barTimesDenominator =
      4 * static_cast<std::uint64_t>(division) * TimeSignatureNumerator(signature);
  if (barTimesDenominator == 0) return 1;
  return tick * TimeSignatureDenominator(signature) / barTimesDenominator + 1;
}

// The tempos a file states (microseconds a quarter note at their ticks; none of 0), each one
// that only repeats the one before it left out: the first, then each change.
std::vector<std::pair<std::uint64_t, std::uint64_t>> StatedTempos(const TMidiFile& file) {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> tempos;  // tick, microseconds
  for (const TMidiFileEvent* event : MetaEvents(file, platform::kMetaTempo, 3)) {
    const auto data = platform::MetaData(*event);
    const std::uint64_t micros =
        std::uint64_t{data[0]} << 16 | std::uint64_t{data[1]} << 8 | data[2];
    if (micros == 0 || (!tempos.empty() && tempos.back().second == micros)) continue;
    tempos.emplace_back(event->tick, micros);
  }
  return tempos;
}

// The section of `spans` from `file` that holds `tick`, as ", in Fill1"; empty when none does.
std::string SectionHolding(const std::vector<TSpan>& spans, const TNamedMidiFile* file,
                           std::uint64_t tick) {
  for (const TSpan& span : spans) {
    if (span.file == file && span.start <= tick && tick < span.end) {
      return ", in " + SectionName(span.section);
    }
  }
  return {};
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

std::string TStatedSignature::Text() const {
  const std::string denominator =
      power < 8 ? std::to_string(1 << power) : "2^" + std::to_string(power);
  return std::to_string(numerator) + "/" + denominator;
}

bool TStatedSignature::Is(std::uint8_t signature) const {
  return power <= 7 && numerator <= 31 && TimeSignatureByte(numerator, power) == signature;
}

std::vector<TStatedSignature> StatedSignatures(const TMidiFile& file) {
  std::vector<TStatedSignature> signatures;
  for (const TMidiFileEvent* event : MetaEvents(file, platform::kMetaTimeSignature, 2)) {
    const auto data = platform::MetaData(*event);
    const TStatedSignature stated{event->tick, data[0], data[1]};
    const bool repeated = !signatures.empty() && signatures.back().numerator == stated.numerator &&
                          signatures.back().power == stated.power;
    if (!repeated) signatures.push_back(stated);
  }
  return signatures;
}

std::uint8_t RhythmTimeSignature(const std::vector<TSpan>& spans) {
  std::optional<std::uint8_t> signature;
  const TNamedMidiFile* stating = nullptr;
  std::set<const TNamedMidiFile*> read;
  for (const TSpan& span : spans) {
    if (!read.insert(span.file).second) continue;
    const std::vector<TStatedSignature> stated = StatedSignatures(span.file->file);
    if (stated.empty()) continue;
    const TStatedSignature& first = stated.front();
    if (first.numerator == 0 || first.numerator > 31 || first.power > 7) {
      Refuse(span.file->path, "its time signature " + first.Text() +
                                  " does not fit a rhythm (1 to 31 beats of 1/1 to 1/128)");
    }
    const std::uint8_t byte = TimeSignatureByte(first.numerator, first.power);
    if (signature && *signature != byte) {
      Refuse(span.file->path, "its time signature " + first.Text() + " differs from " +
                                  TimeSignatureText(*signature) + " in " + stating->path +
                                  "; a rhythm has one time signature");
    }
    // A change that comes before the file ends would put bars of two lengths in the rhythm.
    if (stated.size() > 1 && stated[1].tick < FileEnd(span.file->file)) {
      Refuse(span.file->path,
             "its time signature changes from " + first.Text() + " to " + stated[1].Text() +
                 " at bar " +
                 std::to_string(BarOf(stated[1].tick, span.file->file.division, byte)) +
                 SectionHolding(spans, span.file, stated[1].tick) +
                 "; a rhythm has one time signature");
    }
    if (!signature) stating = span.file;
    signature = byte;
  }
  return signature.value_or(TimeSignatureByte(4, 2));
}

std::uint64_t RhythmTempo(const std::vector<TSpan>& spans, std::uint8_t signature,
                          std::vector<std::string>& notices) {
  std::optional<std::uint64_t> tempo;
  const TNamedMidiFile* stating = nullptr;
  std::set<const TNamedMidiFile*> read;
  for (const TSpan& span : spans) {
    if (!read.insert(span.file).second) continue;
    const auto tempos = StatedTempos(span.file->file);
    if (tempos.empty()) continue;
    if (!tempo) {
      tempo = tempos.front().second;
      stating = span.file;
    } else if (tempos.front().second != *tempo) {
      notices.push_back(span.file->path + ": its tempo differs from the first file's (" +
                        stating->path + "), which the rhythm takes");
    }
    if (tempos.size() > 1) {
      notices.push_back(
          span.file->path + ": its tempo changes from bar " +
          std::to_string(BarOf(tempos[1].first, span.file->file.division, signature)) +
          " on left out: a rhythm has one tempo");
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
