// The undo history of the main file: every change is one named step ("Move 3 notes", "Update
// parameters", "Copy", "Import MIDI part"), and undoing it gives back the document byte for byte.
//
// A step keeps only what changed: for the header and for each part stream that differs, the
// bytes between the common beginning and the common end, as they were and as they became. An
// edit of a few notes keeps a few records; a step of a whole rhythm (an import of a large part)
// keeps what it replaced. The history holds the last kMaxUndoSteps steps.
//
// Any command can be recorded: the caller keeps a copy of the slot from before it (a copy of at
// most 65,535 bytes of part data) and gives both to Record. ApplySectionEdit (section_edit.h)
// does it for the pattern editor's edits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "document/rhythm_slot.h"

namespace brondel {

/// How many steps the history keeps; the oldest goes when one more is recorded.
inline constexpr std::size_t kMaxUndoSteps = 1000;

/// What an undo or a redo changed, for the window to show anew.
struct THistoryChange {
  std::string name;           // the step's name
  std::vector<int> sections;  // the sections whose parts changed, ascending
  bool header = false;        // the header changed (settings, bar counts, tempo)
};

class TEditHistory {
 public:
  /// Records the change from `before` to `after` (the slot now) as one step named `name`;
  /// steps that could be redone go. A change of nothing records nothing and returns false.
  bool Record(std::string name, const TRhythmSlot& before, const TRhythmSlot& after);

  bool CanUndo() const { return done_ > 0; }
  bool CanRedo() const { return done_ < steps_.size(); }
  /// The name of the step Undo takes back ("Move 3 notes"); empty when none.
  std::string UndoName() const;
  /// The name of the step Redo does again; empty when none.
  std::string RedoName() const;

  /// Takes back the last step done in `slot` (the slot the steps were recorded on).
  std::optional<THistoryChange> Undo(TRhythmSlot& slot);
  /// Does the last step taken back again.
  std::optional<THistoryChange> Redo(TRhythmSlot& slot);

  /// A new history (an open, a new rhythm from MIDI): no steps; the document counts as saved
  /// when `saved` (an open), else as modified (a new rhythm that has no file yet).
  void Reset(bool saved);
  /// The document as it is now has been saved.
  void MarkSaved() { saved_ = done_; }
  /// True while the document differs from what was last opened or saved: the title's `*`.
  bool Modified() const { return saved_ != done_; }

  /// The steps kept, done or taken back.
  std::size_t StepCount() const { return steps_.size(); }
  /// The steps Undo can take back.
  std::size_t UndoCount() const { return done_; }
  /// The bytes the steps take in memory, about.
  std::size_t MemoryBytes() const;

 private:
  // Bytes [at, at + after.size()) of a byte string were `before`.
  struct TByteChange {
    std::size_t at = 0;
    std::vector<std::uint8_t> before;
    std::vector<std::uint8_t> after;
  };
  struct TStreamChange {
    int section = 0;
    int part = 0;
    TByteChange bytes;
  };
  struct TStep {
    std::string name;
    std::optional<TByteChange> header;
    std::vector<TStreamChange> streams;
  };

  static std::optional<TByteChange> Difference(const std::uint8_t* before, std::size_t beforeSize,
                                               const std::uint8_t* after, std::size_t afterSize);
  // Puts a step's `before` (undo) or `after` (redo) bytes into the slot.
  static THistoryChange Apply(const TStep& step, TRhythmSlot& slot, bool undo);

  std::deque<TStep> steps_;
  std::size_t done_ = 0;                  // steps_[0, done_) are done
  std::optional<std::size_t> saved_ = 0;  // done_ when the document was saved; none: never again
};

}  // namespace brondel
