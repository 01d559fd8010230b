// Reading chord charts: bars, shares and beats, "%", N.C., section cues, and errors that name
// the bar and the word.
#include <gtest/gtest.h>

#include "chords/chart.h"
#include "document/rhythm_format.h"

namespace brondel::chords {
namespace {

TChordSymbol Chord(const char* name) {
  return *ParseChordSymbol(name);
}

TChart Read(const char* text) {
  const TChartRead read = ParseChart(text);
  EXPECT_EQ(read.error, "") << text;
  return read.chart;
}

TEST(ParseChart, BarsAndTheirChords) {
  const TChart chart = Read("C | Am | Dm7 G7 | C");
  ASSERT_EQ(chart.bars.size(), 4u);
  EXPECT_EQ(chart.bars[0], (TChartBar{1, {{0, Chord("C")}}, {}}));
  EXPECT_EQ(chart.bars[2], (TChartBar{2, {{0, Chord("Dm7")}, {1, Chord("G7")}}, {}}));
}

TEST(ParseChart, DotsHoldTheChordForTheirShare) {
  const TChart chart = Read("C . . G7 | . . F .");
  EXPECT_EQ(chart.bars[0], (TChartBar{4, {{0, Chord("C")}, {3, Chord("G7")}}, {}}));
  EXPECT_EQ(chart.bars[1], (TChartBar{4, {{2, Chord("F")}}, {}}));
}

TEST(ParseChart, PercentRepeatsTheBarBeforeAndNoChordIsAChord) {
  const TChart chart = Read("C G | % | N.C. | [Fill] %");
  ASSERT_EQ(chart.bars.size(), 4u);
  EXPECT_EQ(chart.bars[1], chart.bars[0]);
  EXPECT_EQ(chart.bars[2], (TChartBar{1, {{0, TChordSymbol{}}}, {}}));
  EXPECT_EQ(chart.bars[3].chords, chart.bars[2].chords);
  EXPECT_EQ(chart.bars[3].cue, TSectionCue{});
}

TEST(ParseChart, CuesOpenTheirBar) {
  const TChart chart = Read("[Intro1] C | [var2] F | [Fill] G | [Fill4]C | [END2] C");
  EXPECT_EQ(chart.bars[0].cue, (TSectionCue{SectionNamed("Intro1")}));
  EXPECT_EQ(chart.bars[1].cue, (TSectionCue{SectionNamed("Var2")}));
  EXPECT_EQ(chart.bars[2].cue, TSectionCue{});
  EXPECT_EQ(chart.bars[3].cue, (TSectionCue{SectionNamed("Fill4")}));
  EXPECT_EQ(chart.bars[3].chords, (std::vector<TBarChord>{{0, Chord("C")}}));
  EXPECT_EQ(chart.bars[4].cue, (TSectionCue{SectionNamed("End2")}));
}

TEST(ParseChart, LineEndsEndBarsAndEmptyBarsAreNone) {
  const TChart chart = Read("| C | F ||\n\tG7  |\r\nC\n\n");
  ASSERT_EQ(chart.bars.size(), 4u);
  EXPECT_EQ(chart.bars[2].chords, (std::vector<TBarChord>{{0, Chord("G7")}}));
}

TEST(ParseChart, ErrorsNameTheBarAndTheWord) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"C | Hm | G", "bar 2: 'Hm' is not a chord"},
      {"C | F Gsus9", "bar 2: 'Gsus9' is not a chord"},
      {"% | C", "bar 1: '%' has no bar before it"},
      {"C | % G", "bar 2: 'G' follows '%', which stands alone"},
      {"C | G %", "bar 2: '%' is not a chord"},
      {". C | G", "bar 1: '.' has no chord before it to hold"},
      {"C | G [Fill] C", "bar 2: '[Fill]' must open its bar"},
      {"C | [Var3] G", "bar 2: '[Var3]' is not a section cue"},
      {"C | [Fill", "bar 2: '[Fill' is not a section cue"},
      {"C | F | [Fill]", "bar 3: '[Fill]' has no chord after it"},
      {"", "the chart has no bars"},
      {" | \n |", "the chart has no bars"},
  };
  for (const auto& [text, error] : cases) EXPECT_EQ(ParseChart(text).error, error) << text;
}

}  // namespace
}  // namespace brondel::chords
