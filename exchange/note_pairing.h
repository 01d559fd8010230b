// Pairing a source's notes within a section: which note-off ends which note-on, which notes stay
// within the section's end, and what became of the others (midi_import.h tells the rule).
// Private to exchange/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "document/rhythm_builder.h"
#include "exchange/midi_sources.h"

namespace brondel::midi_in {

/// The notes a part plays, counted from its section's start, and what was changed on the way.
struct TShapedPart {
  std::vector<TTimedNote> notes;
  std::size_t leftOut = 0;     // notes that start at the section's end or later
  std::size_t restarted = 0;   // notes whose key started again before they ended, closed there
  std::size_t cut = 0;         // notes still sounding at the section's end, closed there
  std::size_t lengthened = 0;  // notes of no length at the rhythm's ticks, kept at one tick
};

/// The notes of a part that ends at `end`, from a source's notes counted from the section's
/// start: each note-off paired with its key's oldest note still sounding, notes starting at
/// `end` or later left out, a note closed where its key starts again, a note still sounding at
/// `end` ended there, a note of no length at the rhythm's ticks kept at one tick; at one tick,
/// a key's note-offs go before its note-ons.
TShapedPart ShapePart(const std::vector<TSourceNote>& notes, std::uint64_t end);

/// What became of a part's notes, one line for each kind of change, "Var1:Bass: ..." (`end` the
/// section's end, in its ticks).
std::vector<std::string> PartNotices(int section, int part, const TShapedPart& shaped,
                                     std::uint64_t end);

}  // namespace brondel::midi_in
