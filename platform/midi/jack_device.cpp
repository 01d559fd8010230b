#include "platform/midi/jack_device.h"

#if defined(BRONDEL_HAVE_JACK)

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>

#include "platform/midi/jack_environment.h"

namespace brondel::platform {
namespace {

// How late the stream's thread may wake and still have its message reach the process callback
// before the message's frame comes round.
constexpr MidiMicros kWakeMargin(2000);
constexpr std::size_t kQueueEntries = 4096;
// The longest a close waits for queued messages to go out.
constexpr MidiMicros kMaxDrain(200'000);

// One message on its way to the process callback. A time of 0 means "at the next frame".
struct Entry {
  jack_time_t time = 0;
  std::uint32_t generation = 0;
  std::uint8_t size = 0;
  std::uint8_t bytes[3] = {};

  bool EndsANote() const {
    const int kind = bytes[0] & 0xF0;
    return kind == 0x80 || (kind == 0x90 && bytes[2] == 0);
  }
};

}  // namespace

struct JackMidiDevice::Client {
  jack_client_t* client = nullptr;
  jack_port_t* port = nullptr;
  jack_ringbuffer_t* queue = jack_ringbuffer_create(kQueueEntries * sizeof(Entry));
  std::atomic<std::uint32_t> generation{0};  // Silence moves it on, dropping older entries
  jack_time_t clockOffset = 0;               // JACK's time minus the stream clock's
  MidiMicros latency{0};
  MidiMicros period{0};
  jack_time_t lastTime = 0;  // the latest time a queued message is meant for

  Client() = default;
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  ~Client() {
    if (client != nullptr) jack_client_close(client);
    jack_ringbuffer_free(queue);
  }

  void Push(const MidiMessage& message, jack_time_t time) {
    if (jack_ringbuffer_write_space(queue) < sizeof(Entry)) return;
    Entry entry{time, generation.load(std::memory_order_relaxed), message.size, {}};
    std::copy_n(message.bytes.begin(), message.size, entry.bytes);
    jack_ringbuffer_write(queue, reinterpret_cast<const char*>(&entry), sizeof entry);
    lastTime = std::max(lastTime, time == 0 ? jack_get_time() : time);
  }

  // Lets the messages already queued reach the port before the client goes away.
  void Drain() const {
    const auto pending = static_cast<std::int64_t>(lastTime - jack_get_time());
    const MidiMicros wait = std::min(MidiMicros(std::max<std::int64_t>(pending, 0)), kMaxDrain);
    std::this_thread::sleep_for(wait + 2 * period);
  }

  // Frames from the start of this cycle to the entry's frame; negative when it is late. Entries
  // from before the last Silence go now if they end a note, and never otherwise.
  std::optional<std::int64_t> FrameOffset(const Entry& entry, jack_nframes_t cycleStart,
                                          std::uint32_t current) const {
    const bool silenced = static_cast<std::int32_t>(entry.generation - current) < 0;
    if (silenced && !entry.EndsANote()) return std::nullopt;
    if (silenced || entry.time == 0) return 0;
    return static_cast<std::int32_t>(jack_time_to_frames(client, entry.time) - cycleStart);
  }

  // Runs on JACK's real-time thread: writes every entry due in this cycle at its own frame.
  int Process(jack_nframes_t frames) {
    void* buffer = jack_port_get_buffer(port, frames);
    jack_midi_clear_buffer(buffer);
    const jack_nframes_t cycleStart = jack_last_frame_time(client);
    const std::uint32_t current = generation.load(std::memory_order_acquire);
    jack_nframes_t lastFrame = 0;  // events must be written in frame order
    Entry entry;
    while (jack_ringbuffer_read_space(queue) >= sizeof entry) {
      jack_ringbuffer_peek(queue, reinterpret_cast<char*>(&entry), sizeof entry);
      if (const auto offset = FrameOffset(entry, cycleStart, current)) {
        if (*offset >= frames) break;
        lastFrame =
            std::max(lastFrame, static_cast<jack_nframes_t>(std::max<std::int64_t>(*offset, 0)));
        jack_midi_event_write(buffer, lastFrame, entry.bytes, entry.size);
      }
      jack_ringbuffer_read_advance(queue, sizeof entry);
    }
    return 0;
  }

  MidiResult Start(const std::string& target) {
    client = jack_client_open("Brondel", JackNoStartServer, nullptr);
    if (client == nullptr) return kMidiNotEnabled;
    port = jack_port_register(client, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (port == nullptr) return kMidiNotEnabled;
    // Best effort: keeps the real-time thread from a page fault where memory locking is allowed.
    jack_ringbuffer_mlock(queue);
    jack_set_process_callback(
        client,
        [](jack_nframes_t frames, void* self) {
          return static_cast<Client*>(self)->Process(frames);
        },
        this);
    if (jack_activate(client) != 0 ||
        jack_connect(client, jack_port_name(port), target.c_str()) != 0) {
      return kMidiNotEnabled;
    }
    clockOffset = jack_get_time() - static_cast<jack_time_t>(SystemMidiClock().Now().count());
    const auto periodMicros = static_cast<MidiMicros::rep>(jack_get_buffer_size(client)) *
                              1'000'000 /
                              static_cast<MidiMicros::rep>(jack_get_sample_rate(client));
    period = MidiMicros(periodMicros);
    latency = period + kWakeMargin;
    return kMidiNoError;
  }
};

JackMidiDevice::JackMidiDevice(std::string portName) : portName_(std::move(portName)) {}

JackMidiDevice::~JackMidiDevice() = default;

MidiResult JackMidiDevice::Open() {
  PreventJackServerAutoStart();
  auto client = std::make_unique<Client>();
  if (const MidiResult result = client->Start(portName_)) return result;
  client_ = std::move(client);
  return kMidiNoError;
}

void JackMidiDevice::Send(const MidiMessage& message, MidiMicros due) {
  used_.Note(message);
  client_->Push(message,
                client_->clockOffset + static_cast<jack_time_t>((due + client_->latency).count()));
}

void JackMidiDevice::Silence(std::span<const MidiMessage> noteOffs) {
  client_->generation.fetch_add(1, std::memory_order_release);
  for (const MidiMessage& message : noteOffs) client_->Push(message, 0);
  for (const MidiMessage& message : used_.AllNotesOff()) client_->Push(message, 0);
}

MidiResult JackMidiDevice::Close() {
  client_->Drain();
  client_.reset();
  return kMidiNoError;
}

MidiMicros JackMidiDevice::Latency() const {
  return client_ ? client_->latency : MidiMicros(0);
}

}  // namespace brondel::platform

#endif
