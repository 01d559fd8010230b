// When the records of a rhythm sound: the running time of a part's records as the render counts
// it, the length of a section, and the rhythm's ticks per quarter note, the one rule that the
// MIDI export and import share.
//
// Ticks per quarter note, Q. A rhythm file holds no such value: its tempo byte is the stream's
// time division, and its parts count ticks of that division. But each section says how long it
// is twice: in bars (its bar count with the time signature) and in ticks (where its parts end).
// A bar holds numerator x 4 / denominator quarter notes, so a section of L ticks and B bars says
//     Q = L x denominator / (4 x numerator x B)
// when that is a whole number from 1 to 32767 (the most a Standard MIDI File's division holds),
// its bar count and the numerator are above 0, and its parts end after 0. Other sections (left
// empty, cut short, or with a bar count that does not fit) say nothing. The rhythm's Q is the
// value most sections say; on a tie, the one said by sections of more bars in all (the long
// variations rather than fills and endings, which are the ones that may stop early), then the
// larger. When no section says anything, Q is 96, the value our example rhythms are made with.
//
// Tempo. The stream plays a quarter note of T ticks (T the tempo byte) in 500,000 us, so a tick
// lasts 500,000 / T us and a quarter note of Q ticks lasts 500,000 x Q / T us: the tempo a MIDI
// file of division Q states. Back from a MIDI file, a quarter note of Q ticks lasting M us gives
// the tempo byte 500,000 x Q / M. Both are rounded to the nearest whole number, halves up; for
// any tempo byte up to 255 and Q of 1 or more the second gives back the byte the first started
// from, so the tempo survives an export and an import. A MIDI tempo holds at most 0xFFFFFF us:
// a rhythm whose quarter note of Q ticks would last longer (a tempo byte below Q / 33) has its
// MIDI files written at the division T instead, a quarter note of 500,000 us.
#pragma once

#include <cstdint>
#include <optional>

#include "document/rhythm_slot.h"

namespace brondel {

/// The ticks per quarter note of a rhythm whose sections say nothing about them.
inline constexpr int kDefaultTicksPerQuarterNote = 96;
/// The most ticks per quarter note a Standard MIDI File's division (15 bits) holds.
inline constexpr int kMaxTicksPerQuarterNote = 0x7FFF;
/// How long the stream plays a quarter note of as many ticks as the tempo byte.
inline constexpr std::uint64_t kStreamQuarterNoteMicroseconds = 500000;
/// The longest quarter note a MIDI tempo (24 bits) holds, in microseconds.
inline constexpr std::uint64_t kMaxQuarterNoteMicroseconds = 0xFFFFFF;

/// Visits the stream's whole records in order; a trailing partial record is never read.
template <typename Visit>
void ForEachRecord(const TPartStream& stream, Visit visit) {
  for (std::size_t at = 0; at + kRecordSize <= stream.size(); at += kRecordSize) {
    visit(TRhythmRecord::FromBytes(&stream[at]));
  }
}

/// Visits the stream's records with the part's running time once each is counted: a wait adds
/// its delay, every other record (the end record too) its byte 0. The running time starts at 0
/// and is 16 bits wide, as the section's timeline: past 65535 it wraps to 0.
/// visit(const TRhythmRecord& record, std::uint16_t runningTime).
template <typename Visit>
void ForEachTimedRecord(const TPartStream& stream, Visit visit) {
  std::uint16_t running = 0;
  ForEachRecord(stream, [&](const TRhythmRecord& record) {
    running = static_cast<std::uint16_t>(running + (record.IsWait() ? record.Delay() : record.b0));
    visit(record, running);
  });
}

/// The running time of the part's first end record; none when the part has no end record.
std::optional<std::uint16_t> PartEndTime(const TPartStream& stream);

/// A section's length in ticks: the latest end among its five parts (a part that ends earlier
/// falls silent until the others end). 0 when no part ends after 0.
std::uint16_t SectionLength(const TRhythmSlot& slot, int section);

/// The ticks per quarter note one section says (see above), or none.
std::optional<int> SectionTicksPerQuarterNote(const TRhythmSlot& slot, int section);

/// The rhythm's ticks per quarter note: the value most sections say, ties to more bars and then
/// the larger value; kDefaultTicksPerQuarterNote when no section says one.
int TicksPerQuarterNote(const TRhythmSlot& slot);

/// a / b to the nearest whole number, halves up: the rounding of every tick and tempo conversion
/// between a rhythm and a MIDI file. b above 0; 2 x a + b and 2 x b below 2^64.
std::uint64_t RoundedQuotient(std::uint64_t a, std::uint64_t b);

/// How long a quarter note of `ticksPerQuarter` ticks lasts at the tempo byte `tempo` (above 0),
/// in microseconds: 500,000 x Q / T to the nearest.
std::uint64_t QuarterNoteMicroseconds(int ticksPerQuarter, std::uint8_t tempo);

/// The tempo byte that makes a quarter note of `ticksPerQuarter` ticks last `micros` (above 0)
/// microseconds: 500,000 x Q / M to the nearest; the caller checks its range.
std::uint64_t TempoByteFor(int ticksPerQuarter, std::uint64_t micros);

/// The division of the rhythm's MIDI files: TicksPerQuarterNote, or the tempo byte when a
/// quarter note of that many ticks would last longer than a MIDI tempo holds.
int MidiTicksPerQuarterNote(const TRhythmSlot& slot);

}  // namespace brondel
