// A song's chord chart as text: bars separated by "|" (or line ends), the chords of a bar
// sharing it evenly, "." holding the chord before for its share ("C . . G7": three beats of C,
// one of G7 in 4/4), "%" repeating the bar before, "N.C." silencing bass and chords, and a
// section cue such as "[Var2]" or "[Fill]" opening a bar. docs/CHORDS.md gives the syntax.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chords/chord.h"

namespace brondel::chords {

/// A section change a chart asks for at the start of a bar: a section by its index in
/// kSectionNames, or none for "[Fill]", the fill that leads from the variation playing to the
/// one that plays after it.
struct TSectionCue {
  std::optional<int> section;

  friend bool operator==(const TSectionCue&, const TSectionCue&) = default;
};

/// A chord that starts at a share of its bar.
struct TBarChord {
  int share = 0;  // counted from 0
  TChordSymbol chord;

  friend bool operator==(const TBarChord&, const TBarChord&) = default;
};

/// One bar of a chart: split into `shares` equal parts, the chords that start at them (a bar
/// that opens with "." has none at share 0: the chord before goes on), and its cue.
struct TChartBar {
  int shares = 1;
  std::vector<TBarChord> chords;
  std::optional<TSectionCue> cue;

  friend bool operator==(const TChartBar&, const TChartBar&) = default;
};

/// A chart: its bars in order; the first opens with a chord.
struct TChart {
  std::vector<TChartBar> bars;
};

/// A chart read, or why it could not be: "bar 3: 'Hm7' is not a chord".
struct TChartRead {
  TChart chart;
  std::string error;  // non-empty: nothing was read
};

/// Reads a chart. Bars are separated by "|" or line ends; bars with nothing in them ("||", a
/// trailing "|") are no bars. Words are separated by spaces or tabs; a cue ("[Intro1]",
/// "[Intro2]", "[Var1]", "[Var2]", "[Fill]", "[Fill1]" to "[Fill4]", "[End1]", "[End2]", any
/// letter case) opens its bar; "%" stands alone after it. An error names the bar (counted from
/// 1) and the word it could not read.
TChartRead ParseChart(std::string_view text);

}  // namespace brondel::chords
