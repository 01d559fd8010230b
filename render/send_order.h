// Records written for the order in which the render sends them. A section's render puts its
// events in time order with an exchange sort that is not stable: events of equal time may be
// sent in another order than their records give them (a note-off before the note-on of the same
// key and tick may come out after it, and cut the new note short). Which of the events of one
// time goes where depends only on the times of all of the section's events, so the records of a
// part can be arranged to be sent in any order wanted among its notes of equal time.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "document/rhythm_slot.h"

namespace brondel {

/// The notes (key and velocity) of a part's note records before its end record, in some order.
using TPartNoteOrder = std::vector<std::pair<std::uint8_t, std::uint8_t>>;
using TSectionNoteOrder = std::array<TPartNoteOrder, kPartCount>;

/// Rearranges the notes of equal time among the note records of one part so that the render of
/// the section sends that part's notes in the order its records list them now. Every record
/// keeps its time, step and kind (notes, waits, the end record and the filler stay where they
/// are); only which note (key and velocity) stands in which of the note records of one time
/// changes. The other parts and the part's send order among other parts do not change. The part
/// must run its records in time order without passing tick 65,535, and the section must hold
/// fewer than 2^24 events (a section a file can hold has fewer than 22,000).
void ArrangeForSendOrder(TRhythmSlot& slot, int section, int part);

/// ArrangeForSendOrder for each of the section's five parts, with one sort of the section for
/// all of them: arranging a part changes no event's time, and the times alone decide the order.
void ArrangeSectionForSendOrder(TRhythmSlot& slot, int section);

/// Replaces the records of one part (ReplacePartStream) so that the render sends the section's
/// other parts as it did before, each key's notes of one time in the same order, and the new part
/// in its record order. A new part changes the section's events and with them the sort's order
/// of equal times, which would otherwise send another part's note-off and note-on of one key and
/// time the other way round. The other parts keep their times; which of their note records of one
/// time holds which note may change. The same limits as ArrangeForSendOrder apply.
void ReplacePartInSendOrder(TRhythmSlot& slot, int section, int part, TPartStream records);

/// The notes of each of the section's parts in the order the render sends them now: what each
/// part plays, whatever order its records list them in.
TSectionNoteOrder SentNotes(const TRhythmSlot& slot, int section);

/// Puts each part's notes in its note records so that the render sends them in the order
/// `wanted` gives: a part's list holds the notes of its note records before the end record,
/// the notes of one time together and times in the records' order (SentNotes of the section
/// before any part's times changed, or a part's notes in record order). Like
/// ArrangeSectionForSendOrder, only keys and velocities move, among records of one time.
void ArrangeSectionToSend(TRhythmSlot& slot, int section, const TSectionNoteOrder& wanted);

}  // namespace brondel
