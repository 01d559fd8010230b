// What the pattern editor's gestures and keys do, decided without a window: the rows an editable
// lane shows, the key of a row, where a drawn, moved or resized note lands on the snap, which
// axis a Shift-drag keeps, and the drum rows' "next row" moves.
//
// Rows. A pitched lane that can be edited shows every key from two above its highest note to
// two below its lowest, so that a note can be drawn or moved onto a key not yet played; rows
// run on past the lane's ends (KeyAtRow), one semitone each, as the pointer leaves it. An empty
// pitched lane shows the five keys around C4 (A#3 to D4). The drum lane shows the keys it plays and
// the rows added with "Add drum row"; an empty one shows the bass drum and the snare.
#pragma once

#include <cstdint>
#include <vector>

#include "pattern/note_edits.h"
#include "pattern/pattern_model.h"
#include "pattern/snap_grid.h"

namespace brondel {

/// The part that plays the drums.
inline constexpr int kDrumPart = 0;

/// The keys, highest first, that part 0-4 shows as rows while it is edited: see above.
/// `played` are the keys its notes play, `addedRows` the drum rows added by hand (drums only).
std::vector<int> EditableLaneKeys(int part, const std::vector<int>& played,
                                  const std::vector<int>& addedRows);

/// Gives lane `part` of `pattern` the rows `keys` (highest first, holding every key its notes
/// play) and puts its notes on them.
void SetLaneKeys(TSectionPattern& pattern, int part, std::vector<int> keys);

/// The key of row `row` of a lane showing `keys`: on the drums the nearest row's; on a pitched
/// lane rows past either end go on by a semitone each. Within 0 to 127.
int KeyAtRow(const std::vector<int>& keys, int row, bool drums);

/// Which of time and key a drag changes.
enum class TDragAxis { kBoth, kTime, kKey };
/// With Shift, a drag keeps the key while it has gone further across than up or down, else the
/// time; without Shift it changes both.
TDragAxis ConstrainedAxis(bool shift, double dxPixels, double dyPixels);

/// The note a drag in empty space draws from tick `from` to tick `to` (either order): from the
/// grid line at or before the earlier to the line at or after the later, at least one step.
TEditNote DrawnNote(const TSnapGrid& grid, std::uint32_t from, std::uint32_t to, int key,
                    int velocity);

/// The ticks a note starting at `start` moves when the pointer has moved `ticks`: its start goes
/// to the grid line nearest `start + ticks` (not before tick 0).
std::int64_t SnappedMove(const TSnapGrid& grid, std::uint32_t start, std::int64_t ticks);

/// The ticks a note from `start` to `end` grows when its right edge is dragged by `ticks`: its
/// end goes to the grid line nearest `end + ticks`, at least a tick after its start.
std::int64_t SnappedResize(const TSnapGrid& grid, std::uint32_t start, std::uint32_t end,
                           std::int64_t ticks);

/// The selected drum notes moved to the next row up (`up`) or down of `rows` (highest first):
/// each note to the key of the row next to its own; one step "Move N notes". Refused when a note
/// is on the top or bottom row already.
TNotesEdit MoveToNextRow(const TSectionNotes& notes, const TSelection& selection,
                         const std::vector<int>& rows, bool up);

/// The selection with `id` added, or taken out when it is in already; sorted.
TSelection Toggled(TSelection selection, const TNoteId& id);

}  // namespace brondel
