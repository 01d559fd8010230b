// The end-to-end checks over JACK, run by tests/e2e/jack_platform.sh: that script starts a JACK
// server with the dummy driver and jack_midi_dump, then runs these cases with the server's name in
// BRONDEL_E2E_JACK_SERVER and a file name in BRONDEL_E2E_EXPECTED. The first finds the monitor's
// port in the system's device list (listed through RtMidi), plays a short buffer to it through
// the stream engine, and writes the messages the monitor must have received to the file, one per
// line in hex, for the script to compare. The second plays on the built-in synthesizer, which
// finds JACK's audio by trying the drivers in turn; the script records its output. Without those
// variables both are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "tests/platform/stream_test_support.h"

namespace brondel::platform {
namespace {

using namespace std::chrono_literals;

const char* const kServer = std::getenv("BRONDEL_E2E_JACK_SERVER");
const char* const kExpectedPath = std::getenv("BRONDEL_E2E_EXPECTED");

// Plays `buffer` at 100 ticks per quarter on an open stream and waits until it is handed back.
void PlayToEnd(IMidiService& service, MidiStreamHandle handle,
               const std::vector<std::uint8_t>& buffer) {
  DoneCounter done;
  service.SetBufferDoneNotifier(done.Notifier());
  ASSERT_EQ(service.StreamSetTimeDivision(handle, 100), kMidiNoError);
  TMidiHeader header{buffer.data(), static_cast<std::uint32_t>(buffer.size()),
                     static_cast<std::uint32_t>(buffer.size()), 0};
  ASSERT_EQ(service.PrepareHeader(handle, &header), kMidiNoError);
  ASSERT_EQ(service.StreamOut(handle, &header), kMidiNoError);
  ASSERT_EQ(service.StreamRestart(handle), kMidiNoError);
  ASSERT_TRUE(done.WaitFor(1, 10s));
  EXPECT_EQ(service.UnprepareHeader(handle, &header), kMidiNoError);
  service.SetBufferDoneNotifier({});
}

class JackEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (kServer == nullptr || kExpectedPath == nullptr) {
      GTEST_SKIP() << "run by tests/e2e/jack_platform.sh, which starts the JACK server";
    }
  }
};

TEST_F(JackEndToEnd, StreamReachesTheMonitorPortInOrder) {
  const auto service = MakeSystemMidiService();
  const std::vector<std::string> names = service->OutputDeviceNames();
  const auto port = std::find(names.begin(), names.end(), "midi-monitor:input");
  ASSERT_NE(port, names.end()) << "the monitor's port is not listed on server " << kServer;
  EXPECT_EQ(names.front(), "Built-in General MIDI synthesizer");

  MidiStreamHandle handle = 0;
  ASSERT_EQ(service->StreamOpen(&handle, static_cast<std::uint32_t>(port - names.begin())),
            kMidiNoError);
  // A section's shape: set-up messages, notes on the drum and bass channels, end records (never
  // sent), and a velocity above 127 (never sent either).
  PlayToEnd(*service, handle,
            StreamBuffer({{0, 0xC9, 0, 0},
                          {0, 0xB9, 7, 100},
                          {0, 0xCA, 33, 0},
                          {0, 0x99, 36, 100},
                          {0, 0x9A, 40, 90},
                          {6, 0x99, 42, 80},
                          {0, 0x9A, 40, 0},
                          {6, 0x99, 38, 200},
                          {6, 0x9A, 43, 90},
                          {6, 0x99, 0xFC, 0},
                          {0, 0x9A, 43, 0},
                          {0, 0x9A, 0xFC, 0}}));
  EXPECT_EQ(service->StreamClose(handle), kMidiNoError);

  // The buffer's messages, then what the close sends for the drum notes still sounding: their
  // note-offs and All Notes Off on every channel used.
  std::ofstream expected(kExpectedPath);
  for (const MidiMessage& message :
       {Msg(0xC9, 0), Msg(0xB9, 7, 100), Msg(0xCA, 33), Msg(0x99, 36, 100), Msg(0x9A, 40, 90),
        Msg(0x99, 42, 80), Msg(0x9A, 40, 0), Msg(0x9A, 43, 90), Msg(0x9A, 43, 0), Msg(0x89, 36, 0),
        Msg(0x89, 42, 0), Msg(0xB9, 123, 0), Msg(0xBA, 123, 0)}) {
    PrintTo(message, &expected);
    expected << '\n';
  }
}

TEST_F(JackEndToEnd, BuiltInSynthesizerPlaysThroughJacksAudio) {
  const auto service = MakeSystemMidiService();
  MidiStreamHandle handle = 0;
  ASSERT_EQ(service->StreamOpen(&handle, 0), kMidiNoError);
  // Two seconds of an organ chord, long enough for the script to start recording it.
  PlayToEnd(*service, handle,
            StreamBuffer({{0, 0xC0, 19, 0},
                          {0, 0x90, 60, 110},
                          {0, 0x90, 64, 110},
                          {400, 0x80, 60, 0},
                          {0, 0x80, 64, 0}}));
  EXPECT_EQ(service->StreamClose(handle), kMidiNoError);
}

}  // namespace
}  // namespace brondel::platform
