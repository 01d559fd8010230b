// Edits of the main file's sections written into the document, each one step of the undo
// history. The window calls these with the pure edits of note_edits.h; a refused edit changes
// nothing and records nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "pattern/edit_history.h"
#include "pattern/note_edits.h"

namespace brondel {

/// What an edit of the main file did.
struct TEditOutcome {
  std::optional<std::string> refusal;  // set: the document is as it was
  std::string message;                 // what else the edit did ("2 notes removed"), or empty
  TSelection selection;                // the edited notes where they now are
};

/// The meter of a slot's sections: its time signature at its ticks per quarter note.
TPatternMeter SlotMeter(const TRhythmSlot& slot);

/// Writes `edit` into section 0-9 of `slot` (WriteSectionNotes) and, with `bars`, sets the
/// section's bar count; records the change in `history` under the edit's name.
TEditOutcome ApplySectionEdit(TRhythmSlot& slot, int section, const TNotesEdit& edit,
                              TEditHistory& history, std::optional<std::uint16_t> bars = {});

/// The section's bar count set to `bars` (SetBarCount), written and recorded.
TEditOutcome ApplyBarCount(TRhythmSlot& slot, int section, std::uint16_t bars, bool repeat,
                           TEditHistory& history);

/// Part 0-4 of section `from` copied into the same part of section `to` ("Copy to section..."),
/// written and recorded.
TEditOutcome CopyPartToSection(TRhythmSlot& slot, int from, int part, int to,
                               TEditHistory& history);

}  // namespace brondel
