// The end-to-end scripts' MIDI keyboard: a JACK client "keys" with one MIDI output port, "out",
// that plays a fixed phrase once its port is connected (the left hand's C, Am, F and G7 with a
// melody above them, a program change and a section key), each message at its own frame, and
// prints what it sent with the absolute frame it went at, in the order it went:
//   "28965 90 30 64"
// then ends, so that its port goes away. Some messages share a frame and some a period; the
// gaps between the others vary.
#include <jack/jack.h>
#include <jack/midiport.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

struct TKey {
  jack_nframes_t after = 0;  // frames after the message before
  std::array<std::uint8_t, 3> bytes{};
  std::uint8_t size = 3;
};

// C, Am, F, G7 with the left hand (at or below F#3), a melody note over each, a program change
// (Var2) and the release of everything.
const std::vector<TKey> kPhrase = {
    {0, {0x90, 48, 90}},     {0, {0x90, 52, 90}},    {3, {0x90, 55, 90}},
    {4800, {0x90, 72, 100}}, {9000, {0x80, 72, 0}},  {200, {0x80, 48, 0}},
    {0, {0x80, 52, 0}},      {0, {0x80, 55, 0}},     {50, {0x90, 45, 80}},
    {7, {0x90, 48, 80}},     {11, {0x90, 52, 80}},   {12000, {0x90, 76, 100}},
    {256, {0x80, 76, 0}},    {1, {0xC0, 2, 0}, 2},   {3000, {0x80, 45, 0}},
    {0, {0x80, 48, 0}},      {0, {0x80, 52, 0}},     {700, {0x90, 53, 70}},
    {255, {0x90, 45, 70}},   {257, {0x90, 48, 70}},  {24000, {0x90, 81, 110}},
    {24000, {0x80, 81, 0}},  {1, {0x80, 53, 0}},     {1, {0x80, 45, 0}},
    {1, {0x80, 48, 0}},      {5000, {0x90, 43, 90}}, {0, {0x90, 47, 90}},
    {0, {0x90, 50, 90}},     {0, {0x90, 53, 90}},    {2400, {0x90, 79, 100}},
    {2400, {0x80, 79, 0}},   {100, {0x80, 43, 0}},   {100, {0x80, 47, 0}},
    {100, {0x80, 50, 0}},    {100, {0x80, 53, 0}},
};

jack_client_t* gClient = nullptr;
jack_port_t* gPort = nullptr;
std::atomic<bool> gArmed{false};
std::atomic<jack_nframes_t> gStart{0};  // the first message's frame, set before arming
std::vector<jack_nframes_t> gSent(kPhrase.size());
std::atomic<std::size_t> gNext{0};
jack_nframes_t gDue = 0;  // the next message's frame (process thread only)

// Real-time thread: writes each message of the phrase at its frame.
int Process(jack_nframes_t frames, void*) {
  void* buffer = jack_port_get_buffer(gPort, frames);
  jack_midi_clear_buffer(buffer);
  if (!gArmed.load(std::memory_order_acquire)) return 0;
  const jack_nframes_t cycle = jack_last_frame_time(gClient);
  std::size_t next = gNext.load(std::memory_order_relaxed);
  if (next == 0 && gDue == 0) gDue = gStart.load();
  while (next < kPhrase.size()) {
    const auto offset = static_cast<std::int32_t>(gDue - cycle);
    if (offset >= static_cast<std::int32_t>(frames)) break;
    const jack_nframes_t at = offset < 0 ? 0 : static_cast<jack_nframes_t>(offset);
    const TKey& key = kPhrase[next];
    if (jack_midi_event_write(buffer, at, key.bytes.data(), key.size) != 0) break;
    gSent[next] = cycle + at;
    ++next;
    if (next < kPhrase.size()) gDue += kPhrase[next].after;
  }
  gNext.store(next, std::memory_order_release);
  return 0;
}

}  // namespace

int main() {
  gClient = jack_client_open("keys", JackNoStartServer, nullptr);
  if (gClient == nullptr) {
    std::fprintf(stderr, "midi_keys: no JACK server\n");
    return 1;
  }
  gPort = jack_port_register(gClient, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  if (gPort == nullptr || jack_set_process_callback(gClient, Process, nullptr) != 0 ||
      jack_activate(gClient) != 0) {
    std::fprintf(stderr, "midi_keys: the port could not be set up\n");
    return 1;
  }
  using namespace std::chrono_literals;
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (jack_port_connected(gPort) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      std::fprintf(stderr, "midi_keys: nobody connected to keys:out\n");
      return 1;
    }
    std::this_thread::sleep_for(10ms);
  }
  // A tenth of a second ahead, so that the first message lands at its own frame.
  gStart.store(jack_frame_time(gClient) + jack_get_sample_rate(gClient) / 10);
  gArmed.store(true, std::memory_order_release);
  while (gNext.load(std::memory_order_acquire) < kPhrase.size()) std::this_thread::sleep_for(5ms);
  std::this_thread::sleep_for(300ms);  // the last period reaches the receiver
  jack_deactivate(gClient);
  jack_client_close(gClient);
  for (std::size_t i = 0; i < kPhrase.size(); ++i) {
    std::printf("%u", static_cast<unsigned>(gSent[i]));
    for (std::uint8_t b = 0; b < kPhrase[i].size; ++b) std::printf(" %02X", kPhrase[i].bytes[b]);
    std::printf("\n");
  }
  return 0;
}
