// The service's handles, device ids, header states and result codes, a device told to refuse
// stream calls, and the environment the service sets for libjack.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#if defined(BRONDEL_HAVE_JACK)
#include <jack/jack.h>
#endif

#include "platform/midi/jack/jack_device.h"
#include "platform/midi/jack/jack_environment.h"
#include "tests/platform/stream_test_support.h"

namespace brondel::platform {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(MidiService, ListsItsDevicesInOrderAndTheMapperMeansDeviceZero) {
  ManualMidiClock clock;
  auto first = std::make_shared<RecordingMidiDevice>("First", clock);
  auto second = std::make_shared<RecordingMidiDevice>("Second", clock);
  auto service = MakeMidiService({first, second});
  EXPECT_THAT(service->OutputDeviceNames(), ElementsAre("First", "Second"));

  MidiStreamHandle mapped = 0;
  EXPECT_EQ(service->StreamOpen(&mapped, kMidiMapper), kMidiNoError);
  EXPECT_NE(mapped, 0u);
  EXPECT_TRUE(first->IsOpen());
  EXPECT_FALSE(second->IsOpen());

  MidiStreamHandle other = 0;
  EXPECT_EQ(service->StreamOpen(&other, 1), kMidiNoError);
  EXPECT_TRUE(second->IsOpen());
  EXPECT_NE(other, mapped);
}

TEST(MidiService, RefusesDeviceIdsNoDeviceHasAndDevicesInUse) {
  ManualMidiClock clock;
  auto recorder = std::make_shared<RecordingMidiDevice>("Recorder", clock);
  auto service = MakeMidiService({recorder});
  MidiStreamHandle handle = 77;
  EXPECT_EQ(service->StreamOpen(&handle, 1), kMidiBadDeviceId);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(service->StreamOpen(nullptr, 0), kMidiInvalidParam);

  ASSERT_EQ(service->StreamOpen(&handle, 0), kMidiNoError);
  MidiStreamHandle second = 0;
  EXPECT_EQ(service->StreamOpen(&second, 0), kMidiAllocated);

  auto empty = MakeMidiService({});
  EXPECT_EQ(empty->StreamOpen(&second, kMidiMapper), kMidiBadDeviceId);
}

// Every call of the stream, made on the fixture's handle and header.
struct StreamCall {
  MidiCall call;
  const char* name;
  MidiResult (*invoke)(RecordedStreamTest& test, IMidiService& service, MidiStreamHandle handle,
                       TMidiHeader& header);
};

class MidiCallsTest : public RecordedStreamTest {
 protected:
  static std::vector<StreamCall> Calls() {
    return {
        {MidiCall::kTimeDivision, "time division",
         [](RecordedStreamTest&, IMidiService& service, MidiStreamHandle handle, TMidiHeader&) {
           return service.StreamSetTimeDivision(handle, 96);
         }},
        {MidiCall::kPrepare, "prepare",
         [](RecordedStreamTest&, IMidiService& service, MidiStreamHandle handle,
            TMidiHeader& header) { return service.PrepareHeader(handle, &header); }},
        {MidiCall::kOut, "out",
         [](RecordedStreamTest&, IMidiService& service, MidiStreamHandle handle,
            TMidiHeader& header) { return service.StreamOut(handle, &header); }},
        {MidiCall::kRestart, "restart",
         [](RecordedStreamTest&, IMidiService& service, MidiStreamHandle handle, TMidiHeader&) {
           return service.StreamRestart(handle);
         }},
        {MidiCall::kStop, "stop",
         [](RecordedStreamTest&, IMidiService& service, MidiStreamHandle handle, TMidiHeader&) {
           return service.StreamStop(handle);
         }},
        {MidiCall::kUnprepare, "unprepare",
         [](RecordedStreamTest&, IMidiService& service, MidiStreamHandle handle,
            TMidiHeader& header) { return service.UnprepareHeader(handle, &header); }},
        {MidiCall::kClose, "close",
         [](RecordedStreamTest&, IMidiService& service, MidiStreamHandle handle, TMidiHeader&) {
           return service.StreamClose(handle);
         }},
        {MidiCall::kOpen, "open",
         [](RecordedStreamTest& test, IMidiService& service, MidiStreamHandle, TMidiHeader&) {
           MidiStreamHandle opened = 0;
           const MidiResult result = service.StreamOpen(&opened, 0);
           if (result == kMidiNoError) test.handle = opened;
           return result;
         }},
    };
  }

  std::vector<std::uint8_t> buffer = StreamBuffer({{0, 0x99, 36, 100}, {10, 0x89, 36, 0}});

