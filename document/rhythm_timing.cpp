#include "document/rhythm_timing.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace brondel {

std::optional<std::uint16_t> PartEndTime(const TPartStream& stream) {
  std::optional<std::uint16_t> end;
  ForEachTimedRecord(stream, [&](const TRhythmRecord& record, std::uint16_t running) {
    if (record.IsEnd() && !end) end = running;
  });
  return end;
}

std::uint16_t SectionLength(const TRhythmSlot& slot, int section) {
  std::uint16_t latest = 0;
  for (const TPartStream& stream : slot.streams[static_cast<std::size_t>(section)]) {
    latest = std::max(latest, PartEndTime(stream).value_or(0));
  }
  return latest;
}

std::optional<int> SectionTicksPerQuarterNote(const TRhythmSlot& slot, int section) {
  const std::uint8_t signature = slot.header.TimeSignature();
  const std::uint64_t numerator = TimeSignatureNumerator(signature);
  const std::uint64_t denominator = TimeSignatureDenominator(signature);
  const std::uint64_t bars = slot.header.BarCount(section);
  const std::uint64_t length = SectionLength(slot, section);
  // Q = length / (bars x numerator x 4 / denominator), kept whole.
  const std::uint64_t ticks = length * denominator;
  const std::uint64_t quarters = 4 * numerator * bars;
  if (quarters == 0 || ticks == 0 || ticks % quarters != 0) return std::nullopt;
  const std::uint64_t q = ticks / quarters;
  if (q > static_cast<std::uint64_t>(kMaxTicksPerQuarterNote)) return std::nullopt;
  return static_cast<int>(q);
}

int TicksPerQuarterNote(const TRhythmSlot& slot) {
  struct TVotes {
    int sections = 0;
    int bars = 0;
  };
  std::map<int, TVotes> votes;
  for (int section = 0; section < kSectionCount; ++section) {
    if (const std::optional<int> q = SectionTicksPerQuarterNote(slot, section)) {
      votes[*q].sections += 1;
      votes[*q].bars += slot.header.BarCount(section);
    }
  }
  if (votes.empty()) return kDefaultTicksPerQuarterNote;
  const auto winner =
      std::max_element(votes.begin(), votes.end(), [](const auto& a, const auto& b) {
        return std::tie(a.second.sections, a.second.bars, a.first) <
               std::tie(b.second.sections, b.second.bars, b.first);
      });
  return winner->first;
}

std::uint64_t RoundedQuotient(std::uint64_t a, std::uint64_t b) {
  return (2 * a + b) / (2 * b);
}

std::uint64_t QuarterNoteMicroseconds(int ticksPerQuarter, std::uint8_t tempo) {
  return RoundedQuotient(
      kStreamQuarterNoteMicroseconds * static_cast<std::uint64_t>(ticksPerQuarter), tempo);
}

std::uint64_t TempoByteFor(int ticksPerQuarter, std::uint64_t micros) {
  return RoundedQuotient(
      kStreamQuarterNoteMicroseconds * static_cast<std::uint64_t>(ticksPerQuarter), micros);
}

int MidiTicksPerQuarterNote(const TRhythmSlot& slot) {
  const int q = TicksPerQuarterNote(slot);
  const std::uint8_t tempo = slot.header.Tempo();
  if (tempo == 0 || QuarterNoteMicroseconds(q, tempo) <= kMaxQuarterNoteMicroseconds) return q;
  return tempo;
}

}  // namespace brondel
