// A whole song from a rhythm and a chord chart, as a keyboard plays it: the intro, the
// variation looped bar by bar under the chart, fills where asked, the ending; the bass and
// chord parts following the chords (chord_map.h), the drums as recorded. The result is a
// timeline of the messages to send, which the tool writes as a MIDI file or renders to audio.
// docs/CHORDS.md describes the song's flow.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chords/chart.h"
#include "chords/chord_map.h"
#include "document/rhythm_slot.h"
#include "render/render.h"

namespace brondel::chords {

/// What to play around and under the chart.
struct TArrangeOptions {
  std::optional<int> intro;   // 1 or 2: Intro1 or Intro2 before the chart
  int variation = 1;          // 1 or 2: the variation the song starts with
  int fillEvery = 0;          // above 0: a fill in every fillEvery-th bar of the chart
  std::optional<int> ending;  // 1 or 2: End1 or End2 after the chart
  int repeat = 1;             // the chart played this many times
  TPlaySettings play = DefaultPlaySettings();
};

/// One bar of the song: which bar (from 0) of which section (an index of kSectionNames) plays,
/// from which tick.
struct TSongBar {
  int section = 0;
  int sectionBar = 0;
  std::uint64_t start = 0;

  friend bool operator==(const TSongBar&, const TSongBar&) = default;
};

/// A message of the song at its tick.
struct TSongEvent {
  std::uint64_t tick = 0;
  std::uint8_t status = 0;
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;

  friend bool operator==(const TSongEvent&, const TSongEvent&) = default;
};

/// A text the song's MIDI file carries: a marker with a section's name where it starts, or a
/// chord's name where it starts to sound.
struct TSongLabel {
  std::uint64_t tick = 0;
  bool marker = false;  // false: a chord name
  std::string text;
};

/// A song: the rhythm's bar length in ticks, its bars, its chord changes (each a new chord, the
/// first at 0), and the messages it sends in the order they go, each at its tick: at every
/// section's start that section's set-up messages (the render's own), and the notes.
struct TSong {
  std::uint32_t barTicks = 0;
  std::vector<TSongBar> bars;
  std::vector<TChordChange> chords;
  std::vector<TSongEvent> events;
  std::uint64_t length = 0;  // bars x barTicks

  /// A marker with the section's name at each bar where the section changes (not where a
  /// variation loops), and the chords' names where they change, in tick order (at one tick the
  /// marker first).
  std::vector<TSongLabel> Labels() const;
};

/// A song made, or why it cannot be ("Fill2 has no bars").
struct TSongResult {
  TSong song;
  std::string refusal;  // non-empty: no song
};

/// The most bars a song may have (the chart's bars times the repeats): hours of music. A bar
/// is never longer than a section's 16-bit timeline, so the song's ticks fit 32 bits, as the
/// waits of a stream-event buffer do.
inline constexpr std::uint64_t kMaxSongBars = 10000;

/// The rhythm's bar in ticks: its ticks per quarter note (rhythm_timing.h) times the quarter
/// notes of its time signature's bar; 0 when the signature has no beats.
std::uint32_t BarTicks(const TRhythmSlot& slot);

/// The song of `chart` on the rhythm in `slot` (see docs/CHORDS.md for the flow). A chart played
/// over more than kMaxSongBars bars is refused.
TSongResult ArrangeSong(const TRhythmSlot& slot, const TChart& chart,
                        const TArrangeOptions& options);

/// The song as one stream-event buffer, as the stream plays it at the rhythm's time division
/// (StreamTimeDivision): its messages in order, an empty event at its end so that it lasts its
/// bars.
TEventBuffer SongBuffer(const TSong& song);

}  // namespace brondel::chords
