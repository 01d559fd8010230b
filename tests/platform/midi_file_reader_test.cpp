// The Standard MIDI File reader on files written by the test itself: formats 0 and 1 at
// divisions 96, 480 and 960, running status, note-offs, system exclusive and meta events, chunks
// of other kinds, long delta times; what the program's own writer lays out reads back as it was
// given; and damaged files (truncated at every length, wrong chunk lengths, lengths past the
// file, bytes a file may not hold) are refused with the reason and the offset, never read past.
#include <gtest/gtest.h>

#include "platform/midi_file.h"
#include "tests/support/smf_writer.h"
#include "tests/support/test_files.h"

namespace brondel {
namespace {

using platform::ReadMidiFile;
using platform::TMidiFile;
using platform::TMidiFileEvent;
using test::SmfFile;
using test::TBytes;
using test::TSmfTrackWriter;

std::string Describe(const TMidiFileEvent& event) {
  std::string text = "tick " + std::to_string(event.tick) + ":";
  for (const std::uint8_t b : event.bytes) text += " " + std::to_string(b);
  return text;
}

std::vector<std::string> Describe(const platform::TMidiFileTrack& track) {
  std::vector<std::string> lines;
  for (const TMidiFileEvent& event : track.events) lines.push_back(Describe(event));
  return lines;
}

TMidiFile Read(const TBytes& bytes) {
  platform::TMidiFileRead read = ReadMidiFile(bytes);
  EXPECT_EQ(read.error, "");
  return read.file;
}

std::string Refusal(const TBytes& bytes) {
  return ReadMidiFile(bytes).error;
}

TEST(MidiFileReader, ReadsFormatOneAtEveryCommonDivision) {
  for (const int division : {96, 480, 960}) {
    const TSmfTrackWriter conductor =
        TSmfTrackWriter().Name("Song").Tempo(0, 600000).TimeSignature(0, 3, 2).End(division * 3);
    const TSmfTrackWriter bass = TSmfTrackWriter()
                                     .Name("Bass")
                                     .Event(0, {0x9A, 40, 100})
                                     .Event(division, {0x8A, 40, 64})
                                     .End(0);
    const TMidiFile file = Read(SmfFile(1, division, {conductor, bass}));
    EXPECT_EQ(file.format, 1);
    EXPECT_EQ(file.division, division);
    ASSERT_EQ(file.tracks.size(), 2u);
    const auto d = static_cast<std::uint64_t>(division);
    EXPECT_EQ(file.tracks[0].endTick, 3 * d);
    EXPECT_EQ(Describe(file.tracks[1]),
              (std::vector<std::string>{"tick 0: 255 3 4 66 97 115 115", "tick 0: 154 40 100",
                                        "tick " + std::to_string(d) + ": 138 40 64"}));
    EXPECT_EQ(file.tracks[1].endTick, d);
  }
}

TEST(MidiFileReader, ExpandsRunningStatusInFormatZero) {
  // One track, notes on three channels; running status carries over note-ons and note-offs
  // (as velocity 0), and a new status byte replaces it.
  const TSmfTrackWriter track = TSmfTrackWriter()
                                    .Event(0, {0x90, 60, 90})
                                    .Event(0, {64, 90})
                                    .Event(48, {60, 0})
                                    .Event(0, {64, 0})
                                    .Event(0, {0x99, 36, 120})
                                    .Event(12, {36, 0})
                                    .Event(0, {0xC3, 5})
                                    .Event(0, {6})
                                    .End(0);
  const TMidiFile file = Read(SmfFile(0, 96, {track}));
  EXPECT_EQ(file.format, 0);
  ASSERT_EQ(file.tracks.size(), 1u);
  EXPECT_EQ(Describe(file.tracks[0]),
            (std::vector<std::string>{"tick 0: 144 60 90", "tick 0: 144 64 90", "tick 48: 144 60 0",
                                      "tick 48: 144 64 0", "tick 48: 153 36 120",
                                      "tick 60: 153 36 0", "tick 60: 195 5", "tick 60: 195 6"}));
}

TEST(MidiFileReader, ReadsOneDataByteForProgramChangeAndChannelPressure) {
  // Each is followed by its running-status repeat and a delta time below 128, which a reader
  // that took two data bytes would swallow as data.
  const TSmfTrackWriter track = TSmfTrackWriter()
                                    .Event(0, {0xC2, 5})
                                    .Event(3, {6})
                                    .Event(4, {0xD2, 40})
                                    .Event(5, {50})
                                    .Event(6, {0x92, 60, 90})
                                    .Event(7, {0xD2, 0})
                                    .End(8);
  const TMidiFile file = Read(SmfFile(1, 96, {track}));
  ASSERT_EQ(file.tracks.size(), 1u);
  EXPECT_EQ(Describe(file.tracks[0]),
            (std::vector<std::string>{"tick 0: 194 5", "tick 3: 194 6", "tick 7: 210 40",
                                      "tick 12: 210 50", "tick 18: 146 60 90", "tick 25: 210 0"}));
  EXPECT_EQ(file.tracks[0].endTick, 33u);
}

TEST(MidiFileReader, ReadsOneDataByteAfterProgramChangeAndChannelPressure) {
  // Program change and channel pressure carry one data byte, by status and by running status;
  // the byte after it is the next event's delta time. Polyphonic pressure and pitch bend have
  // two.
  const TSmfTrackWriter track = TSmfTrackWriter()
                                    .Event(0, {0xD2, 100})
                                    .Event(5, {80})
                                    .Event(5, {0xC2, 7})
                                    .Event(1, {0xA2, 60, 70})
                                    .Event(1, {0xD2, 0})
                                    .Event(2, {0xE2, 0, 64})
                                    .End(0);
  const TMidiFile file = Read(SmfFile(0, 96, {track}));
  ASSERT_EQ(file.tracks.size(), 1u);
  EXPECT_EQ(
      Describe(file.tracks[0]),
      (std::vector<std::string>{"tick 0: 210 100", "tick 5: 210 80", "tick 10: 194 7",
                                "tick 11: 162 60 70", "tick 12: 210 0", "tick 14: 226 0 64"}));
}

TEST(MidiFileReader, KeepsMetaAndSystemExclusiveEventsWithTheirData) {
  const TSmfTrackWriter track =
      TSmfTrackWriter()
          .SysEx(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
          .Marker(10, "Var1")
          .Event(0, {0x91, 50, 70})
          .Meta(5, 0x7F, TBytes(200, 0x42))  // a long sequencer-specific one
          .Event(0, {50, 0})                 // running status does not survive
          .End(0);
  platform::TMidiFileRead read = ReadMidiFile(SmfFile(1, 96, {track}));
  // A meta event cancels the running status: the data byte after it has no status.
  EXPECT_NE(read.error.find("a data byte without a status byte"), std::string::npos) << read.error;

  const TSmfTrackWriter sound = TSmfTrackWriter()
                                    .SysEx(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
                                    .Marker(10, "Var1")
                                    .Event(0, {0x91, 50, 70})
                                    .Meta(5, 0x7F, TBytes(200, 0x42))
                                    .End(0);
  const TMidiFile file = Read(SmfFile(1, 96, {sound}));
  const auto& events = file.tracks[0].events;
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].bytes, (TBytes{0xF0, 5, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
  EXPECT_FALSE(platform::MetaType(events[0]).has_value());
  EXPECT_EQ(platform::MetaType(events[1]), 0x06);
  const auto marker = platform::MetaData(events[1]);
  EXPECT_EQ(std::string(marker.begin(), marker.end()), "Var1");
  EXPECT_EQ(events[1].tick, 10u);
  EXPECT_EQ(platform::MetaData(events[3]).size(), 200u) << "a two-byte length";
  EXPECT_EQ(events[3].tick, 15u);
}

TEST(MidiFileReader, SkipsOtherChunksAndALongerHeaderAndEndsATrackWithoutEndAtItsLastEvent) {
  TBytes header = test::BigEndian(1, 2);
  test::Append(header, test::BigEndian(2, 2));
  test::Append(header, test::BigEndian(480, 2));
  test::Append(header, {0xAA, 0xBB});  // two more bytes a later version of the format may add
  TBytes bytes = test::Chunk("MThd", header);
  test::Append(bytes, test::Chunk("XFIH", {1, 2, 3}));
  test::Append(bytes, TSmfTrackWriter().Event(0, {0x90, 60, 1}).Event(7, {60, 0}).ChunkBytes());
  test::Append(bytes,
               TSmfTrackWriter().Event(1000, {0x95, 61, 1}).End(20).Event(0, {5, 5}).ChunkBytes());
  const TMidiFile file = Read(bytes);
  ASSERT_EQ(file.tracks.size(), 2u);
  EXPECT_EQ(file.tracks[0].endTick, 7u) << "no end-of-track event";
  EXPECT_EQ(file.tracks[1].endTick, 1020u);
  EXPECT_EQ(file.tracks[1].events.size(), 1u) << "nothing after the end of the track";
}

TEST(MidiFileReader, TakesTheLongestDeltaTimesWithoutOverflow) {
  // 0x0FFFFFFF ticks, the most four bytes hold, several times over.
  TSmfTrackWriter track;
  for (int i = 0; i < 20; ++i) track.Event(0x0FFFFFFF, {0x90, 60, 1});
  const TMidiFile file = Read(SmfFile(1, 96, {track.End(0)}));
  EXPECT_EQ(file.tracks[0].events.back().tick, 20ull * 0x0FFFFFFF);
}

TEST(MidiFileReader, GivesBackWhatTheProgramsWriterLaysOut) {
  TMidiFile written{1, 120, {}};
  written.tracks.push_back({{{0, platform::MetaEventBytes(0x03, {'A', 'b'})},
                             {0, platform::MetaEventBytes(0x51, {0x07, 0xA1, 0x20})}},
                            500});
  written.tracks.push_back(
      {{{0, {0xC9, 5}}, {0, {0xB9, 7, 100}}, {0, {0x99, 36, 100}}, {30, {0x99, 36, 0}}}, 500});
  const platform::TMidiFileBytes bytes = platform::WriteMidiFile(written);
  ASSERT_EQ(bytes.error, "");
  const TMidiFile read = Read(bytes.bytes);
  EXPECT_EQ(read.format, written.format);
  EXPECT_EQ(read.division, written.division);
  ASSERT_EQ(read.tracks.size(), written.tracks.size());
  for (std::size_t t = 0; t < read.tracks.size(); ++t) {
    EXPECT_EQ(Describe(read.tracks[t]), Describe(written.tracks[t]));
    EXPECT_EQ(read.tracks[t].endTick, written.tracks[t].endTick);
  }
}

TEST(MidiFileReader, RefusesWhatIsNoStandardMidiFile) {
  EXPECT_EQ(Refusal({}), "not a Standard MIDI File: it does not start with \"MThd\"");
  const std::string text = "Var1,Bass\n";
  EXPECT_EQ(Refusal(TBytes(text.begin(), text.end())),
            "not a Standard MIDI File: it does not start with \"MThd\"");
  const TSmfTrackWriter track = TSmfTrackWriter().End(0);
  EXPECT_EQ(Refusal(SmfFile(2, 96, {track})), "format 2: only formats 0 and 1 (one song) are read");
  EXPECT_EQ(Refusal(SmfFile(1, 0xE728, {track})),
            "timed in SMPTE frames: only files timed in ticks per quarter note are read");
  EXPECT_EQ(Refusal(SmfFile(1, 0, {track})), "a division of 0 ticks per quarter note");
  TBytes shortHeader = test::Chunk("MThd", {0, 1, 0, 1});
  EXPECT_EQ(Refusal(shortHeader), "a header chunk of 4 bytes instead of 6 at offset 0");
}

TEST(MidiFileReader, RefusesEveryTruncation) {
  const TBytes whole =
      SmfFile(1, 96,
              {TSmfTrackWriter().Name("Song").Tempo(0, 500000).End(384),
               TSmfTrackWriter().Event(0, {0x99, 36, 100}).Event(96, {36, 0}).End(0)});
  for (std::size_t size = 0; size < whole.size(); ++size) {
    const TBytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_NE(Refusal(cut), "") << "cut to " << size;
  }
  EXPECT_EQ(Refusal(TBytes(whole.begin(), whole.end() - 3)),
            "a chunk of 11 bytes, of which only 8 are in the file (truncated or a wrong chunk "
            "length) at offset 42");
  EXPECT_EQ(Refusal(TBytes(whole.begin(), whole.begin() + 42)),
            "the end of the file after 1 of the 2 tracks its header announces at offset 42");
}

TEST(MidiFileReader, RefusesWrongChunkLengthsAndEventsThatRunPastThem) {
  const TSmfTrackWriter track =
      TSmfTrackWriter().Event(0, {0x90, 60, 100}).Event(96, {60, 0}).End(0);
  TBytes header = test::Chunk("MThd", {0, 1, 0, 1, 0, 96});
  TBytes tooLong = header;
  test::Append(tooLong, track.ChunkBytes(1000));
  EXPECT_NE(Refusal(tooLong).find("a chunk of 1000 bytes, of which only"), std::string::npos);
  TBytes tooShort = header;
  test::Append(tooShort, track.ChunkBytes(5));  // cuts the note-off after its delta time
  EXPECT_EQ(Refusal(tooShort), "an event runs past the end of its track at offset 27");
  TBytes hugeMeta = header;
  test::Append(hugeMeta, test::Chunk("MTrk", {0, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}));
  EXPECT_EQ(Refusal(hugeMeta), "a meta event of 268435455 bytes runs past its track at offset 29");
  TBytes longDelta = header;
  test::Append(longDelta, test::Chunk("MTrk", {0x81, 0x82, 0x83, 0x84, 0x05, 0x90, 60, 1}));
  EXPECT_EQ(Refusal(longDelta), "a delta time longer than four bytes at offset 22");
}

TEST(MidiFileReader, RefusesBytesAFileMayNotHoldWhereTheyStand) {
  const TBytes header = test::Chunk("MThd", {0, 0, 0, 1, 1, 0xE0});
  const auto refusal = [&](std::initializer_list<std::uint8_t> events) {
    TBytes bytes = header;
    test::Append(bytes, test::Chunk("MTrk", events));
    return Refusal(bytes);
  };
  EXPECT_EQ(refusal({0, 60, 100}), "a data byte without a status byte at offset 23");
  EXPECT_EQ(refusal({0, 0x90, 60, 0x90}),
            "a status byte 0x90 where data was expected at offset 25");
  EXPECT_EQ(refusal({0, 0xF3, 1}),
            "a status byte 0xF3, which a MIDI file may not hold at offset 23");
  EXPECT_EQ(refusal({0, 0x90, 60}),
            "a channel message runs past the end of its track at offset 25");
}

}  // namespace
}  // namespace brondel
