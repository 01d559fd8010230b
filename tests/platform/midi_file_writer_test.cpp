// The Standard MIDI File writer, checked against the tests' own byte-by-byte writer
// (tests/support/smf_writer.h, written from the file format alone) and against our reader: the
// header and track chunks and their lengths, delta times and meta lengths at the edges of each
// byte count of a variable-length number, every kind of event read back as it was given, no
// running status, and the refusal of anything that would not read back as itself.
#include <gtest/gtest.h>

#include "platform/midi_file.h"
#include "tests/support/smf_writer.h"

namespace brondel {
namespace {

using platform::MetaEventBytes;
using platform::ReadMidiFile;
using platform::TMidiFile;
using platform::TMidiFileEvent;
using platform::TMidiFileTrack;
using platform::WriteMidiFile;
using test::SmfFile;
using test::TBytes;
using test::TSmfTrackWriter;

// The edges of each byte count of a variable-length number: the most one to four bytes hold
// and the least the next byte count takes.
constexpr std::uint32_t kVariableLengthEdges[] = {0,     127,     128,     16383,
                                                  16384, 2097151, 2097152, 0x0FFFFFFF};
// How many bytes each of kVariableLengthEdges takes.
constexpr std::size_t kVariableLengthSizes[] = {1, 1, 2, 2, 3, 3, 4, 4};

TBytes Written(const TMidiFile& file) {
  const platform::TMidiFileBytes written = WriteMidiFile(file);
  EXPECT_EQ(written.error, "");
  return written.bytes;
}

std::string Refusal(const TMidiFile& file) {
  const platform::TMidiFileBytes written = WriteMidiFile(file);
  EXPECT_TRUE(written.bytes.empty()) << written.error;
  return written.error;
}

TMidiFile ReadBack(const TBytes& bytes) {
  platform::TMidiFileRead read = ReadMidiFile(bytes);
  EXPECT_EQ(read.error, "");
  return read.file;
}

std::string Describe(const TMidiFileEvent& event) {
  std::string text = "tick " + std::to_string(event.tick) + ":";
  for (const std::uint8_t b : event.bytes) text += " " + std::to_string(b);
  return text;
}

std::vector<std::string> Describe(const TMidiFileTrack& track) {
  std::vector<std::string> lines;
  for (const TMidiFileEvent& event : track.events) lines.push_back(Describe(event));
  lines.push_back("end " + std::to_string(track.endTick));
  return lines;
}

// The file read back holds the written file's header and each track's events and end.
void ExpectReadsBackAsWritten(const TMidiFile& file) {
  const TMidiFile read = ReadBack(Written(file));
  EXPECT_EQ(read.format, file.format);
  EXPECT_EQ(read.division, file.division);
  ASSERT_EQ(read.tracks.size(), file.tracks.size());
  for (std::size_t t = 0; t < file.tracks.size(); ++t) {
    EXPECT_EQ(Describe(read.tracks[t]), Describe(file.tracks[t])) << "track " << t + 1;
  }
}

// The big-endian number of `count` bytes at `at`.
std::uint32_t BigEndianAt(const TBytes& bytes, std::size_t at, int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

// The ids and lengths of the chunks, walked by their lengths from the start to the very end.
std::vector<std::pair<std::string, std::uint32_t>> Chunks(const TBytes& bytes) {
  std::vector<std::pair<std::string, std::uint32_t>> chunks;
  std::size_t at = 0;
  while (at + 8 <= bytes.size()) {
    const std::uint32_t length = BigEndianAt(bytes, at + 4, 4);
    chunks.emplace_back(std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                    bytes.begin() + static_cast<std::ptrdiff_t>(at + 4)),
                        length);
    at += 8 + length;
  }
  EXPECT_EQ(at, bytes.size()) << "the chunks' lengths do not end at the file's end";
  return chunks;
}

TEST(MidiFileWriter, LaysOutTheHeaderAndOneChunkPerTrackAsTheFormatSays) {
  // A conductor track, a part track, and a track with nothing but its end.
  TMidiFile file{1, 480, {}};
  file.tracks.push_back({{{0, MetaEventBytes(0x03, {'S', 'o', 'n', 'g'})},
                          {0, MetaEventBytes(0x51, {0x07, 0xA1, 0x20})}},
                         1920});
  file.tracks.push_back({{{0, {0xC9, 5}}, {0, {0x99, 36, 100}}, {240, {0x99, 36, 0}}}, 1920});
  file.tracks.push_back({{}, 960});
  const TBytes bytes = Written(file);

  const TSmfTrackWriter conductor = TSmfTrackWriter().Name("Song").Tempo(0, 500000).End(1920);
  const TSmfTrackWriter part = TSmfTrackWriter()
                                   .Event(0, {0xC9, 5})
                                   .Event(0, {0x99, 36, 100})
                                   .Event(240, {0x99, 36, 0})
                                   .End(1680);
  const TSmfTrackWriter empty = TSmfTrackWriter().End(960);
  EXPECT_EQ(bytes, SmfFile(1, 480, {conductor, part, empty}));

  EXPECT_EQ(BigEndianAt(bytes, 8, 2), 1u) << "format";
  EXPECT_EQ(BigEndianAt(bytes, 10, 2), 3u) << "track count";
  EXPECT_EQ(BigEndianAt(bytes, 12, 2), 480u) << "division";
  using TChunk = std::pair<std::string, std::uint32_t>;
  EXPECT_EQ(Chunks(bytes),
            (std::vector<TChunk>{{"MThd", 6},
                                 {"MTrk", static_cast<std::uint32_t>(conductor.Data().size())},
                                 {"MTrk", static_cast<std::uint32_t>(part.Data().size())},
                                 {"MTrk", 2 + 3}}));  // 960 in two bytes, FF 2F 00
  ExpectReadsBackAsWritten(file);
}

TEST(MidiFileWriter, WritesDeltaTimesAtTheEdgesOfEachByteCount) {
  TMidiFile file{0, 96, {{}}};
  TSmfTrackWriter expected;
  std::uint64_t tick = 0;
  std::size_t trackLength = 0;
  for (std::size_t i = 0; i < std::size(kVariableLengthEdges); ++i) {
    tick += kVariableLengthEdges[i];
    file.tracks[0].events.push_back({tick, {0x90, 60, 1}});
    expected.Event(kVariableLengthEdges[i], {0x90, 60, 1});
    trackLength += kVariableLengthSizes[i] + 3;
  }
  file.tracks[0].endTick = tick + 0x0FFFFFFF;
  expected.End(0x0FFFFFFF);
  trackLength += 4 + 3;

  const TBytes bytes = Written(file);
  EXPECT_EQ(bytes, SmfFile(0, 96, {expected}));
  EXPECT_EQ(Chunks(bytes).back().second, trackLength);
  ExpectReadsBackAsWritten(file);
}

TEST(MidiFileWriter, WritesMetaAndSystemExclusiveLengthsOfEveryByteCount) {
  // Track names past 127 bytes among them: a long file name makes one.
  TMidiFile file{1, 96, {{}}};
  TSmfTrackWriter expected;
  for (const std::uint32_t length : {0u, 1u, 127u, 128u, 200u, 16383u, 16384u}) {
    const TBytes data(length, 'x');
    file.tracks[0].events.push_back({0, MetaEventBytes(0x03, data)});
    expected.Meta(0, 0x03, data);
    TBytes sysEx(length, 0x10);
    sysEx.push_back(0xF7);
    TBytes event{0xF0};
    test::Append(event, test::Vlq(static_cast<std::uint32_t>(sysEx.size())));
    test::Append(event, sysEx);
    file.tracks[0].events.push_back({0, event});
    expected.SysEx(0, sysEx);
  }
  file.tracks[0].endTick = 0;
  EXPECT_EQ(Written(file), SmfFile(1, 96, {expected.End(0)}));
  ExpectReadsBackAsWritten(file);
  EXPECT_EQ(platform::MetaData(file.tracks[0].events[8]).size(), 200u);
}

TEST(MidiFileWriter, WritesEveryKindOfEventWholeWithoutRunningStatus) {
  // Each kind of channel message twice in a row on one channel, so that a writer using running
  // status would leave the second status byte out; then an escape (0xF7) event.
  const std::vector<TBytes> events = {{0x80, 60, 64}, {0x93, 60, 100},      {0xA4, 60, 30},
                                      {0xB5, 7, 90},  {0xC6, 33},           {0xD7, 50},
                                      {0xEF, 0, 64},  {0xF7, 2, 0xF8, 0xFA}};
  TMidiFile file{1, 960, {{}, {}}};
  TBytes expected;  // the track's data as the file holds it, each event 10 ticks after the last
  std::uint64_t tick = 0;
  for (const TBytes& event : events) {
    for (int twice = event[0] == 0xF7 ? 1 : 2; twice > 0; --twice) {
      const std::uint32_t delta = file.tracks[0].events.empty() ? 0 : 10;
      tick += delta;
      test::Append(expected, test::Vlq(delta));
      test::Append(expected, event);
      file.tracks[0].events.push_back({tick, event});
    }
  }
  file.tracks[0].endTick = tick;
  file.tracks[1].endTick = tick;

  EXPECT_EQ(Written(file), SmfFile(1, 960,
                                   {TSmfTrackWriter::FromData(expected).End(0),
                                    TSmfTrackWriter().End(static_cast<std::uint32_t>(tick))}));
  ExpectReadsBackAsWritten(file);
}

TEST(MidiFileWriter, RefusesWhatWouldNotReadBackAsItself) {
  const auto withEvents = [](std::vector<TMidiFileEvent> events, std::uint64_t endTick = 100) {
    return TMidiFile{1, 96, {{{{0, {0x99, 36, 100}}}, 100}, {std::move(events), endTick}}};
  };
  const std::vector<std::pair<TMidiFile, std::string>> cases = {
      {TMidiFile{2, 96, {{}}}, "format 2 is not written"},
      {TMidiFile{1, 0, {{}}}, "a division of 0 ticks per quarter note (1 to 32767 are written)"},
      {TMidiFile{1, 0x8000, {{}}},
       "a division of 32768 ticks per quarter note (1 to 32767 are written)"},
      {TMidiFile{1, 96, {}}, "0 tracks in a file of format 1"},
      {TMidiFile{0, 96, {{}, {}}}, "2 tracks in a file of format 0"},
      {withEvents({{0, {}}}), "track 2: event 1 is an event without bytes"},
      {withEvents({{0, {0x90, 60, 1}}, {0, {0xC0, 1, 2}}}),
       "track 2: event 2 is a channel message with the wrong number of data bytes"},
      {withEvents({{0, {0xD0, 1, 2}}}),
       "track 2: event 1 is a channel message with the wrong number of data bytes"},
      {withEvents({{0, {0x90, 60}}}),
       "track 2: event 1 is a channel message with the wrong number of data bytes"},
      {withEvents({{0, {0x90, 60, 0x80}}}), "track 2: event 1 is a data byte above 127"},
      {withEvents({{0, {0x3C, 64}}}), "track 2: event 1 is a status byte a MIDI file may not hold"},
      {withEvents({{0, {0xF8}}}), "track 2: event 1 is a status byte a MIDI file may not hold"},
      {withEvents({{0, {0xFF, 0x03, 3, 'a', 'b'}}}),
       "track 2: event 1 is a meta event whose length is not that of its data"},
      {withEvents({{0, {0xFF, 0x03, 0x81}}}),
       "track 2: event 1 is a meta event whose length is not that of its data"},
      {withEvents({{0, {0xF0, 1, 1, 0xF7}}}),
       "track 2: event 1 is a system exclusive message whose length is not that of its data"},
      {withEvents({{0, {0xFF, 0x2F, 0}}}),
       "track 2: event 1 is an end-of-track event among the events"},
      {withEvents({{50, {0x90, 60, 1}}, {49, {0x90, 60, 0}}}),
       "track 2: event 2 lies before the event ahead of it"},
      {withEvents({{50, {0x90, 60, 1}}}, 49),
       "track 2: the track's end lies before the event ahead of it"},
      {withEvents({{0x10000000, {0x90, 60, 1}}}, 0x10000000),
       "track 2: event 1 lies more than 268435455 ticks after the event ahead of it"},
      {withEvents({}, 0x10000000),
       "track 2: the track's end lies more than 268435455 ticks after the event ahead of it"},
  };
  for (const auto& [file, refusal] : cases) EXPECT_EQ(Refusal(file), refusal);
}

}  // namespace
}  // namespace brondel
