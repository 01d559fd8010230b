// The pattern editor's operations on a section's notes, as pure functions: each takes the notes
// the section plays (ReadSectionNotes) and gives the notes it should play after the edit, the
// edited notes where they now stand, the name of the step in the undo history, or a refusal.
// None of them touches a document; ApplySectionEdit (section_edit.h) writes the result.
//
// Every result is tidy (TidyNotes): the edited notes are put back after the others, so a note
// moved, pasted or added onto one of its key and tick replaces it, and one that lands inside a
// note of its key ends that note where it starts. Notes are refused rather than cut when an
// edit would put them before the section's start, after its end, or a key outside 0 to 127.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pattern/part_notes.h"
#include "pattern/snap_grid.h"

namespace brondel {

/// A note named by its part, tick and key: one note of a tidy section.
struct TNoteId {
  int part = 0;
  std::uint32_t tick = 0;
  std::uint8_t key = 0;
  friend auto operator<=>(const TNoteId&, const TNoteId&) = default;
};
using TSelection = std::vector<TNoteId>;

/// The id of a note of part 0-4.
TNoteId IdOf(int part, const TEditNote& note);

/// What an edit makes of a section's notes.
struct TNotesEdit {
  TSectionNotes notes;                 // what the section is to play
  TSelection selection;                // the edited notes where they now are
  std::string name;                    // the step's name: "Move 3 notes"
  std::string message;                 // what else it did ("2 notes removed"), or empty
  std::optional<std::string> refusal;  // set: the edit is refused, `notes` are the old ones
};

/// "1 note", "3 notes".
std::string NotesText(std::size_t count);

/// A note added to part 0-4; its velocity 1 to 127, its length 1 or more.
TNotesEdit AddNote(const TSectionNotes& notes, int part, const TEditNote& note);
/// The selected notes removed.
TNotesEdit RemoveNotes(const TSectionNotes& notes, const TSelection& selection);
/// The selected notes moved by `ticks` and `keys` (either may be negative or 0). Named
/// "Transpose" when only keys change.
TNotesEdit MoveNotes(const TSectionNotes& notes, const TSelection& selection, std::int64_t ticks,
                     int keys);
/// The selected notes made `ticks` longer (or shorter, when negative); a note keeps at least a
/// tick.
TNotesEdit ResizeNotes(const TSectionNotes& notes, const TSelection& selection, std::int64_t ticks);
/// The selected notes given the velocity 1 to 127.
TNotesEdit SetVelocity(const TSectionNotes& notes, const TSelection& selection, int velocity);
/// The selected notes' starts moved toward the grid's lines (Swung, with `swing` 50 to 75)
/// by `strength` percent (100, 75, 50) of the way, rounded halves up; lengths kept, a note that
/// would then pass the section's end ending there.
TNotesEdit QuantizeNotes(const TSectionNotes& notes, const TSelection& selection,
                         const TSnapGrid& grid, int strength, int swing);
/// The selected notes again, right after themselves: moved by the span from the grid line at or
/// before the first one's start to the line at or after the last one's end.
TNotesEdit RepeatNotes(const TSectionNotes& notes, const TSelection& selection,
                       const TSnapGrid& grid);

/// Notes copied, for pasting into any section of the main file.
struct TNoteClipboard {
  struct TEntry {
    int part = 0;
    TEditNote note;  // its tick counted from the bar where the copy starts
  };
  std::vector<TEntry> entries;
  int ticksPerQuarter = kDefaultTicksPerQuarterNote;  // of the rhythm copied from

  bool Empty() const { return entries.empty(); }
};

/// The selected notes, their ticks counted from the start of the bar that holds the first.
TNoteClipboard CopyNotes(const TSectionNotes& notes, const TSelection& selection,
                         const TSnapGrid& grid, int ticksPerQuarter);
/// The clipboard's notes put in their parts from tick `at` (a bar's start), their ticks and
/// lengths scaled from the clipboard's ticks per quarter note to `ticksPerQuarter` (rounded,
/// halves up; a length at least 1).
TNotesEdit PasteNotes(const TSectionNotes& notes, const TNoteClipboard& clipboard, std::uint32_t at,
                      int ticksPerQuarter);

/// Every note of part 0-4 removed: "Clear Bass".
TNotesEdit ClearPart(const TSectionNotes& notes, int part);
/// Every note of part 0-4 moved by `keys` semitones: "Transpose Bass".
TNotesEdit TransposePart(const TSectionNotes& notes, int part, int keys);
/// Part 0-4 replaced by `source` (another section's notes of that part): "Copy Bass to Var2".
/// Notes from the section's end on are left out and notes that cross it end there; the message
/// counts both.
TNotesEdit CopyPartInto(const TSectionNotes& notes, int part, const TNoteList& source,
                        int targetSection);

/// The section given `bars` bars of `meter` (1 to 65,535), ending at the last bar's end:
/// shortened, the notes from the new end on go and those that cross it end there (the message
/// counts both); lengthened, the new bars are empty, or with `repeat` the bars it had are
/// played again, as often as they fit. Refused when the bars would pass the 16-bit timeline.
TNotesEdit SetBarCount(const TSectionNotes& notes, const TPatternMeter& meter,
                       std::uint16_t oldBars, std::uint16_t bars, bool repeat);

}  // namespace brondel
