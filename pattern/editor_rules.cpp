#include "pattern/editor_rules.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

namespace brondel {

namespace {

constexpr int kHighestKey = 127;
constexpr int kRowMargin = 2;  // rows above the highest and below the lowest note's key
constexpr int kEmptyHighKey = 62;
constexpr int kEmptyLowKey = 58;
constexpr int kBassDrum = 36;
constexpr int kSnare = 38;

}  // namespace

std::vector<int> EditableLaneKeys(int part, const std::vector<int>& played,
                                  const std::vector<int>& addedRows) {
  std::vector<int> keys;
  if (part == kDrumPart) {
    keys = played;
    keys.insert(keys.end(), addedRows.begin(), addedRows.end());
    if (keys.empty()) keys = {kBassDrum, kSnare};
  } else {
    // Keys above 127 (no MIDI note) keep rows of their own above the range.
    int high = -1;
    int low = kHighestKey + 1;
    for (const int key : played) {
      if (key > kHighestKey) {
        keys.push_back(key);
        continue;
      }
      high = std::max(high, key);
      low = std::min(low, key);
    }
    if (high < 0) {
      high = kEmptyHighKey;
      low = kEmptyLowKey;
    } else {
      high = std::min(kHighestKey, high + kRowMargin);
      low = std::max(0, low - kRowMargin);
    }
    for (int key = low; key <= high; ++key) keys.push_back(key);
  }
  std::sort(keys.begin(), keys.end(), std::greater<>());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return keys;
}

void SetLaneKeys(TSectionPattern& pattern, int part, std::vector<int> keys) {
  TPatternLane& lane = pattern.lanes[static_cast<std::size_t>(part)];
  std::map<int, int> rowOfKey;
  for (std::size_t row = 0; row < keys.size(); ++row) rowOfKey[keys[row]] = static_cast<int>(row);
  const auto first = pattern.notes.begin() + static_cast<std::ptrdiff_t>(lane.firstNote);
  std::for_each(first, first + static_cast<std::ptrdiff_t>(lane.noteCount),
                [&](TPatternNote& note) { note.row = rowOfKey.at(note.key); });
  lane.keys = std::move(keys);
}

int KeyAtRow(const std::vector<int>& keys, int row, bool drums) {
  if (keys.empty()) return kEmptyHighKey;
  const int last = static_cast<int>(keys.size()) - 1;
  int key = 0;
  if (drums || (row >= 0 && row <= last)) {
    key = keys[static_cast<std::size_t>(std::clamp(row, 0, last))];
  } else if (row < 0) {
    key = keys.front() - row;
  } else {
    key = keys.back() - (row - last);
  }
  return std::clamp(key, 0, kHighestKey);
}

TDragAxis ConstrainedAxis(bool shift, double dxPixels, double dyPixels) {
  if (!shift) return TDragAxis::kBoth;
  return std::abs(dxPixels) >= std::abs(dyPixels) ? TDragAxis::kTime : TDragAxis::kKey;
}

TEditNote DrawnNote(const TSnapGrid& grid, std::uint32_t from, std::uint32_t to, int key,
                    int velocity) {
  const std::uint32_t start = grid.Floor(std::min(from, to));
  const std::uint32_t end = std::max(grid.Ceil(std::max(from, to)), grid.Next(start));
  return {start, static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(velocity), end - start};
}

std::int64_t SnappedMove(const TSnapGrid& grid, std::uint32_t start, std::int64_t ticks) {
  const std::int64_t wanted = std::max<std::int64_t>(0, std::int64_t{start} + ticks);
  const std::int64_t lastTick = 0xFFFF;
  return std::int64_t{grid.Nearest(static_cast<std::uint32_t>(std::min(wanted, lastTick)))} - start;
}

std::int64_t SnappedResize(const TSnapGrid& grid, std::uint32_t start, std::uint32_t end,
                           std::int64_t ticks) {
  const std::int64_t wanted = std::max<std::int64_t>(0, std::int64_t{end} + ticks);
  const std::int64_t lastTick = 0xFFFF;
  const std::int64_t snapped = grid.Nearest(static_cast<std::uint32_t>(std::min(wanted, lastTick)));
  return std::max<std::int64_t>(snapped, std::int64_t{start} + 1) - end;
}

TNotesEdit MoveToNextRow(const TSectionNotes& notes, const TSelection& selection,
                         const std::vector<int>& rows, bool up) {
  const std::string name = "Move " + NotesText(selection.size());
  // The notes go row by row, the row they move towards first, so that no note moved lands on
  // a note of the selection not yet moved.
  std::map<int, TSelection, std::greater<>> byKey;
  for (const TNoteId& id : selection) byKey[id.key].push_back(id);
  std::vector<std::pair<int, TSelection>> groups(byKey.begin(), byKey.end());
  if (!up) std::reverse(groups.begin(), groups.end());
  TNotesEdit result;
  result.notes = notes;
  result.name = name;
  for (const auto& [key, ids] : groups) {
    const auto at = std::find(rows.begin(), rows.end(), key);
    const std::ptrdiff_t row = at - rows.begin();
    const std::ptrdiff_t next = up ? row - 1 : row + 1;
    if (at == rows.end() || next < 0 || next >= static_cast<std::ptrdiff_t>(rows.size())) {
      result.notes = notes;
      result.selection.clear();
      result.refusal = name + ": a note is on the " + (up ? "top" : "bottom") + " row";
      return result;
    }
    TNotesEdit step = MoveNotes(result.notes, ids, 0, rows[static_cast<std::size_t>(next)] - key);
    if (step.refusal) {
      step.notes = notes;
      step.name = name;
      step.selection.clear();
      return step;
    }
    result.notes = std::move(step.notes);
    result.selection.insert(result.selection.end(), step.selection.begin(), step.selection.end());
  }
  std::sort(result.selection.begin(), result.selection.end());
  return result;
}

TSelection Toggled(TSelection selection, const TNoteId& id) {
  const auto at = std::lower_bound(selection.begin(), selection.end(), id);
  if (at != selection.end() && *at == id) {
    selection.erase(at);
  } else {
    selection.insert(at, id);
  }
  return selection;
}

}  // namespace brondel
