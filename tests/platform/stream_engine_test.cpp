// The stream engine on a recording device with a manual clock: when each message is sent, what
// stop and close end, how buffers are handed back and queued, and which bytes never leave.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/midi/engine/stream_engine.h"
#include "platform/midi/engine/stream_events.h"
#include "tests/platform/stream_test_support.h"

namespace brondel::platform {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Expected {
  MidiMicros due;
  MidiMessage message;
};

class StreamTimingTest : public RecordedStreamTest {
 protected:
  // Steps the clock to just before and then onto every due time: no message may come early,
  // each must come exactly at its time, and they come in buffer order.
  void ExpectPlayedAtDueTimes(const std::vector<Expected>& expected) {
    std::set<MidiMicros> dueTimes;
    for (const Expected& item : expected) dueTimes.insert(item.due);
    for (MidiMicros due : dueTimes) {
      if (due > clock.Now()) {
        AdvanceTo(due - 1us);
        EXPECT_EQ(recorder->Messages().size(), CountDueBefore(expected, due))
            << "early at " << (due - 1us).count() << "us";
      }
      AdvanceTo(due);
      EXPECT_EQ(recorder->Messages().size(), CountDueBefore(expected, due + 1us))
          << "missing at " << due.count() << "us";
    }
    const std::vector<RecordedMessage> recorded = recorder->Messages();
    ASSERT_EQ(recorded.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(recorded[i].message, expected[i].message) << "message " << i;
      EXPECT_EQ(recorded[i].due, expected[i].due) << "message " << i;
      EXPECT_EQ(recorded[i].sent, expected[i].due) << "message " << i;
    }
  }