  void SetUp() override {
    RecordedStreamTest::SetUp();
    header = {buffer.data(), static_cast<std::uint32_t>(buffer.size()),
              static_cast<std::uint32_t>(buffer.size()), 0};
  }
};

TEST_F(MidiCallsTest, EachRefusedCallReportsTheDevicesCodeAndTheRestGoOn) {
  // The calls run in the order of a play; each is refused once, then let through.
  for (const StreamCall& call : Calls()) {
    SCOPED_TRACE(call.name);
    recorder->FailCall(call.call, kMidiNotReady);
    EXPECT_EQ(call.invoke(*this, *service, handle, header), kMidiNotReady);
    recorder->FailCall(call.call, kMidiNoError);
    EXPECT_EQ(call.invoke(*this, *service, handle, header), kMidiNoError);
  }
  EXPECT_THAT(service->ErrorText(kMidiNotReady), HasSubstr("busy"));
}

TEST_F(MidiCallsTest, ARefusedStopLeavesTheBufferPlaying) {
  Play(buffer, 100);
  clock.Advance(0us);
  recorder->FailCall(MidiCall::kStop, 1234);
  EXPECT_EQ(service->StreamStop(handle), 1234u);
  EXPECT_EQ(service->ErrorText(1234), "Unknown MIDI error 1234");
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiStillPlaying);
  AdvanceTo(50ms);
  EXPECT_THAT(SentMessages(), ElementsAre(Msg(0x99, 36, 100), Msg(0x89, 36, 0)));
}

TEST_F(MidiCallsTest, ADeviceThatRefusesEveryCallCannotBeOpened) {
  recorder->FailEveryCall(kMidiError);
  for (const StreamCall& call : Calls()) {
    SCOPED_TRACE(call.name);
    EXPECT_EQ(call.invoke(*this, *service, handle, header), kMidiError);
  }
  // The program then goes on with the handle a failed open leaves: 0, which no stream has.
  for (const StreamCall& call : Calls()) {
    if (call.call == MidiCall::kOpen) continue;
    SCOPED_TRACE(call.name);
    EXPECT_EQ(call.invoke(*this, *service, 0, header), kMidiInvalidHandle);
  }
  recorder->FailEveryCall(kMidiNoError);
  EXPECT_EQ(service->StreamSetTimeDivision(handle, 96), kMidiNoError);
}

TEST_F(MidiCallsTest, EveryCallOnAClosedHandleIsRefused) {
  ASSERT_EQ(service->StreamClose(handle), kMidiNoError);
  for (const StreamCall& call : Calls()) {
    if (call.call == MidiCall::kOpen) continue;
    SCOPED_TRACE(call.name);
    EXPECT_EQ(call.invoke(*this, *service, handle, header), kMidiInvalidHandle);
  }
}

TEST_F(RecordedStreamTest, HeadersMustBePreparedAndHoldWholeRecords) {
  std::vector<std::uint8_t> buffer = StreamBuffer({{0, 0x99, 36, 100}});
  header = {buffer.data(), 12, 12, 0};
  EXPECT_EQ(service->StreamOut(handle, &header), kMidiUnprepared);
  EXPECT_EQ(service->PrepareHeader(handle, nullptr), kMidiInvalidParam);

  ASSERT_EQ(service->PrepareHeader(handle, &header), kMidiNoError);
  EXPECT_EQ(header.dwFlags, kHeaderPrepared);
  header.dwBytesRecorded = 11;
  EXPECT_EQ(service->StreamOut(handle, &header), kMidiInvalidParam);
  header.dwBytesRecorded = 24;
  EXPECT_EQ(service->StreamOut(handle, &header), kMidiInvalidParam);

  header.dwBytesRecorded = 12;
  EXPECT_EQ(service->StreamOut(handle, &header), kMidiNoError);
  EXPECT_EQ(service->StreamOut(handle, &header), kMidiStillPlaying);
}

TEST_F(RecordedStreamTest, UnprepareOfAHeaderTheStreamDoesNotHoldSucceeds) {
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiNoError);

  // A header queued on another stream is not this stream's business.
  auto other = std::make_shared<RecordingMidiDevice>("Other", clock);
  auto twoDevices = MakeMidiService({recorder, other});
  ASSERT_EQ(service->StreamClose(handle), kMidiNoError);
  MidiStreamHandle first = 0;
  MidiStreamHandle second = 0;
  ASSERT_EQ(twoDevices->StreamOpen(&first, 0), kMidiNoError);
  ASSERT_EQ(twoDevices->StreamOpen(&second, 1), kMidiNoError);
  std::vector<std::uint8_t> buffer = StreamBuffer({{0, 0x99, 36, 100}});
  header = {buffer.data(), 12, 12, 0};
  ASSERT_EQ(twoDevices->PrepareHeader(first, &header), kMidiNoError);
  ASSERT_EQ(twoDevices->StreamOut(first, &header), kMidiNoError);
  EXPECT_EQ(twoDevices->UnprepareHeader(first, &header), kMidiStillPlaying);
  EXPECT_EQ(twoDevices->UnprepareHeader(second, &header), kMidiNoError);
}

