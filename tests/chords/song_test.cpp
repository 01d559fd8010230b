// Whole songs: arrange on every example rhythm under random charts (the drums as recorded bar
// for bar, every bass and chord note in its chord's table, the sections in the order asked,
// the length the sum of the bars, a MIDI file that reads back, the same bytes twice), and the
// flow of cues, fills, intros and endings.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <tuple>

#include "chords/song.h"
#include "document/rhythm_loader.h"
#include "exchange/midi_export.h"
#include "platform/midi_file.h"
#include "platform/midi_messages.h"
#include "platform/midi_service.h"

namespace brondel::chords {
namespace {

namespace fs = std::filesystem;

constexpr int kIntro1 = 0, kIntro2 = 1, kVar1 = 2, kVar2 = 3, kFill1 = 4, kFill2 = 5, kFill3 = 6,
              kFill4 = 7, kEnd1 = 8, kEnd2 = 9;

TRhythmSlot LoadRhythm(const fs::path& path) {
  TLoadOutcome outcome = ReadRhythmFile(path.string());
  EXPECT_EQ(outcome.status, TLoadStatus::kLoaded) << path << ": " << outcome.message;
  return outcome.rhythm ? outcome.rhythm->slot : TRhythmSlot{};
}

TRhythmSlot PopBeat() {
  return LoadRhythm(fs::path(BRONDEL_SOURCE_DIR) / "examples" / "pop_beat.ckf");
}

std::vector<fs::path> ExampleRhythms() {
  std::vector<fs::path> paths;
  for (const auto& entry : fs::directory_iterator(fs::path(BRONDEL_SOURCE_DIR) / "examples")) {
    const fs::path extension = entry.path().extension();
    if (extension == ".ckf" || extension == ".z00") paths.push_back(entry.path());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

TSong Arrange(const TRhythmSlot& slot, const char* chart, const TArrangeOptions& options = {}) {
  const TChartRead read = ParseChart(chart);
  EXPECT_EQ(read.error, "");
  TSongResult result = ArrangeSong(slot, read.chart, options);
  EXPECT_EQ(result.refusal, "") << chart;
  return std::move(result.song);
}

std::vector<int> Sections(const TSong& song) {
  std::vector<int> sections;
  for (const TSongBar& bar : song.bars) sections.push_back(bar.section);
  return sections;
}

// A note-on's offset in its bar, key and velocity.
using TOnset = std::tuple<std::uint64_t, int, int>;

// The drum hits of bar `bar` of a section, read from the render's own events.
std::vector<TOnset> SourceDrums(const TRhythmSlot& slot, int section, int bar,
                                std::uint32_t barTicks) {
  std::vector<TRenderEvent> events;
  CollectSectionEvents(slot, section, events);
  std::vector<TOnset> hits;
  const std::uint64_t from = std::uint64_t{barTicks} * static_cast<std::uint64_t>(bar);
  for (const TRenderEvent& event : events) {
    if (event.Status == PartStatus(midi::kNoteOn, 0) && event.Data1 < 128 && event.Data2 > 0 &&
        event.Time >= from && event.Time < from + barTicks) {
      hits.emplace_back(event.Time - from, event.Data1, event.Data2);
    }
  }
  std::sort(hits.begin(), hits.end());
  return hits;
}

std::vector<TOnset> SongDrums(const TSong& song, const TSongBar& bar) {
  std::vector<TOnset> hits;
  for (const TSongEvent& event : song.events) {
    if (event.status == PartStatus(midi::kNoteOn, 0) && event.data2 > 0 && event.tick >= bar.start &&
        event.tick < bar.start + song.barTicks) {
      hits.emplace_back(event.tick - bar.start, event.data1, event.data2);
    }
  }
  std::sort(hits.begin(), hits.end());
  return hits;
}

const TChordSymbol& ChordAt(const TSong& song, std::uint64_t tick) {
  auto after =
      std::upper_bound(song.chords.begin(), song.chords.end(), tick,
                       [](std::uint64_t t, const TChordChange& change) { return t < change.tick; });
  return std::prev(after)->chord;
}

// A chart of `bars` bars: random roots (sharps and flats), types, slash basses, N.C., holds
// and repeats.
std::string RandomChart(std::mt19937& random, int bars) {
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const std::vector<std::string> roots = {"C",  "C#", "Db", "D",  "Eb", "E",  "F",
                                          "F#", "Gb", "G",  "Ab", "A",  "Bb", "B"};
  const auto chord = [&] {
    if (pick(12) == 0) return std::string("N.C.");
    std::string name = roots[static_cast<std::size_t>(pick(14))] +
                       std::string(ChordTypes()[static_cast<std::size_t>(pick(19))].name);
    if (pick(6) == 0) name += "/" + roots[static_cast<std::size_t>(pick(14))];
    return name;
  };
  std::string chart;
  for (int b = 0; b < bars; ++b) {
    if (b > 0) chart += pick(5) == 0 ? "\n" : " | ";
    if (b > 0 && pick(8) == 0) {
      chart += "%";
      continue;
    }
    const int shares = 1 + pick(4);
    for (int s = 0; s < shares; ++s) {
      if (s > 0) chart += ' ';
      chart += s > 0 && pick(3) == 0 ? "." : chord();
    }
  }
  return chart;
}

TArrangeOptions RandomOptions(std::mt19937& random) {
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  TArrangeOptions options;
  if (pick(2) == 0) options.intro = 1 + pick(2);
  options.variation = 1 + pick(2);
  options.fillEvery = pick(2) == 0 ? 0 : 2 + pick(4);
  if (pick(2) == 0) options.ending = 1 + pick(2);
  options.repeat = 1 + pick(2);
  return options;
}

// The bars' sections a chart without cues gives, when every fill is one bar long.
std::vector<TSongBar> ExpectedBars(const TRhythmSlot& slot, int chartBars,
                                   const TArrangeOptions& options) {
  std::vector<std::pair<int, int>> played;
  if (options.intro) {
    const int intro = kIntro1 + *options.intro - 1;
    for (int b = 0; b < slot.header.BarCount(intro); ++b) played.emplace_back(intro, b);
  }
  const int variation = kVar1 + options.variation - 1;
  int bar = 0;
  for (int b = 0; b < chartBars * options.repeat; ++b) {
    if (options.fillEvery > 0 && (b + 1) % options.fillEvery == 0) {
      played.emplace_back(variation == kVar1 ? kFill1 : kFill3, 0);
      bar = 0;
    } else {
      played.emplace_back(variation, bar);
      bar = (bar + 1) % slot.header.BarCount(variation);
    }
  }
  if (options.ending) {
    const int ending = kEnd1 + *options.ending - 1;
    for (int b = 0; b < slot.header.BarCount(ending); ++b) played.emplace_back(ending, b);
  }
  std::vector<TSongBar> bars;
  for (const auto& [section, sectionBar] : played) {
    bars.push_back({section, sectionBar, bars.size() * std::uint64_t{BarTicks(slot)}});
  }
  return bars;
}

std::vector<TMidiText> Texts(const TSong& song) {
  std::vector<TMidiText> texts;
  for (const TSongLabel& label : song.Labels()) {
    texts.push_back(
        {label.tick, label.marker ? platform::kMetaMarker : platform::kMetaText, label.text});
  }
  return texts;
}

std::vector<std::string> MetaTexts(const platform::TMidiFileTrack& track, std::uint8_t type) {
  std::vector<std::string> texts;
  for (const platform::TMidiFileEvent& event : track.events) {
    if (platform::MetaType(event) == type) {
      const auto data = platform::MetaData(event);
      texts.emplace_back(data.begin(), data.end());
    }
  }
  return texts;
}

void CheckSong(const TRhythmSlot& slot, const std::string& chartText,
               const TArrangeOptions& options) {
  const TChartRead chart = ParseChart(chartText);
  ASSERT_EQ(chart.error, "");
  const TSongResult result = ArrangeSong(slot, chart.chart, options);
  ASSERT_EQ(result.refusal, "");
  const TSong& song = result.song;

  // The sections in the order asked, and the song as long as its bars.
  EXPECT_EQ(song.bars, ExpectedBars(slot, static_cast<int>(chart.chart.bars.size()), options));
  EXPECT_EQ(song.length, song.bars.size() * std::uint64_t{song.barTicks});
  const TEventBuffer buffer = SongBuffer(song);
  const auto decoded = platform::DecodeStreamEvents(buffer);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->back().tick, song.length);

  // The drums as the sections recorded them, bar for bar.
  for (const TSongBar& bar : song.bars) {
    EXPECT_EQ(SongDrums(song, bar), SourceDrums(slot, bar.section, bar.sectionBar, song.barTicks))
        << kSectionNames[static_cast<std::size_t>(bar.section)] << " bar " << bar.sectionBar
        << " at " << bar.start;
  }

  // Every bass and chord note in its chord's table, none on N.C., and every note ended.
  std::map<std::pair<int, int>, int> sounding;
  for (const TSongEvent& event : song.events) {
    if (midi::StatusKind(event.status) != midi::kNoteOn) continue;
    const int part = ChannelPart(static_cast<std::uint8_t>(event.status & 0x0F));
    auto& count = sounding[{part, event.data1}];
    if (event.data2 == 0) {
      EXPECT_GT(count--, 0) << "a note ended that did not sound, at " << event.tick;
      continue;
    }
    ++count;
    if (part == 0) continue;
    const TChordSymbol& chord = ChordAt(song, event.tick);
    ASSERT_TRUE(chord) << "a note of part " << part << " on N.C. at " << event.tick;
    const std::vector<TPitchClass> table = TablePitchClasses(*chord);
    EXPECT_TRUE(std::find(table.begin(), table.end(), event.data1 % 12) != table.end())
        << "key " << int{event.data1} << " of part " << part << " on " << ChordSymbolName(chord)
        << " at " << event.tick;
  }
  for (const auto& [key, count] : sounding) EXPECT_EQ(count, 0) << "part " << key.first;

  // The MIDI file reads back with a marker at each section's start and the chords' names.
  const TMidiExport exported = ExportMidiFile(slot, "song", {buffer}, Texts(song));
  ASSERT_EQ(exported.refusal, "");
  const platform::TMidiFileRead read = platform::ReadMidiFile(exported.bytes);
  ASSERT_EQ(read.error, "");
  ASSERT_EQ(read.file.tracks.size(), 1u + kPartCount);
  std::vector<std::string> markers;
  for (std::size_t b = 0; b < song.bars.size(); ++b) {
    if (b == 0 || song.bars[b].section != song.bars[b - 1].section) {
      markers.emplace_back(kSectionNames[static_cast<std::size_t>(song.bars[b].section)]);
    }
  }
  EXPECT_EQ(MetaTexts(read.file.tracks[0], platform::kMetaMarker), markers);
  std::vector<std::string> chordNames;
  for (const TChordChange& change : song.chords)
    chordNames.push_back(ChordSymbolName(change.chord));
  EXPECT_EQ(MetaTexts(read.file.tracks[0], platform::kMetaText), chordNames);
  EXPECT_EQ(read.file.tracks[0].endTick, song.length);

  // The same input, the same bytes.
  const TSongResult again = ArrangeSong(slot, chart.chart, options);
  EXPECT_EQ(ExportMidiFile(slot, "song", {SongBuffer(again.song)}, Texts(again.song)).bytes,
            exported.bytes);
}

TEST(ArrangeSong, EveryExampleUnderRandomCharts) {
  const std::vector<fs::path> examples = ExampleRhythms();
  ASSERT_GE(examples.size(), 3u);
  std::mt19937 random(19);
  for (const fs::path& path : examples) {
    const TRhythmSlot slot = LoadRhythm(path);
    for (int fill = kFill1; fill <= kFill4; ++fill) ASSERT_EQ(slot.header.BarCount(fill), 1);
    for (int round = 0; round < 40; ++round) {
      const std::string chart = RandomChart(random, 1 + static_cast<int>(random() % 24));
      const TArrangeOptions options = RandomOptions(random);
      SCOPED_TRACE(path.filename().string() + " under \"" + chart + "\"");
      CheckSong(slot, chart, options);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(ArrangeSong, CuesSwitchSectionsAtTheirBar) {
  const TRhythmSlot slot = PopBeat();
  // A [Fill] before a bar that cues the other variation leads there; one followed by anything
  // else leads back. An explicit fill leads to its own variation.
  EXPECT_EQ(Sections(Arrange(slot,
                             "[Intro2] C | F | [Var2] G | G | [Fill] C | [Fill2] C | D | "
                             "[End2] C")),
            (std::vector<int>{kIntro2, kIntro2, kVar2, kVar2, kFill3, kFill2, kVar2, kEnd2}));
  TArrangeOptions onVar2;
  onVar2.variation = 2;
  EXPECT_EQ(Sections(Arrange(slot, "C | [Fill] C | [Var1] C | [Fill] C | C", onVar2)),
            (std::vector<int>{kVar2, kFill4, kVar1, kFill1, kVar1}));
  EXPECT_EQ(Sections(Arrange(slot, "C | [Fill1] C | C | [Fill4] C | C")),
            (std::vector<int>{kVar1, kFill1, kVar1, kFill4, kVar1}));
  // A variation starts again at its first bar after a fill, and loops.
  const TSong song = Arrange(slot, "C | C | [Fill] C | C | C | C | C | C");
  std::vector<int> bars;
  for (const TSongBar& bar : song.bars) bars.push_back(bar.sectionBar);
  EXPECT_EQ(bars, (std::vector<int>{0, 1, 0, 0, 1, 2, 3, 0}));
}

TEST(ArrangeSong, SectionsPlayToTheirEndAfterTheChart) {
  const TRhythmSlot slot = PopBeat();
  // End1 has two bars: its second plays under the last chord.
  const TSong song = Arrange(slot, "C | [End1] G");
  EXPECT_EQ(Sections(song), (std::vector<int>{kVar1, kEnd1, kEnd1}));
  ASSERT_EQ(song.chords.size(), 2u);
  EXPECT_EQ(song.chords[1].tick, song.barTicks);
  EXPECT_EQ(song.length, 3u * song.barTicks);
  // An intro cued in the last bar goes on, then the ending asked for.
  TArrangeOptions ending;
  ending.ending = 2;
  EXPECT_EQ(Sections(Arrange(slot, "C | [Intro1] F", ending)),
            (std::vector<int>{kVar1, kIntro1, kIntro1, kEnd2}));
}

TEST(ArrangeSong, MarkersStandWhereTheSectionChanges) {
  const TRhythmSlot slot = PopBeat();
  // Var1 has four bars: its loop at bar 5 is no change; the fill and the return are.
  const TSong song = Arrange(slot, "C | % | % | % | % | [Fill] G | C");
  std::vector<std::pair<std::uint64_t, std::string>> markers;
  for (const TSongLabel& label : song.Labels()) {
    if (label.marker) markers.emplace_back(label.tick / song.barTicks, label.text);
  }
  EXPECT_EQ(markers, (std::vector<std::pair<std::uint64_t, std::string>>{
                         {0, "Var1"}, {5, "Fill1"}, {6, "Var1"}}));
}

TEST(ArrangeSong, TheIntroPlaysUnderTheFirstChord) {
  const TRhythmSlot slot = PopBeat();
  TArrangeOptions intro;
  intro.intro = 1;
  const TSong song = Arrange(slot, "Am | F", intro);
  ASSERT_EQ(song.chords.size(), 2u);
  EXPECT_EQ(song.chords[0].tick, 0u);
  EXPECT_EQ(ChordSymbolName(song.chords[0].chord), "Am");
  EXPECT_EQ(song.chords[1].tick, 3u * song.barTicks);  // two bars of intro, one of Am
  // The intro's bass plays A minor: its C (the root) as A.
  bool bassPlayed = false;
  for (const TSongEvent& event : song.events) {
    if (event.status == PartStatus(midi::kNoteOn, 1) && event.data2 > 0 &&
        event.tick < 2u * song.barTicks) {
      bassPlayed = true;
      const std::vector<TPitchClass> table = TablePitchClasses(*song.chords[0].chord);
      EXPECT_TRUE(std::find(table.begin(), table.end(), event.data1 % 12) != table.end());
    }
  }
  EXPECT_TRUE(bassPlayed);
  EXPECT_EQ(song.Labels().front().text, "Intro1");
  EXPECT_EQ(song.Labels()[1].text, "Am");
}

TEST(ArrangeSong, NoChordLeavesTheDrumsAlone) {
  const TRhythmSlot slot = PopBeat();
  const TSong song = Arrange(slot, "N.C. | C");
  int drums = 0;
  for (const TSongEvent& event : song.events) {
    if (midi::StatusKind(event.status) != midi::kNoteOn || event.data2 == 0 || event.tick >= song.barTicks) {
      continue;
    }
    EXPECT_EQ(event.status, PartStatus(midi::kNoteOn, 0));
    ++drums;
  }
  EXPECT_GT(drums, 0);
}

TEST(ArrangeSong, EachSectionBringsItsSetupMessages) {
  const TRhythmSlot slot = PopBeat();
  const TSong song = Arrange(slot, "C | [Fill] C | C");
  std::vector<std::uint64_t> programChanges;
  for (const TSongEvent& event : song.events) {
    if (event.status == PartStatus(midi::kProgramChange, 1)) programChanges.push_back(event.tick);
  }
  EXPECT_EQ(programChanges, (std::vector<std::uint64_t>{0, song.barTicks, 2u * song.barTicks}));
}

TEST(ArrangeSong, RefusesWhatCannotPlay) {
  TRhythmSlot slot = PopBeat();
  const TChartRead ended = ParseChart("C | [End2] C | F");
  EXPECT_EQ(ArrangeSong(slot, ended.chart, {}).refusal, "bar 3: the song has ended before it");
  slot.header.SetBarCount(kFill1, 0);
  TArrangeOptions fills;
  fills.fillEvery = 2;
  EXPECT_EQ(ArrangeSong(slot, ParseChart("C | C").chart, fills).refusal, "Fill1 has no bars");
  EXPECT_EQ(ArrangeSong(slot, ParseChart("C | C").chart, {}).refusal, "");
  TArrangeOptions many;
  many.repeat = 2501;
  EXPECT_EQ(ArrangeSong(slot, ParseChart("C | F | G | C").chart, many).refusal,
            "the chart plays more than 10000 bars");
  many.repeat = 2500;
  EXPECT_EQ(ArrangeSong(slot, ParseChart("C | F | G | C").chart, many).refusal, "");
  slot.header.SetTimeSignature(0);
  EXPECT_EQ(ArrangeSong(slot, ParseChart("C").chart, {}).refusal,
            "its time signature 0/1 has no beats to make bars of");
}

TEST(ArrangeSong, BarTicksFollowTheTimeSignature) {
  EXPECT_EQ(BarTicks(PopBeat()), 384u);  // 4/4 at 96 a quarter note
  EXPECT_EQ(BarTicks(LoadRhythm(fs::path(BRONDEL_SOURCE_DIR) / "examples" / "ballad.ckf")), 576u);
}

}  // namespace
}  // namespace brondel::chords
