// The pieces a song and a live play share: how sections follow one another (an intro leads into
// the variation, a fill to its variation, an ending ends), a section's notes as the render
// generates them, a run of bars as timed notes, and the order in which a bar's messages go.
// ArrangeSong (song.h) plays a whole chart with them; TLiveEngine (live_engine.h) plays bar by
// bar as it is asked.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "chords/chart.h"
#include "chords/chord_map.h"
#include "document/rhythm_slot.h"

namespace brondel::chords {

struct TSongBar;
struct TSongEvent;

inline constexpr int kIntro1 = 0;
inline constexpr int kVar1 = 2;
inline constexpr int kFill1 = 4;
inline constexpr int kEnd1 = 8;

/// A note that the section never ends lasts this long.
inline constexpr std::uint64_t kNeverEnds = std::numeric_limits<std::uint64_t>::max();

inline bool IsIntro(int section) {
  return section == kIntro1 || section == kIntro1 + 1;
}
inline bool IsVariation(int section) {
  return section == kVar1 || section == kVar1 + 1;
}
inline bool IsFill(int section) {
  return section >= kFill1 && section < kFill1 + 4;
}
inline bool IsEnding(int section) {
  return section >= kEnd1;
}

/// The fill that leads from variation `from` to variation `to`: Fill1 from Var1 to Var1, Fill2
/// from Var1 to Var2, Fill3 from Var2 to Var2, Fill4 from Var2 to Var1.
int FillBetween(int from, int to);
/// The variation a fill leads to.
int FillTarget(int fill);

/// The fill a "[Fill]" at chart bar `at` plays: to the variation that the bar after the fill
/// cues, else back to `variation`, the one playing.
int CuedFill(const TRhythmSlot& slot, const std::vector<TChartBar>& bars, std::size_t at,
             int variation);

/// A section's set-up messages and its notes as the render generates them, each note-on paired
/// with the first note-off of its key and part that follows it (a note never ended lasts
/// kNeverEnds).
struct TSectionNotes {
  std::vector<TSongEvent> setup;
  std::vector<TTimedNote> notes;
};

TSectionNotes ReadSectionNotes(const TRhythmSlot& slot, int section);

/// The sections' notes, each read once when first asked for.
class TSectionNotesCache {
 public:
  explicit TSectionNotesCache(const TRhythmSlot& slot) : slot_(slot) {}
  const TSectionNotes& Of(int section);

 private:
  const TRhythmSlot& slot_;
  std::array<std::optional<TSectionNotes>, kSectionCount> sections_;
};

/// The set-up messages and notes of `bars` (each `barTicks` long): each run of a section's bars
/// in order brings the section's set-up messages at its start and the notes that start in those
/// bars, ended at the run's end at the latest.
void CollectBarNotes(TSectionNotesCache& sections, std::uint32_t barTicks,
                     const std::vector<TSongBar>& bars, std::vector<TSongEvent>& setup,
                     std::vector<TTimedNote>& notes);

/// Every message in the order it goes: at one tick the notes that end, the set-up messages,
/// the notes that start, and last the ends of notes that start there and last no time.
std::vector<TSongEvent> OrderedEvents(const std::vector<TSongEvent>& setup,
                                      const std::vector<TTimedNote>& notes);

}  // namespace brondel::chords
