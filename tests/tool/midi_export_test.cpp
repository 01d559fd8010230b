// export-midi: the files parse as Standard MIDI Files with a reader of our own, and hold on each
// part's track exactly the set-up messages and notes of the rendered buffer, at their ticks,
// without any data byte above 127.
#include <gtest/gtest.h>

#include "document/rhythm_builder.h"
#include "playback/playback.h"
#include "tests/support/test_files.h"
#include "tests/tool/smf_reader.h"
#include "tests/tool/tool_test_support.h"

namespace brondel {
namespace {

using test::FileBytes;
using test::RunTool;
using test::TSmf;
using test::TSmfEvent;

std::uint32_t U32(const TEventBuffer& buffer, std::size_t at) {
  return static_cast<std::uint32_t>(buffer[at]) | buffer[at + 1] << 8 | buffer[at + 2] << 16 |
         static_cast<std::uint32_t>(buffer[at + 3]) << 24;
}

/// What a sequencer should play: the buffers one after the other, each message on its part's
/// list at its absolute tick, the messages with a data byte above 127 left out.
struct TExpectedSong {
  std::array<std::vector<TSmfEvent>, kPartCount> parts;
  std::uint32_t endTick = 0;
};

void AddBuffer(TExpectedSong& song, const TEventBuffer& buffer) {
  std::uint32_t tick = song.endTick;
  for (std::size_t at = 0; at < buffer.size(); at += kStreamEventSize) {
    tick += U32(buffer, at);
    const std::uint8_t status = buffer[at + 8];
    const bool oneDataByte = (status & 0xF0) == 0xC0;
    std::vector<std::uint8_t> bytes{status, buffer[at + 9]};
    if (!oneDataByte) bytes.push_back(buffer[at + 10]);
    if (bytes[1] > 127 || (!oneDataByte && bytes[2] > 127)) continue;
    song.parts[static_cast<std::size_t>((status & 0x0F) - 9)].push_back({tick, bytes});
  }
  song.endTick = tick;
}

TEventBuffer RenderedSection(const TRhythmSlot& slot, int section) {
  std::vector<TRenderEvent> events;
  TEventBuffer buffer;
  RenderSectionEvents(slot, section, events, buffer);
  return buffer;
}

std::string Describe(const std::vector<TSmfEvent>& events, std::size_t i) {
  if (i >= events.size()) return "nothing";
  std::string text = "tick " + std::to_string(events[i].tick) + ":";
  for (const std::uint8_t b : events[i].bytes) {
    text += ' ';  // not " " + std::to_string(b): GCC 12 at -O3 misreads that (-Wrestrict)
    text += std::to_string(b);
  }
  return text;
}

::testing::AssertionResult SameMessages(const std::vector<TSmfEvent>& expected,
                                        const std::vector<TSmfEvent>& actual) {
  for (std::size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
    if (Describe(expected, i) != Describe(actual, i)) {
      return ::testing::AssertionFailure()
             << "message " << i << ": expected " << Describe(expected, i) << ", got "
             << Describe(actual, i);
    }
  }
  return ::testing::AssertionSuccess();
}

/// The division and tempo a file should state: `division` ticks a quarter note, lasting
/// `micros` microseconds.
struct TMidiTime {
  int division;
  std::uint32_t micros;
};

/// Our examples are made at 96 ticks a quarter note: a quarter note lasts 96 ticks of
/// 500,000 / T us each, rounded to the nearest microsecond.
TMidiTime ExampleTime(const TRhythmSlot& slot) {
  return {96, static_cast<std::uint32_t>((96 * 1000000 + slot.header.Tempo()) /
                                         (2 * slot.header.Tempo()))};
}

// Format 1; a conductor track with the tempo and the rhythm's time signature; a track per part
// named after it, holding the part's messages; all ending together.
void ExpectSong(const std::string& file, const TRhythmSlot& slot, const TExpectedSong& song,
                TMidiTime time) {
  const TSmf smf = test::ParseSmf(FileBytes(file));
  EXPECT_EQ(smf.format, 1);
  EXPECT_EQ(smf.division, time.division);
  ASSERT_EQ(smf.tracks.size(), 1u + kPartCount);
  const auto& conductor = smf.tracks[0].events;
  const std::uint8_t sig = slot.header.TimeSignature();
  const std::vector<std::uint8_t> tempo{0xFF, 0x51, static_cast<std::uint8_t>(time.micros >> 16),
                                        static_cast<std::uint8_t>(time.micros >> 8),
                                        static_cast<std::uint8_t>(time.micros)};
  const std::vector<std::uint8_t> meter{
      0xFF, 0x58, static_cast<std::uint8_t>(sig >> 3), static_cast<std::uint8_t>(sig & 7), 24, 8};
  EXPECT_TRUE(std::any_of(conductor.begin(), conductor.end(),
                          [&](const TSmfEvent& e) { return e.tick == 0 && e.bytes == tempo; }));
  EXPECT_TRUE(std::any_of(conductor.begin(), conductor.end(),
                          [&](const TSmfEvent& e) { return e.tick == 0 && e.bytes == meter; }));
  EXPECT_TRUE(smf.tracks[0].ChannelMessages().empty());
  for (int p = 0; p < kPartCount; ++p) {
    const auto& track = smf.tracks[static_cast<std::size_t>(p) + 1];
    EXPECT_EQ(track.Name(), kPartNames[static_cast<std::size_t>(p)]);
    EXPECT_TRUE(SameMessages(song.parts[static_cast<std::size_t>(p)], track.ChannelMessages()))
        << file << " " << kPartNames[static_cast<std::size_t>(p)];
  }
  for (const auto& track : smf.tracks) EXPECT_EQ(track.EndTick(), song.endTick) << file;
}

/// Writes the rhythm to a file, exports its Var1 alone and checks the MIDI file against its
/// render, stated in `time`; returns the song expected. Nothing else is written.
TExpectedSong ExpectVar1Export(const TRhythmBuilder& builder, TMidiTime time) {
  test::TTempDir dir;
  const std::string file = dir.File("var1.ckf");
  test::WriteBytes(file, builder.CkfFile());
  const auto run = RunTool({"export-midi", file, "-o", dir.File("var1.mid"), "--section", "Var1"});
  EXPECT_EQ(run.status, 0) << run.err;
  const TRhythmSlot slot = test::LoadRhythm(file).slot;
  TExpectedSong song;
  AddBuffer(song, RenderedSection(slot, 2));
  ExpectSong(dir.File("var1.mid"), slot, song, time);
  EXPECT_EQ(test::FilesIn(dir.Path()), (std::vector<std::string>{"var1.ckf", "var1.mid"}));
  return song;
}

class ToolMidiExport : public ::testing::TestWithParam<std::string> {
 protected:
  test::TTempDir dir_;
};

TEST_P(ToolMidiExport, WithoutAnOptionEachSectionGetsAFileThatPlaysItsBuffer) {
  const TLoadedRhythm rhythm = test::LoadRhythm(GetParam());
  const auto run = RunTool({"export-midi", GetParam(), "-o", dir_.File("song.mid")});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> expectedFiles;
  for (int s = 0; s < kSectionCount; ++s) {
    const std::string name = "song-" + std::string(kSectionNames[static_cast<std::size_t>(s)]);
    expectedFiles.push_back(name + ".mid");
    TExpectedSong song;
    AddBuffer(song, RenderedSection(rhythm.slot, s));
    ExpectSong(dir_.File(name + ".mid"), rhythm.slot, song, ExampleTime(rhythm.slot));
  }
  std::sort(expectedFiles.begin(), expectedFiles.end());
  EXPECT_EQ(test::FilesIn(dir_.Path()), expectedFiles);
}

TEST_P(ToolMidiExport, PlayAllFollowsTheElevenEntriesOneAfterTheOther) {
  const TLoadedRhythm rhythm = test::LoadRhythm(GetParam());
  const std::string out = dir_.File("all.mid");
  const auto run = RunTool({"export-midi", GetParam(), "-o", out, "--play-all"});
  ASSERT_EQ(run.status, 0) << run.err;
  TExpectedSong song;
  for (const std::uint8_t section : TPlayback::kPlayAllOrder) {
    AddBuffer(song, RenderedSection(rhythm.slot, section));
  }
  ExpectSong(out, rhythm.slot, song, ExampleTime(rhythm.slot));
}

TEST(ToolMidiExport, TheWaltzHasBarsOf288TicksAndItsOwnTempo) {
  // 3/4 at 96 ticks a quarter note; tempo byte 104 makes a quarter note 461,538.46 us long.
  test::TTempDir dir;
  const std::string out = dir.File("waltz.mid");
  const auto run = RunTool({"export-midi", test::SourcePath("examples/waltz.z00").string(), "-o",
                            out, "--section", "Var1"});
  ASSERT_EQ(run.status, 0) << run.err;
  const TSmf smf = test::ParseSmf(FileBytes(out));
  EXPECT_EQ(smf.division, 96);
  const std::vector<std::uint8_t> tempo{0xFF, 0x51, 0x07, 0x0A, 0xE2};  // 461,538
  const auto& conductor = smf.tracks[0].events;
  EXPECT_TRUE(std::any_of(conductor.begin(), conductor.end(),
                          [&](const TSmfEvent& e) { return e.bytes == tempo; }));
  EXPECT_EQ(smf.tracks[0].EndTick(), 4u * 288);
}

TEST(ToolMidiExport, ATempoTooSlowForAMidiTempoIsWrittenAtTheTempoByteAsDivision) {
  // At 96 ticks a quarter note, tempo byte 2 would make a quarter note 24,000,000 us long, more
  // than a tempo event holds: the file then counts 2 ticks a quarter note of 500,000 us.
  TRhythmBuilder builder(2, 0x22);
  builder.Bars(2, 1).Part(2, 0, TPartBuilder().Note(0, 36, 100).Wait(384).Note(0, 36, 0).End());
  ExpectVar1Export(builder, {2, 500000});
}

INSTANTIATE_TEST_SUITE_P(Examples, ToolMidiExport, ::testing::ValuesIn(test::ExampleRhythmPaths()),
                         test::ExampleTestName);

TEST(ToolMidiExport, MessagesWithDataAbove127AreLeftOutAndLaterTimesKept) {
  // A Volume of 200, a note with velocity 200 and one with key 140 between sound notes; the end
  // records (key 0xFC) are never written either.
  TRhythmBuilder builder(48, 0x1B);
  builder.Settings(1, PartSettings(33, 0, 200, 64, 20, 0));
  builder.Part(2, 1,
               TPartBuilder()
                   .Note(0, 40, 100)
                   .Note(10, 41, 200)
                   .Wait(300)
                   .Note(5, 140, 90)
                   .Note(7, 42, 80)
                   .Note(20, 42, 0)
                   .End(30));
  // No section has bars, so the rhythm is taken at 96 ticks a quarter note: 1,000,000 us at 48.
  const TExpectedSong song = ExpectVar1Export(builder, {96, 1000000});
  // The bass holds its set-up without the volume, then keys 40, 42, 42 at 0, 322 and 342.
  const std::vector<TSmfEvent> bass = song.parts[1];
  ASSERT_EQ(bass.size(), 8u);
  EXPECT_EQ(Describe(bass, 5), "tick 0: 154 40 100");
  EXPECT_EQ(Describe(bass, 6), "tick 322: 154 42 80");
  EXPECT_EQ(Describe(bass, 7), "tick 342: 154 42 0");
  EXPECT_EQ(song.endTick, 372u);
}

TEST(ToolMidiExport, ALongFileNameMakesALongTrackName) {
  // The conductor track is named after the file and the section: past 127 bytes, its meta
  // event's length takes two bytes.
  test::TTempDir dir;
  const std::string stem(150, 'r');
  const std::string file = dir.File(stem + ".ckf");
  test::WriteBytes(file, TRhythmBuilder(120, 0x22).CkfFile());
  const auto run = RunTool({"export-midi", file, "-o", dir.File("long.mid"), "--section", "Var1"});
  ASSERT_EQ(run.status, 0) << run.err;
  const TSmf smf = test::ParseSmf(FileBytes(dir.File("long.mid")));
  ASSERT_FALSE(smf.tracks.empty());
  EXPECT_EQ(smf.tracks[0].Name(), stem + " Var1");
}

TEST(ToolMidiExport, ARhythmOfTempoZeroCannotBeAMidiFile) {
  test::TTempDir dir;
  const std::string file = dir.File("zero.ckf");
  test::WriteBytes(file, TRhythmBuilder(0, 0x22).CkfFile());
  const auto run = RunTool({"export-midi", file, "-o", dir.File("zero.mid")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, file + ": tempo 0 does not play, so it has no MIDI tempo\n");
  EXPECT_EQ(test::FilesIn(dir.Path()), std::vector<std::string>{"zero.ckf"});
}

}  // namespace
}  // namespace brondel
