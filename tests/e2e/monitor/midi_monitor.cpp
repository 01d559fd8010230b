// The end-to-end scripts' MIDI receiver: a JACK client "midi-monitor" with one MIDI input port,
// "input", that keeps every event it receives with its absolute frame time and prints them all,
// in the order they came, when it is ended (SIGTERM or SIGINT):
//   "  28965: 99 24 64"
// the lines jack_midi_dump -a writes. jack_midi_dump hands events to its printing thread through
// a ring of 99 events and drops what does not fit when that thread is slow, as on a loaded
// machine; this monitor stores into room reserved up front from the process callback itself, so
// it loses nothing the port delivered. Should that room ever run out it says so on standard
// error, which the scripts treat as a failure.
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

struct TEvent {
  jack_nframes_t frame = 0;
  std::uint8_t size = 0;
  std::array<std::uint8_t, 3> bytes{};
};

constexpr std::size_t kRoom = 1 << 20;

std::vector<TEvent> gEvents(kRoom);
std::atomic<std::size_t> gCount{0};
std::atomic<bool> gOverflow{false};
jack_port_t* gPort = nullptr;
volatile std::sig_atomic_t gEnd = 0;

extern "C" void OnSignal(int) {
  gEnd = 1;
}

// Real-time thread: copies the period's events; nothing here waits or allocates.
int Process(jack_nframes_t frames, void* client) {
  void* buffer = jack_port_get_buffer(gPort, frames);
  const jack_nframes_t start = jack_last_frame_time(static_cast<jack_client_t*>(client));
  const std::uint32_t count = jack_midi_get_event_count(buffer);
  std::size_t stored = gCount.load(std::memory_order_relaxed);
  for (std::uint32_t i = 0; i < count; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, buffer, i) != 0) continue;
    if (stored == kRoom) {
      gOverflow.store(true, std::memory_order_relaxed);
      break;
    }
    TEvent& kept = gEvents[stored++];
    kept.frame = start + event.time;
    kept.size = static_cast<std::uint8_t>(std::min<std::size_t>(event.size, kept.bytes.size()));
    std::copy_n(event.buffer, kept.size, kept.bytes.begin());
  }
  gCount.store(stored, std::memory_order_release);
  return 0;
}

}  // namespace

int main() {
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);
  jack_client_t* client = jack_client_open("midi-monitor", JackNoStartServer, nullptr);
  if (client == nullptr) {
    std::fprintf(stderr, "midi_monitor: no JACK server\n");
    return 1;
  }
  gPort = jack_port_register(client, "input", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  if (gPort == nullptr || jack_set_process_callback(client, Process, client) != 0 ||
      jack_activate(client) != 0) {
    std::fprintf(stderr, "midi_monitor: the port could not be set up\n");
    return 1;
  }
  while (gEnd == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  jack_deactivate(client);
  jack_client_close(client);

  const std::size_t count = gCount.load(std::memory_order_acquire);
  for (std::size_t i = 0; i < count; ++i) {
    const TEvent& event = gEvents[i];
    std::printf("  %u:", static_cast<unsigned>(event.frame));
    for (std::uint8_t b = 0; b < event.size; ++b) std::printf(" %02x", event.bytes[b]);
    std::printf("\n");
  }
  if (gOverflow.load()) std::fprintf(stderr, "midi_monitor: more events than room for them\n");
  return 0;
}
