// The end-to-end check over a real MIDI transport, run by tests/e2e/jack_platform.sh: that script
// starts a JACK server with the dummy driver and jack_midi_dump, then runs this case with the
// server's name in BRONDEL_E2E_JACK_SERVER and a file name in BRONDEL_E2E_EXPECTED. The case
// finds the monitor's port in the system's device list (listed through RtMidi), plays a short
// buffer to it through the stream engine, and writes the messages the monitor must have received
// to the file, one per line in hex, for the script to compare. Without those variables it is
// skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "tests/platform/stream_test_support.h"

namespace brondel::platform {
namespace {

using namespace std::chrono_literals;

TEST(JackEndToEnd, StreamReachesTheMonitorPortInOrder) {
  const char* server = std::getenv("BRONDEL_E2E_JACK_SERVER");
  const char* expectedPath = std::getenv("BRONDEL_E2E_EXPECTED");
  if (server == nullptr || expectedPath == nullptr) {
    GTEST_SKIP() << "run by tests/e2e/jack_platform.sh, which starts the JACK server";
  }
  const auto service = MakeSystemMidiService();
  const std::vector<std::string> names = service->OutputDeviceNames();
  const auto port = std::find(names.begin(), names.end(), "midi-monitor:input");
  ASSERT_NE(port, names.end()) << "the monitor's port is not listed on server " << server;
  EXPECT_EQ(names.front(), "Built-in General MIDI synthesizer");

  DoneCounter done;
  service->SetBufferDoneNotifier(done.Notifier());
  MidiStreamHandle handle = 0;
  ASSERT_EQ(service->StreamOpen(&handle, static_cast<std::uint32_t>(port - names.begin())),
            kMidiNoError);
  ASSERT_EQ(service->StreamSetTimeDivision(handle, 100), kMidiNoError);
  // A section's shape: set-up messages, notes on the drum and bass channels, end records (never
  // sent), and a velocity above 127 (never sent either).
  const std::vector<std::uint8_t> buffer = StreamBuffer({{0, 0xC9, 0, 0},
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
                                                         {0, 0x9A, 0xFC, 0}});
  TMidiHeader header{buffer.data(), static_cast<std::uint32_t>(buffer.size()),
                     static_cast<std::uint32_t>(buffer.size()), 0, 0};
  ASSERT_EQ(service->PrepareHeader(handle, &header), kMidiNoError);
  ASSERT_EQ(service->StreamOut(handle, &header), kMidiNoError);
  ASSERT_EQ(service->StreamRestart(handle), kMidiNoError);
  ASSERT_TRUE(done.WaitFor(1, 10s));
  EXPECT_EQ(service->UnprepareHeader(handle, &header), kMidiNoError);
  EXPECT_EQ(service->StreamClose(handle), kMidiNoError);

  // The buffer's messages, then what the close sends for the drum notes still sounding: their
  // note-offs and All Notes Off on every channel used.
  std::ofstream expected(expectedPath);
  for (const MidiMessage& message :
       {Msg(0xC9, 0), Msg(0xB9, 7, 100), Msg(0xCA, 33), Msg(0x99, 36, 100), Msg(0x9A, 40, 90),
        Msg(0x99, 42, 80), Msg(0x9A, 40, 0), Msg(0x9A, 43, 90), Msg(0x9A, 43, 0), Msg(0x89, 36, 0),
        Msg(0x89, 42, 0), Msg(0xB9, 123, 0), Msg(0xBA, 123, 0)}) {
    PrintTo(message, &expected);
    expected << '\n';
  }
}

}  // namespace
}  // namespace brondel::platform
