// What a section plays, laid out for the eye: one lane per part, whose rows are the keys the part
// plays; one bar per note, from its note-on to its note-off; the meter that bar and beat lines
// follow. The notes are read from the section's own buffer, in the order it plays them, so that
// every bar stands where and as long as it sounds:
//  - times are the render's: each part's 16-bit running time, which wraps past 65535 to 0;
//  - a note sounds from its note-on until the buffer next plays its key in its part: a note-off
//    (velocity 0) ends it, and a note-on of a key still sounding restarts the key, ending the bar
//    before. Of the events at one tick the buffer's order counts, and the render's sort does not
//    keep the order of the records: a note-off and a note-on of one key at the same tick may go
//    out note-on first, and that note is cut as it starts (a bar of length 0);
//  - a note that nothing ends sounds until the section's end, where the buffer ends;
//  - waits, end records and note-offs of keys not sounding are no notes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "document/rhythm_slot.h"
#include "document/rhythm_timing.h"
#include "render/render.h"

namespace brondel {

/// One note as the buffer plays it.
struct TPatternNote {
  int part = 0;               // 0-4
  int key = 0;                // the record's byte 1: 0-253, a byte above 127 is sent as it is
  int row = 0;                // the key's row in the part's lane, 0 for its highest key
  std::uint32_t start = 0;    // ticks from the section's start: the note-on's time
  std::uint32_t length = 0;   // ticks until the event that ends it, or until the section's end
  int velocity = 0;           // the record's byte 2: 1-255
  bool leftSounding = false;  // nothing ends it before the section's end

  friend bool operator==(const TPatternNote&, const TPatternNote&) = default;
};

/// One part's lane: its rows, and where its notes stand in TSectionPattern::notes.
struct TPatternLane {
  std::vector<int> keys;      // row r shows keys[r]: the keys the part plays, highest first
  std::size_t firstNote = 0;  // the lane's notes are notes[firstNote, firstNote + noteCount)
  std::size_t noteCount = 0;
  std::uint32_t longestNote = 0;  // the longest note's length: how far back a note may start
                                  // and still reach a tick
};

/// A bar:beat:tick position: bar and beat counted from 1, tick from 0 within the beat.
struct TMusicalPosition {
  std::uint64_t bar = 1;
  std::uint64_t beat = 1;
  std::uint64_t tick = 0;

  friend bool operator==(const TMusicalPosition&, const TMusicalPosition&) = default;
};

/// The meter the grid follows: `numerator` beats of a 1/`denominator` note to the bar, at
/// `ticksPerQuarter` ticks to the quarter note. A beat of 4 x Q / denominator ticks need not be
/// whole: beat k starts at tick floor(k x 4 x Q / denominator), and bar k at beat k x numerator.
struct TPatternMeter {
  int numerator = 4;
  int denominator = 4;
  int ticksPerQuarter = kDefaultTicksPerQuarterNote;

  /// How many beats make one felt beat: 3 in compound meters (6/8, 9/8, 12/8, 12/16: the
  /// eighths go in threes), else 1.
  int BeatsPerPulse() const;
  /// True when a beat lasts at least one tick; a finer grid is not drawn.
  bool HasBeats() const;
  /// True when a bar lasts at least one tick: a numerator above 0 and not too fine a grid.
  bool HasBars() const;
  /// The tick at which beat `beat` (counted from 0) starts. Needs HasBeats().
  std::uint64_t BeatStart(std::uint64_t beat) const;
  /// The tick at which bar `bar` (counted from 0) starts. Needs HasBars().
  std::uint64_t BarStart(std::uint64_t bar) const;
  /// Where a tick stands in bars and beats; without bars everything is bar 1, without beats
  /// everything beat 1.
  TMusicalPosition PositionOf(std::uint64_t tick) const;
};

/// A line of the grid.
struct TGridLine {
  std::uint64_t tick = 0;
  std::uint64_t bar = 0;  // the number (from 1) of the bar that starts here; 0 for a beat line
  bool pulse = true;      // a felt beat starts here (a bar too); false inside a compound beat

  friend bool operator==(const TGridLine&, const TGridLine&) = default;
};

/// The bar and beat lines from tick `from` to tick `to`, both included, in ascending order.
std::vector<TGridLine> GridLines(const TPatternMeter& meter, std::uint64_t from, std::uint64_t to);

/// The notes of one section in five lanes.
struct TSectionPattern {
  TPatternMeter meter;
  std::uint16_t bars = 0;    // the section's bar count, as its list shows it
  std::uint32_t length = 0;  // ticks until the buffer's last event: the section's end
  std::array<TPatternLane, kPartCount> lanes;
  std::vector<TPatternNote> notes;  // lane after lane, each lane's by start

  /// The ticks the timeline shows: the section's length, or its bars when they last longer, at
  /// most the 65,536 ticks of a section's timeline, at least 1.
  std::uint32_t Extent() const;
  /// The notes of part 0-4, by start.
  std::span<const TPatternNote> LaneNotes(int part) const;
  /// The run of a lane's notes that may sound between ticks `from` and `to`: every note that
  /// starts from `from` minus the lane's longest note up to `to`. Those that end before `from`
  /// are left for the caller to skip.
  std::span<const TPatternNote> NotesNear(int part, std::uint32_t from, std::uint32_t to) const;
};

/// The pattern of events in the order a buffer plays them, each at its time from the section's
/// start (not a delta): notes on the parts' channels, anything else only counted for the
/// section's length. `bars` is the section's bar count.
TSectionPattern PatternFromEvents(std::span<const TRenderEvent> inPlayOrder,
                                  const TPatternMeter& meter, std::uint16_t bars);

/// The pattern of section 0-9 of a slot: its events collected and ordered as RenderSection
/// orders them, the meter from the time signature and the rhythm's ticks per quarter note.
TSectionPattern BuildSectionPattern(const TRhythmSlot& slot, int section);

}  // namespace brondel
