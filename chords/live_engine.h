// A rhythm played live, as a keyboard plays it under the left hand: the player asks for chords
// and sections while it plays, and the engine gives the messages slice by slice, bar by bar.
// An intro leads into the variation, a section asked changes at the next bar line, a fill plays
// to its end and goes on with the variation it leads to, an ending plays and ends the play. A
// chord asked takes effect at once: the bass and chord notes sounding are re-pitched (retrigger
// on) or cut (off) by their part's settings. With sync start nothing plays until the first
// chord. The rules of a song (section_flow.h, chord_map.h) are the ones applied; docs/CHORDS.md
// gives the live rules.
//
// Pure and single-threaded: whoever drives it (playback's live source) serializes the calls.
// Asks are kept and take effect at the tick the next Render starts from, so that the one who
// renders decides when "now" is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chords/chart.h"
#include "chords/chord_map.h"
#include "chords/section_flow.h"
#include "chords/song.h"
#include "document/rhythm_slot.h"

namespace brondel::chords {

/// Asked instead of a section: the fill from the variation playing back to it (Fill1 on Var1,
/// Fill3 on Var2), or, when the other variation is asked before it starts, the fill leading
/// there (Fill2, Fill4).
inline constexpr int kAskFill = -1;
/// Asked instead of a section: the ending of the variation playing (End1 after Var1, End2 after
/// Var2; the other when it has no bars).
inline constexpr int kAskEnding = -2;

/// What a live play sends from one tick up to another.
struct TLiveSlice {
  std::vector<TSongEvent> events;    // in the order they go; ticks counted from the play's start
  std::optional<std::uint64_t> end;  // the play ends at this tick (an ending has played)
};

/// Where a live play is at a tick: the section, its bar and its tick from the section's start.
struct TLivePlace {
  int section = 0;
  int sectionBar = 0;
  std::uint32_t sectionTick = 0;
  std::uint64_t bar = 0;  // the play's bar, counted from 0
  int chartBar = -1;      // the chart's bar it plays (from 0), or -1

  friend bool operator==(const TLivePlace&, const TLivePlace&) = default;
};

class TLiveEngine {
 public:
  /// A play of the rhythm in `slot`, copied: edits of the document do not reach a play that
  /// runs.
  TLiveEngine(TRhythmSlot slot, TPlaySettings play);
  TLiveEngine(const TLiveEngine&) = delete;
  TLiveEngine& operator=(const TLiveEngine&) = delete;

  /// Where the play starts: an intro (then the variation) or a variation, from its first bar;
  /// with `syncStart` nothing plays until the first chord is asked (a chart does not wait). Call
  /// before the first Render. A refusal when the section or its variation has no bars ("Var1
  /// has no bars"), or the rhythm's meter makes no bars.
  std::string Start(int section, bool syncStart);
  /// A chart to play from the start: its chords at its bars' shares, its cues asked at their
  /// bars; an intro plays under its first chord; after its last bar it starts again. The chart's
  /// bars count the variation and fill bars. Call before Start.
  void SetChart(TChart chart);

  /// The chord from the next Render's first tick on (N.C.: bass and chords silent). The first
  /// chord ends a sync start's wait: bar 1 starts there.
  void AskChord(const TChordSymbol& chord);
  /// A section from the next bar line on (an index of kSectionNames, kAskFill or kAskEnding); a
  /// later ask replaces one that has not started. A section with no bars is not asked.
  void AskSection(int section);
  /// The parts' settings from the next Render's first tick on: what sounds then plays on at the
  /// keys the new settings give.
  void SetPlaySettings(const TPlaySettings& play);

  /// The messages from `from` up to `to` (exclusive); when the play ends by `to`, up to its end
  /// included (the note-offs there). Each call starts at or before the last one's end: one that
  /// starts earlier renders that stretch anew with what was asked since (nothing of it was
  /// heard). The bars that started before the last call's start keep their sections; a chord or
  /// settings asked take effect at `from`.
  TLiveSlice Render(std::uint64_t from, std::uint64_t to);

  /// The rhythm's bar in ticks.
  std::uint32_t BarTicks() const { return barTicks_; }
  /// True while a sync start waits for its first chord.
  bool Waiting() const { return waiting_; }
  /// Where the play is at `tick`, as far as it has been rendered; none before its first bar.
  std::optional<TLivePlace> PlaceAt(std::uint64_t tick) const;
  /// The chord sounding at `tick` as far as it has been rendered (none asked yet: C major,
  /// as recorded).
  TChordSymbol ChordAt(std::uint64_t tick) const;
  /// The chord asked last (sounding, or about to).
  const TChordSymbol& LastChord() const { return lastChord_; }
  /// True when a chart gives the chords.
  bool PlaysChart() const { return chart_.has_value(); }
  /// True while a chord asked has not been rendered yet.
  bool ChordPending() const { return pendingChord_.has_value(); }
  /// The section asked that has not started yet, if any.
  std::optional<int> AskedSection() const { return asked_; }

 private:
  /// How the bars go on after a bar: the next bar's section and bar in it, the variation, the
  /// chart's bar for the next variation or fill bar, and whether an ending has played.
  struct TFlowState {
    int current = kVar1;
    int bar = 0;
    int variation = kVar1;
    bool ended = false;
    std::size_t chartBar = 0;
  };
  struct TPlannedBar {
    TSongBar bar;
    int chartBar = -1;  // the chart's bar it plays, or -1
    TFlowState after;
    std::uint64_t ask = 0;  // the ask (its serial) that took effect at this bar, if any
  };
  struct TSettingsFrom {
    std::uint64_t tick = 0;
    TPlaySettings play;
  };

  int BarCount(int section) const;
  /// Starts `section` in `state` when it has bars.
  void Switch(TFlowState& state, int section) const;
  /// The bar that `state` plays from `start`, with the ask `ask` taking effect there; `state`
  /// moves on past it.
  TPlannedBar PlanBar(TFlowState& state, std::optional<int> ask, std::uint64_t start) const;
  /// The bars that started before `from` are kept as planned; an ask that took effect there is
  /// done.
  void KeepBarsBefore(std::uint64_t from);
  /// Plans the bars that start from the kept ones' end up to `to`.
  void PlanUpTo(std::uint64_t to);
  std::uint64_t NextBarStart() const;
  /// Every chord change: the asked ones and the chart's at the planned bars, in tick order (at
  /// one tick the asked one last).
  std::vector<TChordChange> ChordChanges() const;
  /// The notes of the bars from `first` on as they sound under the chords and settings, and
  /// the set-up messages of their runs.
  std::vector<TTimedNote> SoundingNotes(std::size_t first, std::vector<TSongEvent>& setup);

  TRhythmSlot slot_;
  TSectionNotesCache sections_;
  std::uint32_t barTicks_ = 0;
  std::optional<TChart> chart_;
  bool waiting_ = false;
  std::uint64_t origin_ = 0;  // where bar 1 starts
  // The bars that have started, and the flow after them.
  std::vector<TPlannedBar> kept_;
  TFlowState flow_;
  // The bars planned after them by the last Render.
  std::vector<TPlannedBar> planned_;
  std::optional<int> asked_;
  std::uint64_t askSerial_ = 0;  // counts the asks, so that a bar knows which one it took
  std::optional<TChordSymbol> pendingChord_;
  TChordSymbol lastChord_ = TChord{};
  std::vector<TChordChange> askedChords_;
  std::optional<TPlaySettings> pendingSettings_;
  std::vector<TSettingsFrom> settings_;
};

}  // namespace brondel::chords
