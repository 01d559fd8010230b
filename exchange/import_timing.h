// Choosing a new rhythm's meter, tempo and ticks per quarter note from the files given, and the
// bars a section spans at them (midi_import.h tells the rule). Private to exchange/.
#pragma once

#include <cstddef>
#include <cstdint>
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

/// A time signature a file states: its numerator and its denominator's power of two.
struct TStatedSignature {
  std::uint64_t tick = 0;
  std::uint8_t numerator = 0;
  std::uint8_t power = 0;
  /// "3/4", or "3/2^9" for a power of two beyond what a byte of the format holds.
  std::string Text() const;
  /// True when it is the time signature byte `signature`.
  bool Is(std::uint8_t signature) const;
};

/// The time signatures a file states, in time order (at equal ticks, tracks in file order), each
/// one that only repeats the one before it left out: the first, then each change.
std::vector<TStatedSignature> StatedSignatures(const platform::TMidiFile& file);

/// The time signature byte the files state (4/4 when none does); refuses one the format cannot
/// hold, two that differ, and a file whose time signature changes before its end (naming the
/// bar and the section).
std::uint8_t RhythmTimeSignature(const std::vector<TSpan>& spans);

/// The first tempo the files state, in section order, in microseconds a quarter note; 500,000
/// when none does. A file whose first tempo differs gets a notice, and so does a file whose tempo
/// changes, with the bar of its first change in the time signature byte `signature`.
std::uint64_t RhythmTempo(const std::vector<TSpan>& spans, std::uint8_t signature,
                          std::vector<std::string>& notices);

/// True when a tempo byte lies in the range a rhythm holds, 11 to 249.
bool TempoByteFits(std::uint64_t tempo);

/// The new rhythm's ticks per quarter note: the files' division when they share one, its tempo
/// byte fits and every section fits the timeline at it, else 96.
int ChooseTicksPerQuarterNote(const std::vector<TSpan>& spans, std::uint64_t micros,
                              std::uint8_t signature);

}  // namespace brondel::midi_in
