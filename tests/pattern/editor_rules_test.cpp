// The pattern editor's rules that need no window: the rows an edited lane shows, the key of a
// row past a lane's ends, the axis a Shift-drag keeps, where drawn, moved and resized notes land
// on the snap, and the drum rows' next-row moves.
#include <gtest/gtest.h>

#include "pattern/editor_rules.h"

namespace brondel {
namespace {

constexpr std::uint32_t kBeat = 96;
const TPatternMeter kFourFour{4, 4, 96};

TEditNote Note(std::uint32_t tick, std::uint8_t key, std::uint32_t length = 24) {
  return {tick, key, 100, length};
}

TEST(EditorRules, LaneRowsRunAcrossTheKeysPlayedWithRoomAboveAndBelow) {
  EXPECT_EQ(EditableLaneKeys(1, {40, 43}, {}), std::vector<int>({45, 44, 43, 42, 41, 40, 39, 38}));
  EXPECT_EQ(EditableLaneKeys(2, {}, {}), std::vector<int>({62, 61, 60, 59, 58}));
  // At the ends of the keyboard the rows stop; a byte above 127 keeps a row of its own.
  EXPECT_EQ(EditableLaneKeys(3, {127, 0}, {}).front(), 127);
  EXPECT_EQ(EditableLaneKeys(3, {127, 0}, {}).back(), 0);
  EXPECT_EQ(EditableLaneKeys(3, {200, 60}, {}), std::vector<int>({200, 62, 61, 60, 59, 58}));
  // Drums: the keys played and the rows added, once each; the kick and snare when empty.
  EXPECT_EQ(EditableLaneKeys(kDrumPart, {36, 42}, {38, 42}), std::vector<int>({42, 38, 36}));
  EXPECT_EQ(EditableLaneKeys(kDrumPart, {}, {}), std::vector<int>({38, 36}));
  EXPECT_EQ(EditableLaneKeys(kDrumPart, {}, {49}), std::vector<int>({49}));
}

TEST(EditorRules, RowsPastALaneGoOnBySemitonesButStopAtTheDrumsLastRow) {
  const std::vector<int> keys = {45, 44, 43};
  EXPECT_EQ(KeyAtRow(keys, 0, false), 45);
  EXPECT_EQ(KeyAtRow(keys, 2, false), 43);
  EXPECT_EQ(KeyAtRow(keys, -2, false), 47);
  EXPECT_EQ(KeyAtRow(keys, 5, false), 40);
  EXPECT_EQ(KeyAtRow({126}, -5, false), 127);
  EXPECT_EQ(KeyAtRow({1}, 5, false), 0);
  const std::vector<int> drums = {42, 38, 36};
  EXPECT_EQ(KeyAtRow(drums, 1, true), 38);
  EXPECT_EQ(KeyAtRow(drums, -3, true), 42);
  EXPECT_EQ(KeyAtRow(drums, 9, true), 36);
}

TEST(EditorRules, SetLaneKeysPutsTheNotesOnTheirNewRows) {
  TSectionPattern pattern;
  pattern.notes = {{1, 40, 0, 0, 96, 80, false}, {1, 43, 1, 96, 96, 80, false}};
  pattern.lanes[1] = {{43, 40}, 0, 2, 96};
  SetLaneKeys(pattern, 1, EditableLaneKeys(1, pattern.lanes[1].keys, {}));
  EXPECT_EQ(pattern.notes[0].row, 5);  // 45 44 43 42 41 40
  EXPECT_EQ(pattern.notes[1].row, 2);
  EXPECT_EQ(pattern.lanes[1].keys.size(), std::size_t{8});
}

TEST(EditorRules, ShiftKeepsTheAxisTheDragHasMovedLessOn) {
  EXPECT_EQ(ConstrainedAxis(false, 10, 2), TDragAxis::kBoth);
  EXPECT_EQ(ConstrainedAxis(true, 10, 2), TDragAxis::kTime);
  EXPECT_EQ(ConstrainedAxis(true, -3, 8), TDragAxis::kKey);
  EXPECT_EQ(ConstrainedAxis(true, -5, 5), TDragAxis::kTime);  // a tie moves in time
}

TEST(EditorRules, DrawnNotesRunFromLineToLineAtLeastOneStep) {
  const TSnapGrid sixteenths(kFourFour, TSnapStep::kSixteenth);
  EXPECT_EQ(DrawnNote(sixteenths, 30, 30, 40, 90), (TEditNote{24, 40, 90, 24}));
  EXPECT_EQ(DrawnNote(sixteenths, 100, 30, 40, 90), (TEditNote{24, 40, 90, 96}));
  EXPECT_EQ(DrawnNote(sixteenths, 24, 48, 40, 90), (TEditNote{24, 40, 90, 24}));
  EXPECT_EQ(DrawnNote(sixteenths, 24, 24, 40, 90), (TEditNote{24, 40, 90, 24}));
  // Triplets at 96 ticks: 1/8T lines every 32 ticks.
  const TSnapGrid triplets(kFourFour, TSnapStep::kEighthTriplet);
  EXPECT_EQ(DrawnNote(triplets, 40, 70, 40, 90), (TEditNote{32, 40, 90, 64}));
  const TSnapGrid off(kFourFour, TSnapStep::kOff);
  EXPECT_EQ(DrawnNote(off, 7, 7, 40, 90), (TEditNote{7, 40, 90, 1}));
}

TEST(EditorRules, MovesAndResizesLandOnTheNearestLine) {
  const TSnapGrid grid(kFourFour, TSnapStep::kQuarter);
  EXPECT_EQ(SnappedMove(grid, 96, 40), 0);      // 136 is nearest 96
  EXPECT_EQ(SnappedMove(grid, 96, 48), 96);     // halfway: the later line
  EXPECT_EQ(SnappedMove(grid, 100, 0), -4);     // an off-grid note lands on the grid
  EXPECT_EQ(SnappedMove(grid, 96, -500), -96);  // not before tick 0
  EXPECT_EQ(SnappedResize(grid, 0, kBeat, 60), 96);
  EXPECT_EQ(SnappedResize(grid, 0, kBeat, -40), 0);
  EXPECT_EQ(SnappedResize(grid, 90, 100, -300), -9);  // a tick long at least
}

TEST(EditorRules, NextRowMovesEachDrumNoteToTheRowBesideItsOwn) {
  TSectionNotes notes;
  notes.end = 4 * kBeat;
  notes.parts[kDrumPart] = {Note(0, 36), Note(0, 42), Note(kBeat, 38), Note(2 * kBeat, 42)};
  const std::vector<int> rows = {46, 42, 38, 36};
  const TSelection both = {{kDrumPart, 0, 36}, {kDrumPart, 0, 42}};
  const TNotesEdit up = MoveToNextRow(notes, both, rows, true);
  ASSERT_FALSE(up.refusal);
  EXPECT_EQ(up.notes.parts[kDrumPart],
            TNoteList({Note(0, 46), Note(0, 38), Note(kBeat, 38), Note(2 * kBeat, 42)}));
  EXPECT_EQ(up.selection, TSelection({{kDrumPart, 0, 38}, {kDrumPart, 0, 46}}));
  EXPECT_EQ(up.name, "Move 2 notes");
  const TNotesEdit down =
      MoveToNextRow(notes, {{kDrumPart, 0, 42}, {kDrumPart, kBeat, 38}}, rows, false);
  ASSERT_FALSE(down.refusal);
  EXPECT_EQ(down.notes.parts[kDrumPart],
            TNoteList({Note(0, 36), Note(0, 38), Note(kBeat, 36), Note(2 * kBeat, 42)}));
  // The bottom row has no row below: nothing moves.
  const TNotesEdit refused = MoveToNextRow(notes, both, rows, false);
  ASSERT_TRUE(refused.refusal);
  EXPECT_EQ(refused.notes, notes);
}

TEST(EditorRules, ToggledAddsOrTakesOutKeepingTheSelectionSorted) {
  TSelection selection = Toggled({}, {1, 96, 40});
  selection = Toggled(selection, {0, 200, 36});
  EXPECT_EQ(selection, TSelection({{0, 200, 36}, {1, 96, 40}}));
  EXPECT_EQ(Toggled(selection, {1, 96, 40}), TSelection({{0, 200, 36}}));
}

}  // namespace
}  // namespace brondel
