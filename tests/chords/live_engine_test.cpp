// The live engine on its own: a chart played live a beat at a time gives the same messages as
// the song arranged from it, whatever the slices; a chord asked mid-slice and the slice asked
// again from there; the flow of asked sections; what the play line reads.
#include <gtest/gtest.h>

#include <filesystem>

#include "chords/live_engine.h"
#include "document/rhythm_loader.h"

namespace brondel::chords {
namespace {

namespace fs = std::filesystem;

TRhythmSlot PopBeat() {
  TLoadOutcome outcome =
      ReadRhythmFile((fs::path(BRONDEL_SOURCE_DIR) / "examples" / "pop_beat.ckf").string());
  EXPECT_EQ(outcome.status, TLoadStatus::kLoaded) << outcome.message;
  return outcome.rhythm ? outcome.rhythm->slot : TRhythmSlot{};
}

TChart Chart(const char* text) {
  TChartRead read = ParseChart(text);
  EXPECT_EQ(read.error, "");
  return read.chart;
}

std::vector<TSongEvent> RenderInSlices(TLiveEngine& engine, std::uint64_t length,
                                       std::uint64_t slice) {
  std::vector<TSongEvent> events;
  for (std::uint64_t from = 0; from < length; from += slice) {
    const TLiveSlice part = engine.Render(from, std::min(from + slice, length));
    events.insert(events.end(), part.events.begin(), part.events.end());
  }
  return events;
}

TEST(LiveEngine, AChartPlayedLiveSendsWhatTheArrangedSongSends) {
  const TRhythmSlot slot = PopBeat();
  const char* chart =
      "C | Am | F G7 | C . . C7 | F | Fm6 | [Fill] C/G G7 | [Var2] C | % | N.C. | C";
  TArrangeOptions options;
  const TSongResult song = ArrangeSong(slot, Chart(chart), options);
  ASSERT_EQ(song.refusal, "");
  // The song's last bar ends its notes at its end; the live play goes on, so those are compared
  // up to the tick before.
  std::vector<TSongEvent> expected;
  for (const TSongEvent& event : song.song.events) {
    if (event.tick < song.song.length) expected.push_back(event);
  }
  for (const std::uint64_t slice :
       {std::uint64_t{96}, std::uint64_t{17}, std::uint64_t{song.song.barTicks} * 3}) {
    TLiveEngine engine(slot, DefaultPlaySettings());
    engine.SetChart(Chart(chart));
    ASSERT_EQ(engine.Start(kVar1, false), "");
    EXPECT_EQ(RenderInSlices(engine, song.song.length, slice), expected) << "slices of " << slice;
    for (std::size_t b = 0; b < song.song.bars.size(); ++b) {
      const auto place = engine.PlaceAt(song.song.bars[b].start + 5);
      ASSERT_TRUE(place);
      EXPECT_EQ(place->section, song.song.bars[b].section) << "bar " << b;
      EXPECT_EQ(place->bar, b);
      EXPECT_EQ(place->chartBar, static_cast<int>(b)) << "one chart bar a song bar";
    }
  }
}

TEST(LiveEngine, AStretchAskedAgainAfterAChordReplacesWhatWasRenderedThere) {
  const TRhythmSlot slot = PopBeat();
  const std::uint32_t bar = BarTicks(slot);
  // One engine changes its mind mid-slice; the other is asked the same from the start.
  TLiveEngine changed(slot, DefaultPlaySettings());
  TLiveEngine straight(slot, DefaultPlaySettings());
  ASSERT_EQ(changed.Start(kVar1, false), "");
  ASSERT_EQ(straight.Start(kVar1, false), "");
  const std::uint64_t at = bar / 2 + 7;
  std::vector<TSongEvent> first = changed.Render(0, bar).events;
  std::erase_if(first, [at](const TSongEvent& e) { return e.tick >= at; });
  changed.AskChord(ParseChordSymbol("Dm7").value());
  std::vector<TSongEvent> rest = changed.Render(at, bar).events;
  first.insert(first.end(), rest.begin(), rest.end());
  std::vector<TSongEvent> whole = straight.Render(0, at).events;
  straight.AskChord(ParseChordSymbol("Dm7").value());
  rest = straight.Render(at, bar).events;
  whole.insert(whole.end(), rest.begin(), rest.end());
  EXPECT_EQ(first, whole);
  EXPECT_EQ(changed.ChordAt(at - 1), TChordSymbol(TChord{}));
  EXPECT_EQ(changed.ChordAt(at), ParseChordSymbol("Dm7").value());
}

TEST(LiveEngine, AskedSectionsChangeAtTheNextBarLine) {
  const TRhythmSlot slot = PopBeat();
  const std::uint32_t bar = BarTicks(slot);
  TLiveEngine engine(slot, DefaultPlaySettings());
  ASSERT_EQ(engine.Start(kIntro1, false), "");
  const int introBars = slot.header.BarCount(kIntro1);
  std::uint64_t tick = 0;
  const auto playBars = [&](int bars) {
    for (int b = 0; b < bars; ++b, tick += bar) engine.Render(tick, tick + bar);
  };
  playBars(introBars);
  EXPECT_EQ(engine.PlaceAt(tick - 1)->section, kIntro1);
  playBars(1);
  EXPECT_EQ(engine.PlaceAt(tick - 1)->section, kVar1) << "the intro leads into Var1";
  engine.Render(tick, tick + bar / 2);
  engine.AskSection(kVar1 + 1);
  EXPECT_EQ(engine.AskedSection(), kVar1 + 1);
  engine.Render(tick + bar / 2, tick + bar);
  EXPECT_EQ(engine.PlaceAt(tick + bar - 1)->section, kVar1) << "the bar playing plays on";
  tick += bar;
  engine.Render(tick, tick + bar / 2);
  EXPECT_EQ(engine.PlaceAt(tick)->section, kVar1 + 1);
  EXPECT_EQ(engine.PlaceAt(tick)->sectionBar, 0);
  // Asked while the bar that took the last ask has not been left behind yet: the new ask
  // stands.
  engine.AskSection(kEnd1);
  engine.Render(tick + bar / 2, tick + bar);
  tick += bar;
  EXPECT_EQ(engine.AskedSection(), kEnd1);
  const std::uint64_t endingStart = tick;
  std::optional<std::uint64_t> end;
  for (int b = 0; b < 40 && !end; ++b, tick += bar) end = engine.Render(tick, tick + bar).end;
  ASSERT_TRUE(end);
  EXPECT_EQ(engine.PlaceAt(endingStart)->section, kEnd1);
  EXPECT_EQ(*end, endingStart + bar * std::uint64_t{slot.header.BarCount(kEnd1)})
      << "the ending plays all its bars, then the play ends";
}

}  // namespace
}  // namespace brondel::chords
