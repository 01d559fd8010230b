// The end-to-end check of MIDI input over JACK, run by tests/e2e/jack_input.sh: that script
// starts a JACK server with the dummy driver and our keyboard client "keys" (tests/e2e/keys),
// then runs this case with the server's name in BRONDEL_E2E_JACK_SERVER and a file name in
// BRONDEL_E2E_RECEIVED. It finds "keys:out" in the system's input list, opens it (our client
// connects to it, and the keyboard plays, then ends), waits for the keyboard's going away to be
// reported, checks it is reported once, and writes every message received with its time in
// microseconds since the first, one per line ("20833 90 30 5A"), for the script to compare with
// what was sent and when. The second case, given the server's process id in
// BRONDEL_E2E_JACKD_PID, listens to the keyboard started again, stops the server once a message
// has come, and checks that the server's going is reported once and the input closes. Without
// those variables they are skipped.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/midi_input.h"

namespace brondel::platform {
namespace {

using namespace std::chrono_literals;

const char* const kServer = std::getenv("BRONDEL_E2E_JACK_SERVER");
const char* const kReceivedPath = std::getenv("BRONDEL_E2E_RECEIVED");
const char* const kServerPid = std::getenv("BRONDEL_E2E_JACKD_PID");

// The system's input list once it has `name` (the keyboard may still be starting), and where.
std::optional<std::uint32_t> FindInput(IMidiInputService& service, const std::string& name) {
  for (int tries = 0; tries < 100; ++tries) {
    const std::vector<std::string> names = service.InputDeviceNames();
    const auto found = std::find(names.begin(), names.end(), name);
    if (found != names.end()) return static_cast<std::uint32_t>(found - names.begin());
    std::this_thread::sleep_for(100ms);
  }
  return std::nullopt;
}

// What an input's callbacks were given.
struct TReceived {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<TInputMessage> messages;
  std::vector<std::string> lost;

  TInputCallbacks Callbacks() {
    return {[this](const TInputMessage& message) {
              const std::lock_guard lock(mutex);
              messages.push_back(message);
              changed.notify_all();
            },
            [this](const std::string& reason) {
              const std::lock_guard lock(mutex);
              lost.push_back(reason);
              changed.notify_all();
            }};
  }
  bool WaitFor(std::chrono::seconds limit, const std::function<bool()>& done) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, limit, done);
  }
};

// Opens "keys:out" once the system lists it, with `got`'s callbacks, into `handle`.
void OpenKeys(IMidiInputService& service, TReceived& got, MidiInputHandle& handle) {
  const std::optional<std::uint32_t> keys = FindInput(service, "keys:out");
  ASSERT_TRUE(keys) << "keys:out is not listed on server " << kServer;
  ASSERT_EQ(service.OpenInput(*keys, got.Callbacks(), &handle), kMidiNoError)
      << service.ErrorText(kMidiNotEnabled);
}

TEST(JackInputEndToEnd, TheKeyboardsMessagesArriveInOrderWithTheirTimesAndItsGoingIsReported) {
  if (kServer == nullptr || kReceivedPath == nullptr) {
    GTEST_SKIP() << "run by tests/e2e/jack_input.sh, which starts the JACK server";
  }
  const auto service = MakeSystemMidiInputService();
  TReceived got;
  MidiInputHandle handle = 0;
  ASSERT_NO_FATAL_FAILURE(OpenKeys(*service, got, handle));
  // The keyboard ends once it has played: its port goes, and the input says so once.
  EXPECT_TRUE(got.WaitFor(60s, [&] { return !got.lost.empty(); }));
  std::this_thread::sleep_for(600ms);  // a second report would come within two watches
  EXPECT_EQ(service->CloseInput(handle), kMidiNoError);
  EXPECT_EQ(got.lost, (std::vector<std::string>{"keys:out has gone"}));
  const std::vector<TInputMessage>& received = got.messages;
  ASSERT_FALSE(received.empty());

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

TEST(JackInputEndToEnd, TheServerStoppingIsReportedOnceAndTheInputStillCloses) {
  if (kServer == nullptr || kServerPid == nullptr) {
    GTEST_SKIP() << "run by tests/e2e/jack_input.sh, which starts the JACK server";
  }
  const auto service = MakeSystemMidiInputService();
  TReceived got;
  MidiInputHandle handle = 0;
  ASSERT_NO_FATAL_FAILURE(OpenKeys(*service, got, handle));
  ASSERT_TRUE(got.WaitFor(30s, [&] { return !got.messages.empty(); }));
  ASSERT_EQ(::kill(static_cast<pid_t>(std::stol(kServerPid)), SIGTERM), 0);
  EXPECT_TRUE(got.WaitFor(30s, [&] { return !got.lost.empty(); }));
  std::this_thread::sleep_for(600ms);
  EXPECT_EQ(got.lost, (std::vector<std::string>{"the JACK server has stopped"}));
  EXPECT_EQ(service->CloseInput(handle), kMidiNoError);
}

}  // namespace
}  // namespace brondel::platform
