// A looping buffer and the stream's position, on a recording device with a manual clock: each
// repetition starts exactly where the previous one's last event falls, a buffer queued behind a
// loop takes over at its next seam, Stop ends a loop at once, and the position is reported as
// the device sounds it (its latency taken off), following a time division set while playing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/platform/stream_test_support.h"

namespace brondel::platform {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

// One bar at 100 ticks per quarter (5 ms a tick): a kick at 0, its end at 10, a hi-hat at 50
// that sounds over the seam (its note-off comes in the next repetition), and the end record at
// 100, which sends nothing but marks where the next repetition starts: 500 ms.
const std::vector<std::uint8_t> kBar = StreamBuffer({{0, 0x89, 42, 0},
                                                     {0, 0x99, 36, 100},
                                                     {10, 0x89, 36, 0},
                                                     {40, 0x99, 42, 90},
                                                     {50, 0x99, 0xFC, 0}});
constexpr MidiMicros kBarLength = 500ms;

class LoopTest : public RecordedStreamTest {
 protected:
  /// Queues `buffer` as a looping buffer under `target`.
  MidiResult QueueLoop(const std::vector<std::uint8_t>& buffer, TMidiHeader& target) {
    target = {buffer.data(), static_cast<std::uint32_t>(buffer.size()),
              static_cast<std::uint32_t>(buffer.size()), kHeaderLoop};
    const MidiResult prepared = service->PrepareHeader(handle, &target);
    return prepared != kMidiNoError ? prepared : service->StreamOut(handle, &target);
  }

  void StartLoop(const std::vector<std::uint8_t>& buffer) {
    ASSERT_EQ(service->StreamSetTimeDivision(handle, 100), kMidiNoError);
    ASSERT_EQ(QueueLoop(buffer, header), kMidiNoError);
    ASSERT_EQ(service->StreamRestart(handle), kMidiNoError);
  }

  TStreamPosition Position() {
    TStreamPosition position;
    EXPECT_EQ(service->StreamPosition(handle, &position), kMidiNoError);
    return position;
  }

  /// The due times of the messages recorded so far that equal `message`.
  std::vector<MidiMicros> DueTimesOf(const MidiMessage& message) const {
    std::vector<MidiMicros> times;
    for (const RecordedMessage& recorded : recorder->Messages()) {
      if (recorded.message == message) times.push_back(recorded.due);
    }
    return times;
  }
};

TEST_F(LoopTest, RepetitionsFollowEachOtherBackToBackAtExactDueTimes) {
  StartLoop(kBar);
  AdvanceTo(3 * kBarLength + 250ms);
  // No gap and no overlap: every repetition's first event is due one bar after the last one's.
  EXPECT_THAT(DueTimesOf(Msg(0x99, 36, 100)), ElementsAre(0ms, 500ms, 1000ms, 1500ms));
  EXPECT_THAT(DueTimesOf(Msg(0x89, 36, 0)), ElementsAre(50ms, 550ms, 1050ms, 1550ms));
  EXPECT_THAT(DueTimesOf(Msg(0x99, 42, 90)), ElementsAre(250ms, 750ms, 1250ms, 1750ms));
  // The hi-hat rings over each seam until the next repetition's note-off: nothing is cut there.
  EXPECT_THAT(DueTimesOf(Msg(0x89, 42, 0)), ElementsAre(0ms, 500ms, 1000ms, 1500ms));
  EXPECT_THAT(DueTimesOf(Msg(0xB9, 123, 0)), ::testing::IsEmpty());
  // The buffer is never handed back while it loops.
  EXPECT_EQ(done.Count(), 0);
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiStillPlaying);
}

TEST_F(LoopTest, ABufferQueuedBehindALoopTakesOverAtItsNextSeam) {
  StartLoop(kBar);
  AdvanceTo(kBarLength + 100ms);
  // A changed rendering (the kick muted), queued as the other header of the pair, while the
  // second repetition plays; it loops in its turn.
  const std::vector<std::uint8_t> muted =
      StreamBuffer({{0, 0x89, 42, 0}, {50, 0x99, 42, 90}, {50, 0x99, 0xFC, 0}});
  TMidiHeader second;
  ASSERT_EQ(QueueLoop(muted, second), kMidiNoError);
  AdvanceTo(2 * kBarLength - 1us);
  EXPECT_EQ(done.Count(), 0);
  AdvanceTo(4 * kBarLength - 1us);
  EXPECT_THAT(DueTimesOf(Msg(0x99, 36, 100)), ElementsAre(0ms, 500ms));
  EXPECT_THAT(DueTimesOf(Msg(0x89, 42, 0)), ElementsAre(0ms, 500ms, 1000ms, 1500ms));
  EXPECT_EQ(done.Count(), 1);
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiNoError);
  EXPECT_EQ(Position().header, &second);

  // The first header again, behind the second: the two alternate, each at a seam.
  ASSERT_EQ(QueueLoop(kBar, header), kMidiNoError);
  AdvanceTo(5 * kBarLength);
  EXPECT_THAT(DueTimesOf(Msg(0x99, 36, 100)), ElementsAre(0ms, 500ms, 2000ms, 2500ms));
  EXPECT_EQ(done.Count(), 2);
  EXPECT_EQ(service->UnprepareHeader(handle, &second), kMidiNoError);
}

