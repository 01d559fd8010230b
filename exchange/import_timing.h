// Choosing a new rhythm's meter, tempo and ticks per quarter note from the files given, and the
// bars a section spans at them (midi_import.h tells the rule). Private to exchange/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "exchange/section_spans.h"
#include "platform/midi_file.h"

namespace brondel::midi_in {

inline constexpr std::uint64_t kTimelineEnd = 0xFFFF;  // a section's 16-bit timeline's last tick

/// The bars a section of some length spans (a part bar counting whole) and the ticks they last.
struct TSectionSize {
  std::uint64_t bars = 0;
  std::uint64_t ticks = 0;
};

/// The size of a section of `length` ticks at `q` ticks a quarter note in the time signature
/// byte `signature`.
TSectionSize SectionSize(std::uint64_t length, int q, std::uint8_t signature);

/// The first meta event of `type` in the file (the earliest; at equal ticks, the first track's)
/// whose data has at least `size` bytes.
std::optional<std::span<const std::uint8_t>> FirstMeta(const platform::TMidiFile& file,
                                                       std::uint8_t type, std::size_t size);

/// The time signature byte the files state (4/4 when none does); refuses one the format cannot
/// hold and two that differ.
std::uint8_t RhythmTimeSignature(const std::vector<TSpan>& spans);

/// The first tempo the files state, in section order, in microseconds a quarter note; 500,000
/// when none does. A file whose first tempo differs gets a notice.
std::uint64_t RhythmTempo(const std::vector<TSpan>& spans, std::vector<std::string>& notices);

/// True when a tempo byte lies in the range a rhythm holds, 11 to 249.
bool TempoByteFits(std::uint64_t tempo);

/// The new rhythm's ticks per quarter note: the files' division when they share one, its tempo
/// byte fits and every section fits the timeline at it, else 96.
int ChooseTicksPerQuarterNote(const std::vector<TSpan>& spans, std::uint64_t micros,
                              std::uint8_t signature);

}  // namespace brondel::midi_in
