// A section's notes as a list per part, read from what the section plays and written back as the
// records of its parts.
//
// Reading. The notes are those of the section's pattern (BuildSectionPattern): the render's own
// events in the order its buffer plays them, so a list holds exactly what is heard and drawn.
//
// Writing. A part is written the way the MIDI import writes one: its note-ons and note-offs at
// their ticks, note-offs first at one tick (so a key ended and started again at one tick sounds
// again), the note-ons of one tick in the list's order and the note-offs of one tick in the
// order of their notes, encoded by EncodeTimedNotes, its end record where it was unless a note
// now ends later. New times change the order in which the render sends every part's events of
// equal time, so the section's parts are then arranged (ArrangeSectionToSend): the written part
// is sent in the order it was encoded, every other part in the order it was sent before. No
// note is cut by the order of equal times, and the other parts sound as they did.
//
// A list the window shows and the section plays is tidy: by tick, and no two notes of one key
// overlap (a key's next note-on would end the note before it). TidyNotes makes a list so.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/rhythm_loader.h"
#include "document/rhythm_slot.h"
#include "pattern/pattern_model.h"

namespace brondel {

/// One note of a part: where it starts (ticks from the section's start), its key and velocity
/// (the record's bytes 1 and 2) and how many ticks it sounds.
struct TEditNote {
  std::uint32_t tick = 0;
  std::uint8_t key = 0;
  std::uint8_t velocity = 0;
  std::uint32_t length = 0;

  std::uint32_t End() const { return tick + length; }
  friend bool operator==(const TEditNote&, const TEditNote&) = default;
};

/// A part's notes by tick; notes of one tick in the order the buffer plays them.
using TNoteList = std::vector<TEditNote>;

/// A section's notes, part by part, and where the section ends: notes lie within [0, end].
struct TSectionNotes {
  std::array<TNoteList, kPartCount> parts;
  std::uint32_t end = 0;
  friend bool operator==(const TSectionNotes&, const TSectionNotes&) = default;
};

/// The notes of part 0-4 of a pattern, as the window draws them.
TNoteList PatternPartNotes(const TSectionPattern& pattern, int part);

/// Where notes may lie in section 0-9: up to the section's length as the render plays it, or,
/// when its parts all end at 0, up to the end of its bars (at most tick 65,535).
std::uint32_t SectionEditEnd(const TRhythmSlot& slot, int section);

/// The notes section 0-9 of a slot plays, and its edit end.
TSectionNotes ReadSectionNotes(const TRhythmSlot& slot, int section);

/// Makes a list tidy: sorted by tick (notes of one tick keep their order); of two notes of one
/// key at one tick the later in the list stays; a note that the next of its key starts within
/// ends there; notes of length 0 go.
void TidyNotes(TNoteList& notes);

/// The first pair of notes (indices, the earlier first) of one key of which the first is still
/// sounding when the second starts; none when the list has no such pair. The list is by tick.
std::optional<std::pair<std::size_t, std::size_t>> FindOverlap(const TNoteList& notes);

/// The bytes a section and the rhythm hold, and the most they may hold.
struct TByteUse {
  std::size_t section = 0;  // the section's part data
  std::size_t rhythm = 0;   // the file's total length: the header and all part data
  static constexpr std::size_t kSectionLimit = kMaxSectionDataSize;
  static constexpr std::size_t kRhythmLimit = kMaxTotalLength;
};

/// What section 0-9 of a slot and the slot hold now.
TByteUse ByteUse(const TRhythmSlot& slot, int section);

/// "Var1: 1,234 of 64,995 bytes; rhythm: 12,345 of 65,535 bytes", for the window's status.
std::string ByteUseText(const TByteUse& use, int section);

/// A whole number with thousands separated by commas: "64,995".
std::string GroupedNumber(std::uint64_t value);

/// Writes section 0-9 of a slot so that it plays `notes`: every part whose list differs from
/// what it plays now is encoded anew (all five when the end moves; the section's end then sits
/// at `notes.end` in every part), and the section is arranged (see above). Each list must be
/// tidy, with notes of length 1 or more, velocities 1 to 255 and keys that are neither the wait
/// nor the end marker (255, 252), within `notes.end`. A written part ends where it ended, or
/// later where a note ends later or the section ended before `notes.end`. Refused, with the slot
/// left as it was, when the section would hold more than its 64,995 bytes, the rhythm grow past the
/// 65,535 a file holds, or a note pass tick 65,535: the text says by how much.
std::optional<std::string> WriteSectionNotes(TRhythmSlot& slot, int section,
                                             const TSectionNotes& notes);

}  // namespace brondel