TEST_F(LoopTest, ABufferQueuedAgainUnderTheHeaderWaitingBehindALoopReplacesIt) {
  StartLoop(kBar);
  AdvanceTo(100ms);
  // Two changes within one repetition: the kick muted, then the hi-hat muted instead. The
  // second takes the place of the first, which never plays.
  const std::vector<std::uint8_t> noKick =
      StreamBuffer({{0, 0x89, 42, 0}, {50, 0x99, 42, 90}, {50, 0x99, 0xFC, 0}});
  const std::vector<std::uint8_t> noHiHat =
      StreamBuffer({{0, 0x99, 36, 100}, {10, 0x89, 36, 0}, {90, 0x99, 0xFC, 0}});
  TMidiHeader second;
  ASSERT_EQ(QueueLoop(noKick, second), kMidiNoError);
  AdvanceTo(200ms);
  ASSERT_EQ(QueueLoop(noHiHat, second), kMidiNoError);
  AdvanceTo(3 * kBarLength - 1us);
  EXPECT_THAT(DueTimesOf(Msg(0x99, 36, 100)), ElementsAre(0ms, 500ms, 1000ms));
  EXPECT_THAT(DueTimesOf(Msg(0x99, 42, 90)), ElementsAre(250ms));
  EXPECT_EQ(done.Count(), 1);  // the first header; the replaced buffer is no buffer of its own
  // The buffer playing cannot be replaced: its header is refused until it is handed back.
  EXPECT_EQ(QueueLoop(kBar, second), kMidiStillPlaying);
}

TEST_F(LoopTest, ANoteTheNextRenderingNeverEndsIsEndedAtTheSeam) {
  // The bass holds a note over each seam, ended by the next repetition's first event. With the
  // bass muted, the next rendering has nothing that would end it: it is ended at the seam, just
  // before the new repetition starts; the drums, ended by their own, play on.
  StartLoop(StreamBuffer({{0, 0x8A, 40, 0},
                          {0, 0x99, 36, 100},
                          {10, 0x89, 36, 0},
                          {40, 0x9A, 40, 90},
                          {50, 0x99, 0xFC, 0}}));
  AdvanceTo(kBarLength + 300ms);
  TMidiHeader muted;
  const std::vector<std::uint8_t> drumsOnly =
      StreamBuffer({{0, 0x99, 36, 100}, {10, 0x89, 36, 0}, {90, 0x99, 0xFC, 0}});
  ASSERT_EQ(QueueLoop(drumsOnly, muted), kMidiNoError);
  recorder->ClearRecording();
  AdvanceTo(2 * kBarLength + 100ms);
  const std::vector<RecordedMessage> recorded = recorder->Messages();
  ASSERT_EQ(recorded.size(), 3u);
  EXPECT_EQ(recorded[0].message, Msg(0x8A, 40, 0));
  EXPECT_EQ(recorded[0].due, 2 * kBarLength);
  EXPECT_EQ(recorded[1].message, Msg(0x99, 36, 100));
  EXPECT_EQ(recorded[1].due, 2 * kBarLength);
}

TEST_F(LoopTest, ANoteHeldOverTheSeamIsStillKnownToSoundUntilTheNextRepetitionEndsIt) {
  // A hi-hat from tick 50 that the next repetition ends at its tick 20: the seam sends nothing
  // for it, yet it still sounds, so a Stop before tick 20 ends it with its own note-off.
  StartLoop(StreamBuffer({{0, 0x99, 36, 100},
                          {10, 0x89, 36, 0},
                          {10, 0x89, 42, 0},
                          {30, 0x99, 42, 90},
                          {50, 0x99, 0xFC, 0}}));
  AdvanceTo(kBarLength + 60ms);  // tick 12 of the second repetition
  EXPECT_THAT(DueTimesOf(Msg(0x89, 42, 0)), ElementsAre(100ms)) << "nothing cut at the seam";
  recorder->ClearRecording();
  EXPECT_EQ(service->StreamStop(handle), kMidiNoError);
  EXPECT_THAT(SentMessages(), ElementsAre(Msg(0x89, 42, 0), Msg(0xB9, 123, 0)));
}

TEST_F(LoopTest, StopEndsALoopAtOnceEndsItsNotesAndHandsEveryBufferBack) {
  StartLoop(kBar);
  TMidiHeader second;
  ASSERT_EQ(QueueLoop(kBar, second), kMidiNoError);
  AdvanceTo(300ms);  // the hi-hat sounds
  ASSERT_NE(Position().header, nullptr);
  recorder->ClearRecording();

  EXPECT_EQ(service->StreamStop(handle), kMidiNoError);
  EXPECT_THAT(SentMessages(), ElementsAre(Msg(0x89, 42, 0), Msg(0xB9, 123, 0)));
  EXPECT_EQ(Position().header, nullptr);
  clock.Advance(0us);
  EXPECT_EQ(done.Count(), 2);
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiNoError);
  EXPECT_EQ(service->UnprepareHeader(handle, &second), kMidiNoError);
  AdvanceTo(3s);
  EXPECT_EQ(SentMessages().size(), 2u);
}