TEST_F(RecordedStreamTest, TimeDivisionZeroIsRefusedAndTheOldOneStays) {
  ASSERT_EQ(service->StreamSetTimeDivision(handle, 100), kMidiNoError);
  EXPECT_EQ(service->StreamSetTimeDivision(handle, 0), kMidiInvalidParam);
  Play(StreamBuffer({{0, 0x99, 36, 100}, {1, 0x89, 36, 0}}), 100);
  AdvanceTo(5ms);
  ASSERT_EQ(recorder->Messages().size(), 2u);
  EXPECT_EQ(recorder->Messages()[1].due, 5ms);
}

TEST(MidiErrorText, EveryCodeHasItsOwnTextThatFitsTheCallersBuffer) {
  const std::vector<MidiResult> codes = {
      kMidiNoError,       kMidiError,      kMidiBadDeviceId,  kMidiNotEnabled,   kMidiAllocated,
      kMidiInvalidHandle, kMidiNoDriver,   kMidiNoMemory,     kMidiNotSupported, kMidiInvalidFlag,
      kMidiInvalidParam,  kMidiUnprepared, kMidiStillPlaying, kMidiNotReady,     kMidiNoSoundfont};
  std::set<std::string> texts;
  for (MidiResult code : codes) {
    const std::string text = MidiErrorText(code);
    EXPECT_LT(text.size(), 120u) << code;
    EXPECT_THAT(text, ::testing::Not(HasSubstr("Unknown"))) << code;
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), codes.size());
  EXPECT_EQ(MidiErrorText(123), "Unknown MIDI error 123");
  EXPECT_THAT(MidiErrorText(kMidiNoDriver), HasSubstr("audio output"));
}

#if defined(BRONDEL_HAVE_JACK)
TEST(JackDevice, AFailedOpenKeepsLibjacksReasonAndTheServersNameInTheErrorText) {
  // No server runs under this name, and none is started (JACK_NO_START_SERVER).
  const char* const before = std::getenv("JACK_DEFAULT_SERVER");
  const std::string kept = before ? before : "";
  ::setenv("JACK_DEFAULT_SERVER", "brondel-no-such-server", 1);
  ManualMidiClock clock;
  auto recorder = std::make_shared<RecordingMidiDevice>("Recorder", clock);
  auto service = MakeMidiService({std::make_shared<JackMidiDevice>("monitor:input"), recorder});
  MidiStreamHandle handle = 0;
  EXPECT_EQ(service->StreamOpen(&handle, 0), kMidiNotEnabled);
  if (before) {
    ::setenv("JACK_DEFAULT_SERVER", kept.c_str(), 1);
  } else {
    ::unsetenv("JACK_DEFAULT_SERVER");
  }
  const std::string text = service->ErrorText(kMidiNotEnabled);
  EXPECT_EQ(text,
            "The MIDI driver could not open the output device: JACK server "
            "\"brondel-no-such-server\" is not running (status 0x11).");
  EXPECT_LT(text.size(), 120u);
  EXPECT_EQ(service->ErrorText(kMidiAllocated), MidiErrorText(kMidiAllocated));
  // An open that succeeds leaves the code's own text.
  EXPECT_EQ(service->StreamOpen(&handle, 1), kMidiNoError);
  EXPECT_EQ(service->ErrorText(kMidiNotEnabled), MidiErrorText(kMidiNotEnabled));
}

TEST(JackDevice, OpenFailuresSayWhatLibjacksStatusSays) {
  ::setenv("JACK_DEFAULT_SERVER", "studio", 1);
  EXPECT_EQ(JackOpenFailure(JackFailure | JackServerFailed),
            "JACK server \"studio\" is not running (status 0x11)");
  EXPECT_EQ(JackOpenFailure(JackFailure | JackServerError),
            "JACK server \"studio\" refused the client (status 0x21)");
  EXPECT_EQ(JackOpenFailure(JackFailure | JackServerFailed | JackVersionError),
            "JACK server \"studio\" speaks another protocol version (status 0x411)");
  EXPECT_EQ(JackOpenFailure(JackFailure),
            "JACK server \"studio\" could not open a client (status 0x1)");
  ::unsetenv("JACK_DEFAULT_SERVER");
  EXPECT_EQ(JackOpenFailure(JackFailure | JackShmFailure),
            "JACK server \"default\": shared memory failed (status 0x201)");
}
#endif

TEST(JackEnvironment, IsSetOnceAndLeftAloneAfter) {
  // Setting the environment races with other threads reading it (libjack's, FluidSynth's): the
  // later calls, on every device listing and synthesizer opened, must not set it again.
  PreventJackServerAutoStart();
  ASSERT_STREQ(std::getenv("JACK_NO_START_SERVER"), "1");
  ::unsetenv("JACK_NO_START_SERVER");
  PreventJackServerAutoStart();
  EXPECT_EQ(std::getenv("JACK_NO_START_SERVER"), nullptr);
  ::setenv("JACK_NO_START_SERVER", "1", 1);
}

}  // namespace
}  // namespace brondel::platform
