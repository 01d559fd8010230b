// The end-to-end check of MIDI input over JACK, run by tests/e2e/jack_input.sh: that script
// starts a JACK server with the dummy driver and our keyboard client "keys" (tests/e2e/keys),
// then runs this case with the server's name in BRONDEL_E2E_JACK_SERVER and a file name in
// BRONDEL_E2E_RECEIVED. It finds "keys:out" in the system's input list, opens it (our client
// connects to it, and the keyboard plays, then ends), waits for the keyboard's going away to be
// reported, checks it is reported once, and writes every message received with its time in
// microseconds since the first, one per line ("20833 90 30 5A"), for the script to compare with
// what was sent and when. Without those variables it is skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/midi_input.h"

namespace brondel::platform {
namespace {

using namespace std::chrono_literals;

const char* const kServer = std::getenv("BRONDEL_E2E_JACK_SERVER");
const char* const kReceivedPath = std::getenv("BRONDEL_E2E_RECEIVED");

TEST(JackInputEndToEnd, TheKeyboardsMessagesArriveInOrderWithTheirTimesAndItsGoingIsReported) {
  if (kServer == nullptr || kReceivedPath == nullptr) {
    GTEST_SKIP() << "run by tests/e2e/jack_input.sh, which starts the JACK server";
  }
  const auto service = MakeSystemMidiInputService();
  std::vector<std::string> names;
  for (int tries = 0; tries < 100; ++tries) {
    names = service->InputDeviceNames();
    if (std::find(names.begin(), names.end(), "keys:out") != names.end()) break;
    std::this_thread::sleep_for(100ms);
  }
  const auto keys = std::find(names.begin(), names.end(), "keys:out");
  ASSERT_NE(keys, names.end()) << "keys:out is not listed on server " << kServer;

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<TInputMessage> received;
  std::vector<std::string> lost;
  TInputCallbacks callbacks;
  callbacks.message = [&](const TInputMessage& message) {
    const std::lock_guard lock(mutex);
    received.push_back(message);
    changed.notify_all();
  };
  callbacks.lost = [&](const std::string& reason) {
    const std::lock_guard lock(mutex);
    lost.push_back(reason);
    changed.notify_all();
  };
  MidiInputHandle handle = 0;
  ASSERT_EQ(
      service->OpenInput(static_cast<std::uint32_t>(keys - names.begin()), callbacks, &handle),
      kMidiNoError)
      << service->ErrorText(kMidiNotEnabled);
  {
    std::unique_lock lock(mutex);
    // The keyboard ends once it has played: its port goes, and the input says so once.
    EXPECT_TRUE(changed.wait_for(lock, 60s, [&] { return !lost.empty(); }));
  }
  std::this_thread::sleep_for(600ms);  // a second report would come within two watches
  EXPECT_EQ(service->CloseInput(handle), kMidiNoError);
  EXPECT_EQ(lost, (std::vector<std::string>{"keys:out has gone"}));

  std::ofstream out(kReceivedPath);
  for (const TInputMessage& message : received) {
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(message.time - received[0].time);
    out << micros.count();
    for (std::uint8_t i = 0; i < message.message.size; ++i) {
      char hex[4];
      std::snprintf(hex, sizeof hex, " %02X", message.message.bytes[i]);
      out << hex;
    }
    out << '\n';
  }
}

}  // namespace
}  // namespace brondel::platform