TEST_F(LoopTest, ALoopWithoutLengthPlaysOnce) {
  StartLoop(StreamBuffer({{0, 0x99, 36, 100}, {0, 0x89, 36, 0}}));
  AdvanceTo(1s);
  EXPECT_EQ(recorder->Messages().size(), 3u);  // the two, then All Notes Off
  EXPECT_EQ(done.Count(), 1);
}

TEST_F(LoopTest, PositionCountsTheTicksOfTheCurrentRepetitionAndTheRepetitionsEnded) {
  StartLoop(kBar);
  AdvanceTo(0us);
  EXPECT_EQ(Position().header, &header);
  EXPECT_EQ(Position().ticks, 0u);
  AdvanceTo(27ms);  // 5.4 ticks of 5 ms
  EXPECT_EQ(Position().ticks, 5u);
  EXPECT_EQ(Position().repetitions, 0u);
  AdvanceTo(kBarLength - 1us);
  EXPECT_EQ(Position().ticks, 99u);
  AdvanceTo(2 * kBarLength + 60ms);
  EXPECT_EQ(Position().ticks, 12u);
  EXPECT_EQ(Position().repetitions, 2u);
}

TEST_F(LoopTest, PositionIsTheSoundOfTheDeviceItsLatencyTakenOff) {
  recorder->SetOutputLatency(20ms);
  ASSERT_EQ(service->StreamSetTimeDivision(handle, 100), kMidiNoError);
  const std::vector<std::uint8_t> once = StreamBuffer({{0, 0x99, 36, 100}, {100, 0x89, 36, 0}});
  Play(once, 100);
  AdvanceTo(10ms);
  EXPECT_EQ(Position().header, nullptr) << "the first message is not heard yet";
  AdvanceTo(20ms);
  EXPECT_EQ(Position().header, &header);
  EXPECT_EQ(Position().ticks, 0u);
  AdvanceTo(77ms);
  EXPECT_EQ(Position().ticks, 11u);
  // The engine has handed the buffer back at 500 ms; the device sounds its end 20 ms later.
  AdvanceTo(510ms);
  EXPECT_EQ(done.Count(), 1);
  EXPECT_EQ(Position().header, &header);
  EXPECT_EQ(Position().ticks, 98u);
  AdvanceTo(520ms);
  EXPECT_EQ(Position().header, nullptr);
}

TEST_F(LoopTest, PositionLooksBackAsFarAsALongLatencyOverSeveralSeams) {
  // A device that sounds 300 ms late (a long audio buffer) under a loop of 100 ms: what it
  // sounds now was played three seams ago, and the position still knows it.
  recorder->SetOutputLatency(300ms);
  StartLoop(StreamBuffer({{0, 0x99, 36, 100}, {10, 0x89, 36, 0}, {10, 0x99, 0xFC, 0}}));
  AdvanceTo(450ms);
  const TStreamPosition position = Position();
  EXPECT_EQ(position.header, &header);
  EXPECT_EQ(position.repetitions, 1u);
  EXPECT_EQ(position.ticks, 10u);
}

TEST_F(LoopTest, PositionFollowsATimeDivisionSetWhilePlaying) {
  Play(StreamBuffer({{10, 0x99, 36, 100}, {10, 0x99, 38, 100}, {10, 0x99, 42, 100}}), 100);
  AdvanceTo(60ms);  // tick 12: the event at tick 10 has played, the next is due at 100 ms
  ASSERT_EQ(service->StreamSetTimeDivision(handle, 200), kMidiNoError);
  // Up to the next event the ticks keep their 5 ms, after it they last 2.5 ms.
  AdvanceTo(90ms);
  EXPECT_EQ(Position().ticks, 18u);
  AdvanceTo(100ms);
  EXPECT_EQ(Position().ticks, 20u);
  AdvanceTo(110ms);
  EXPECT_EQ(Position().ticks, 24u);
  AdvanceTo(125ms - 1us);
  EXPECT_EQ(Position().ticks, 29u);
}

TEST_F(LoopTest, NothingIsPlayingBeforeAStartOrAfterTheEnd) {
  EXPECT_EQ(Position().header, nullptr);
  ASSERT_EQ(QueueLoop(kBar, header), kMidiNoError);
  AdvanceTo(100ms);
  EXPECT_EQ(Position().header, nullptr) << "queued on a stopped stream";
  EXPECT_EQ(service->StreamPosition(handle, nullptr), kMidiInvalidParam);
  EXPECT_EQ(service->StreamPosition(handle + 1, nullptr), kMidiInvalidHandle);
}

}  // namespace
}  // namespace brondel::platform