  static std::size_t CountDueBefore(const std::vector<Expected>& expected, MidiMicros time) {
    return static_cast<std::size_t>(
        std::count_if(expected.begin(), expected.end(),
                      [time](const Expected& item) { return item.due < time; }));
  }
};

TEST_F(StreamTimingTest, HundredTicksPerQuarterMakeFiveMillisecondTicks) {
  Play(StreamBuffer({{0, 0xC9, 5, 0},
                     {0, 0x99, 36, 100},
                     {10, 0x89, 36, 0},
                     {3, 0x9A, 40, 90},
                     {0, 0x8A, 40, 0},
                     {65535, 0xB9, 7, 100}}),
       100);
  ExpectPlayedAtDueTimes({{0us, Msg(0xC9, 5)},
                          {0us, Msg(0x99, 36, 100)},
                          {50'000us, Msg(0x89, 36, 0)},
                          {65'000us, Msg(0x9A, 40, 90)},
                          {65'000us, Msg(0x8A, 40, 0)},
                          {65'000us + 65535 * 5'000us, Msg(0xB9, 7, 100)}});
}

TEST_F(StreamTimingTest, NinetySixTicksPerQuarterRoundEachTimeToTheMicrosecond) {
  // One tick is 500,000 / 96 = 5208.33 us; tick 3 falls on 15,625 us and tick 96 on 0.5 s.
  Play(StreamBuffer(
           {{0, 0x99, 36, 100}, {1, 0x99, 38, 100}, {2, 0x99, 42, 100}, {93, 0x99, 46, 100}}),
       96);
  ExpectPlayedAtDueTimes({{0us, Msg(0x99, 36, 100)},
                          {5'208us, Msg(0x99, 38, 100)},
                          {15'625us, Msg(0x99, 42, 100)},
                          {500'000us, Msg(0x99, 46, 100)}});
}

TEST_F(StreamTimingTest, RoundingDoesNotAddUpOverManyShortDeltas) {
  // 96 deltas of one tick at T = 96 end on exactly half a second, not on 96 x 5208 us.
  std::vector<std::uint8_t> buffer;
  for (int i = 0; i < 96; ++i) {
    const auto one = StreamBuffer({{1, 0x99, 42, 100}});
    buffer.insert(buffer.end(), one.begin(), one.end());
  }
  Play(buffer, 96);
  AdvanceTo(500'000us - 1us);
  EXPECT_EQ(recorder->Messages().size(), 95u);
  AdvanceTo(500'000us);
  ASSERT_EQ(recorder->Messages().size(), 96u);
  EXPECT_EQ(recorder->Messages()[47].due, 250'000us);
  EXPECT_EQ(recorder->Messages()[95].due, 500'000us);
}

TEST_F(RecordedStreamTest, NewTimeDivisionWhilePlayingSpacesTheLaterEvents) {
  Play(StreamBuffer({{10, 0x99, 36, 100}, {10, 0x99, 38, 100}, {10, 0x99, 42, 100}}), 100);
  AdvanceTo(60ms);
  ASSERT_EQ(service->StreamSetTimeDivision(handle, 200), kMidiNoError);
  // The next event keeps its time; the one after it comes 10 ticks of 2.5 ms later.
  AdvanceTo(100ms - 1us);
  EXPECT_EQ(recorder->Messages().size(), 1u);
  AdvanceTo(125ms - 1us);
  EXPECT_EQ(recorder->Messages().size(), 2u);
  AdvanceTo(125ms);
  const std::vector<RecordedMessage> recorded = recorder->Messages();
  ASSERT_EQ(recorded.size(), 3u);
  EXPECT_EQ(recorded[0].due, 50ms);
  EXPECT_EQ(recorded[1].due, 100ms);
  EXPECT_EQ(recorded[2].due, 125ms);
}

TEST_F(RecordedStreamTest, UnprepareAnswersStillPlayingUntilTheBufferHasPlayed) {
  Play(StreamBuffer({{0, 0x99, 36, 100}, {20, 0x89, 36, 0}}), 100);
  AdvanceTo(100ms - 1us);
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiStillPlaying);
  EXPECT_EQ(header.dwFlags, kHeaderPrepared | kHeaderInQueue);
  EXPECT_EQ(done.Count(), 0);

  AdvanceTo(100ms);
  EXPECT_EQ(done.Count(), 1);
  EXPECT_FALSE(done.CameOnCallerThread());
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiNoError);
  EXPECT_EQ(header.dwFlags, kHeaderDone);
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiNoError);
}

TEST_F(RecordedStreamTest, StopEndsTheSoundingNotesAndHandsTheBufferBack) {
  Play(StreamBuffer({{0, 0x99, 36, 100},
                     {0, 0x9A, 40, 90},
                     {0, 0x9B, 50, 80},
                     {1, 0x9B, 50, 0},  // a note-on of velocity 0 ends the note
                     {1, 0x89, 36, 0},
                     {100, 0x9A, 41, 90}}),
       100);
  AdvanceTo(20ms);
  recorder->ClearRecording();

  EXPECT_EQ(service->StreamStop(handle), kMidiNoError);
  // The note still sounding, then All Notes Off on every channel the stream has sent on.
  EXPECT_THAT(SentMessages(), ElementsAre(Msg(0x8A, 40, 0), Msg(0xB9, 123, 0), Msg(0xBA, 123, 0),
                                          Msg(0xBB, 123, 0)));
  EXPECT_EQ(recorder->SilenceCount(), 1);
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiNoError);
  clock.Advance(0us);
  EXPECT_EQ(done.Count(), 1);
  EXPECT_FALSE(done.CameOnCallerThread());

  AdvanceTo(1s);
  EXPECT_EQ(SentMessages().size(), 4u);
}

TEST_F(RecordedStreamTest, StopWithNothingPlayingSendsNothing) {
  EXPECT_EQ(service->StreamStop(handle), kMidiNoError);
  EXPECT_THAT(SentMessages(), IsEmpty());
  EXPECT_EQ(recorder->SilenceCount(), 0);
}

TEST_F(RecordedStreamTest, AStoppedStreamHoldsAQueuedBufferUntilRestart) {
  ASSERT_EQ(service->StreamSetTimeDivision(handle, 100), kMidiNoError);
  ASSERT_EQ(Queue(StreamBuffer({{0, 0x99, 36, 100}, {1, 0x89, 36, 0}}), header), kMidiNoError);
  AdvanceTo(20ms);
  EXPECT_THAT(SentMessages(), IsEmpty());
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiStillPlaying);

  ASSERT_EQ(service->StreamRestart(handle), kMidiNoError);
  AdvanceTo(25ms);
  const std::vector<RecordedMessage> recorded = recorder->Messages();
  ASSERT_EQ(recorded.size(), 2u);
  EXPECT_EQ(recorded[0].due, 20ms);
  EXPECT_EQ(recorded[1].due, 25ms);
}

TEST_F(RecordedStreamTest, DataBytesAbove127AreNeverSentButKeepTheirPlaceInTime) {
  Play(StreamBuffer({{0, 0x99, 36, 100},
                     {4, 0x99, 0xFC, 0},  // an end record
                     {0, 0x9A, 60, 200},  // velocity above 127
                     {2, 0x89, 36, 0},
                     {0, 0xC9, 5, 0xFF},  // a program change has no second data byte
                     {3, 0x9A, 0xFC, 0}}),
       100);
  AdvanceTo(45ms - 1us);
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiStillPlaying);
  AdvanceTo(45ms);
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiNoError);

  const std::vector<RecordedMessage> recorded = recorder->Messages();
  ASSERT_EQ(recorded.size(), 3u);
  EXPECT_EQ(recorded[0].message, Msg(0x99, 36, 100));
  EXPECT_EQ(recorded[1].message, Msg(0x89, 36, 0));
  EXPECT_EQ(recorded[1].due, 30ms);
  EXPECT_EQ(recorded[2].message, Msg(0xC9, 5));
  EXPECT_EQ(recorded[2].due, 30ms);
}

TEST_F(RecordedStreamTest, NoteWhoseVelocityIsNotSentDoesNotSoundAtStop) {
  Play(StreamBuffer({{0, 0x99, 36, 0x80}, {100, 0x89, 36, 0}}), 100);
  clock.Advance(0us);
  EXPECT_EQ(service->StreamStop(handle), kMidiNoError);
  EXPECT_THAT(SentMessages(), IsEmpty());
}

TEST_F(RecordedStreamTest, BufferFreedRightAfterStreamOutStillPlays) {
  auto buffer = std::make_unique<std::vector<std::uint8_t>>(
      StreamBuffer({{0, 0x99, 36, 100}, {2, 0x89, 36, 0}}));
  ASSERT_EQ(service->StreamSetTimeDivision(handle, 100), kMidiNoError);
  ASSERT_EQ(Queue(*buffer, header), kMidiNoError);
  std::fill(buffer->begin(), buffer->end(), std::uint8_t{0xFF});
  buffer.reset();
  ASSERT_EQ(service->StreamRestart(handle), kMidiNoError);
  AdvanceTo(10ms);
  EXPECT_THAT(SentMessages(), ElementsAre(Msg(0x99, 36, 100), Msg(0x89, 36, 0)));
}

TEST_F(RecordedStreamTest, ClosingWhilePlayingEndsTheBufferAndHandsItBack) {
  Play(StreamBuffer({{0, 0x99, 36, 100}, {100, 0x89, 36, 0}}), 100);
  clock.Advance(0us);

  EXPECT_EQ(service->StreamClose(handle), kMidiNoError);
  EXPECT_THAT(SentMessages(), ElementsAre(Msg(0x99, 36, 100), Msg(0x89, 36, 0), Msg(0xB9, 123, 0)));
  EXPECT_EQ(done.Count(), 1);
  EXPECT_FALSE(recorder->IsOpen());
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiInvalidHandle);

  AdvanceTo(1s);
  EXPECT_EQ(recorder->Messages().size(), 3u);
  MidiStreamHandle again = 0;
  EXPECT_EQ(service->StreamOpen(&again, 0), kMidiNoError);
  EXPECT_NE(again, handle);
}

TEST_F(RecordedStreamTest, BufferQueuedOnARunningIdleStreamStartsAtOnce) {
  Play(StreamBuffer({{0, 0x99, 36, 100}, {2, 0x89, 36, 0}}), 100);
  AdvanceTo(200ms);  // the first ended at 10 ms, long enough ago for its endings to have gone
  ASSERT_EQ(service->UnprepareHeader(handle, &header), kMidiNoError);
  recorder->ClearRecording();

  ASSERT_EQ(Queue(StreamBuffer({{0, 0x99, 38, 100}, {1, 0x89, 38, 0}}), header), kMidiNoError);
  AdvanceTo(205ms);
  const std::vector<RecordedMessage> recorded = recorder->Messages();
  ASSERT_EQ(recorded.size(), 2u);
  EXPECT_EQ(recorded[0].due, 200ms);
  EXPECT_EQ(recorded[1].due, 205ms);
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiNoError);
  EXPECT_EQ(done.Count(), 2);
}

TEST_F(RecordedStreamTest, APlayThatNothingFollowsHasItsNotesEndedOnceTheFollowWindowHasPassed) {
  // The bass note is never ended by the buffer.
  Play(StreamBuffer({{0, 0x99, 36, 100}, {0, 0x9A, 40, 90}, {2, 0x89, 36, 0}}), 100);
  AdvanceTo(10ms + kFollowWindow - 1us);
  EXPECT_THAT(SentMessages(), ElementsAre(Msg(0x99, 36, 100), Msg(0x9A, 40, 90), Msg(0x89, 36, 0)));
  EXPECT_EQ(done.Count(), 1);

  AdvanceTo(10ms + kFollowWindow);
  const std::vector<RecordedMessage> recorded = recorder->Messages();
  ASSERT_EQ(recorded.size(), 6u);
  EXPECT_EQ(recorded[3].message, Msg(0x8A, 40, 0));
  EXPECT_EQ(recorded[4].message, Msg(0xB9, 123, 0));
  EXPECT_EQ(recorded[5].message, Msg(0xBA, 123, 0));
  EXPECT_EQ(recorded[5].due, 10ms + kFollowWindow);
  EXPECT_EQ(recorder->SilenceCount(), 0);  // sent after what played, not instead of it

  // They went once: a later Stop has nothing left to end.
  EXPECT_EQ(service->StreamStop(handle), kMidiNoError);
  AdvanceTo(1s);
  EXPECT_EQ(recorder->Messages().size(), 6u);
}

TEST_F(RecordedStreamTest, ABufferQueuedJustAfterTheLastEndedFollowsItSeamlessly) {
  // As Play all queues its next entry once the window has seen the last one end: the second
  // starts where the first ended, and the note held over the seam is not cut.
  Play(StreamBuffer({{0, 0x9A, 40, 90}, {2, 0x99, 36, 100}}), 100);
  AdvanceTo(30ms);
  ASSERT_EQ(service->UnprepareHeader(handle, &header), kMidiNoError);
  ASSERT_EQ(Queue(StreamBuffer({{0, 0x8A, 40, 0}, {1, 0x89, 36, 0}}), header), kMidiNoError);
  AdvanceTo(40ms);
  const std::vector<RecordedMessage> recorded = recorder->Messages();
  ASSERT_EQ(recorded.size(), 4u);
  EXPECT_EQ(recorded[2].message, Msg(0x8A, 40, 0));
  EXPECT_EQ(recorded[2].due, 10ms);
  EXPECT_EQ(recorded[3].due, 15ms);

  // Only once the second has ended and its window passed do the endings go.
  AdvanceTo(15ms + kFollowWindow);
  EXPECT_THAT(SentMessages(), ElementsAre(Msg(0x9A, 40, 90), Msg(0x99, 36, 100), Msg(0x8A, 40, 0),
                                          Msg(0x89, 36, 0), Msg(0xB9, 123, 0), Msg(0xBA, 123, 0)));
}

TEST_F(RecordedStreamTest, StopJustAfterAPlayEndedSendsItsEndingsBehindWhatItSent) {
  Play(StreamBuffer({{0, 0x9A, 40, 90}, {2, 0x99, 36, 100}}), 100);
  AdvanceTo(20ms);
  EXPECT_EQ(service->StreamStop(handle), kMidiNoError);
  EXPECT_THAT(SentMessages(), ElementsAre(Msg(0x9A, 40, 90), Msg(0x99, 36, 100), Msg(0x89, 36, 0),
                                          Msg(0x8A, 40, 0), Msg(0xB9, 123, 0), Msg(0xBA, 123, 0)));
  EXPECT_EQ(recorder->SilenceCount(), 0);
  EXPECT_EQ(recorder->Messages().back().due, 20ms);
}

TEST_F(RecordedStreamTest, BufferQueuedBehindAPlayingOneFollowsItWithoutAGap) {
  Play(StreamBuffer({{0, 0x99, 36, 100}, {2, 0x89, 36, 0}}), 100);
  AdvanceTo(5ms);
  TMidiHeader second;
  ASSERT_EQ(Queue(StreamBuffer({{1, 0x99, 38, 100}}), second), kMidiNoError);
  EXPECT_EQ(service->StreamRestart(handle), kMidiNoError);  // already running: changes nothing

  AdvanceTo(15ms);
  const std::vector<RecordedMessage> recorded = recorder->Messages();
  ASSERT_EQ(recorded.size(), 3u);
  EXPECT_EQ(recorded[1].due, 10ms);
  EXPECT_EQ(recorded[2].message, Msg(0x99, 38, 100));
  EXPECT_EQ(recorded[2].due, 15ms);
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiNoError);
  EXPECT_EQ(service->UnprepareHeader(handle, &second), kMidiNoError);
  EXPECT_EQ(done.Count(), 2);
}

TEST_F(RecordedStreamTest, EmptyBufferIsHandedBackAtOnce) {
  Play({}, 100);
  clock.Advance(0us);
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiNoError);
  EXPECT_EQ(done.Count(), 1);
}

TEST(SoundingNotes, EndingsAreTheNotesStillOnThenAllNotesOffOnEveryChannelUsed) {
  SoundingNotes notes;
  for (const MidiMessage& message :
       {Msg(0x9A, 40, 90), Msg(0x99, 36, 100), Msg(0x99, 38, 100), Msg(0x89, 38, 64),
        Msg(0x91, 60, 1), Msg(0x91, 61, 1), Msg(0x91, 61, 0), Msg(0xBC, 7, 100)}) {
    notes.Track(message);
  }
  EXPECT_THAT(notes.TakeEndings(),
              ElementsAre(Msg(0x81, 60, 0), Msg(0x89, 36, 0), Msg(0x8A, 40, 0), Msg(0xB1, 123, 0),
                          Msg(0xB9, 123, 0), Msg(0xBA, 123, 0), Msg(0xBC, 123, 0)));
  EXPECT_THAT(notes.TakeEndings(), IsEmpty());
}

TEST(StreamEvents, OnlyCompleteChannelMessagesAreDecoded) {
  EXPECT_EQ(DecodeShortMessage(0x00649099u), std::nullopt) << "status without its top bit";
  EXPECT_EQ(DecodeShortMessage(0x00006424u), std::nullopt) << "a data byte as status";
  EXPECT_EQ(DecodeShortMessage(0x000000FCu), std::nullopt) << "system real-time Stop";
  EXPECT_EQ(DecodeShortMessage(0x01002499u), std::nullopt) << "not a short message";
  EXPECT_EQ(DecodeShortMessage(0x0000FC99u), std::nullopt) << "end record";
  EXPECT_EQ(DecodeShortMessage(0x00802499u), std::nullopt) << "velocity 128";
  EXPECT_EQ(DecodeShortMessage(0x00FF05C9u), Msg(0xC9, 5)) << "unused byte of a program change";
  EXPECT_EQ(DecodeShortMessage(0x007F7FE0u), Msg(0xE0, 0x7F, 0x7F));
}

TEST(StreamEvents, ProgramChangeAndChannelPressureCarryOneDataByte) {
  // The byte after their one data byte is no part of them, whatever it holds: their message is
  // two bytes long, and the third is cleared.
  for (const std::uint32_t unused : {0x00u, 0x64u, 0xFFu}) {
    SCOPED_TRACE(unused);
    const std::uint32_t high = unused << 16;
    EXPECT_EQ(DecodeShortMessage(high | 0x05C3u), (MidiMessage{{0xC3, 5, 0}, 2}));
    EXPECT_EQ(DecodeShortMessage(high | 0x40D3u), (MidiMessage{{0xD3, 0x40, 0}, 2}));
  }
  // The other kinds carry two, each checked.
  EXPECT_EQ(DecodeShortMessage(0x00402AA3u), (MidiMessage{{0xA3, 0x2A, 0x40}, 3}));
  EXPECT_EQ(DecodeShortMessage(0x00FF2AA3u), std::nullopt) << "poly pressure of 255";
  EXPECT_EQ(DecodeShortMessage(0x00FF07B3u), std::nullopt) << "controller value of 255";
  // The record's third byte is no part of a one-byte message: whatever it holds, even a value
  // a data byte may not have, the message is its status and first data byte alone.
  const auto events = DecodeStreamEvents(StreamBuffer(
      {{0, 0xC9, 5, 0x7F}, {0, 0xD3, 100, 0x90}, {0, 0xD3, 0, 0}, {0, 0xE3, 0, 0x40}}));
  ASSERT_TRUE(events.has_value());
  ASSERT_EQ(events->size(), 4u);
  EXPECT_EQ((*events)[0].message, Msg(0xC9, 5));
  EXPECT_EQ((*events)[1].message, Msg(0xD3, 100));
  ASSERT_TRUE((*events)[2].message.has_value());
  EXPECT_EQ((*events)[2].message->size, 2u);
  // Pitch bend, like the note and controller messages, has two.
  ASSERT_TRUE((*events)[3].message.has_value());
  EXPECT_EQ((*events)[3].message->size, 3u);
}

TEST(StreamEvents, BufferMustHoldWholeRecords) {
  std::vector<std::uint8_t> bytes = StreamBuffer({{1, 0x99, 36, 100}, {0xFFFFFFFFu, 0x99, 0, 0}});
  const auto events = DecodeStreamEvents(bytes);
  ASSERT_TRUE(events.has_value());
  ASSERT_EQ(events->size(), 2u);
  EXPECT_EQ((*events)[1].tick, 0x100000000u);
  bytes.pop_back();
  EXPECT_EQ(DecodeStreamEvents(bytes), std::nullopt);
}

TEST(StreamEvents, TickTimesAreTheNearestMicrosecond) {
  // 96 ticks a quarter note: 5,208.33 us a tick.
  EXPECT_EQ(TicksToMicros(1, 96), 5'208us);
  EXPECT_EQ(TicksToMicros(2, 96), 10'417us);
  EXPECT_EQ(TicksToMicros(97, 96), 505'208us);
  EXPECT_EQ(TicksToMicros(98, 96), 510'417us);
  EXPECT_EQ(TicksToMicros(1, 3), 166'667us);
}

TEST(StreamEvents, TickTimesOfHugeBuffersDoNotOverflow) {
  EXPECT_EQ(TicksToMicros(96, 96), 500'000us);
  EXPECT_EQ(MicrosToTicks(500'000us, 96), 96u);
  EXPECT_EQ(MicrosToTicks(499'999us, 96), 95u);
  EXPECT_EQ(MicrosToTicks(MidiMicros(36'000'000'000), 0xFFFFFFFFu), 72'000ull * 0xFFFFFFFFull);
  EXPECT_EQ(TicksToMicros(0xFFFFFFFFull * 0xFFFFFFFFull, 1), MidiMicros::max());
  EXPECT_EQ(TicksToMicros(0xFFFFFFFFull, 1), MidiMicros(0xFFFFFFFFll * 500'000));
}

}  // namespace
}  // namespace brondel::platform
