#include "platform/midi/jack/jack_device.h"

#if defined(BRONDEL_HAVE_JACK)

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>

#include "platform/midi/engine/timed_queue.h"
#include "platform/midi/jack/jack_environment.h"

namespace brondel::platform {
namespace {

// The time of a message that goes at the next frame.
constexpr std::int64_t kAtOnce = 0;

bool EndsANote(const MidiMessage& message) {
  const int kind = message.bytes[0] & 0xF0;
  return kind == 0x80 || (kind == 0x90 && message.bytes[2] == 0);
}

}  // namespace

struct JackMidiDevice::Client {
  const JackDeviceOptions& options;
  jack_client_t* client = nullptr;
  jack_port_t* port = nullptr;
  TimedMessageQueue queue{options.queueEntries};  // times in JACK's microseconds, or kAtOnce
  std::int64_t clockOffset = 0;                   // JACK's time minus the stream clock's
  MidiMicros latency{0};  // added to every due time: a period, plus room to wake late
  MidiMicros period{0};
  std::int64_t lastTime = 0;  // the latest time a queued message is meant for

  explicit Client(const JackDeviceOptions& clientOptions) : options(clientOptions) {}
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  ~Client() {
    if (client != nullptr) jack_client_close(client);
  }

  static std::int64_t JackNow() { return static_cast<std::int64_t>(jack_get_time()); }

  void Push(const MidiMessage& message, std::int64_t time) {
    if (queue.Push(message, time))
      lastTime = std::max(lastTime, time == kAtOnce ? JackNow() : time);
  }

  // Lets the messages already queued reach the port before the client goes away.
  void Drain() const {
    const MidiMicros pending(
        std::clamp(lastTime - JackNow(), std::int64_t{0}, options.maxDrain.count()));
    std::this_thread::sleep_for(pending + 2 * period);
  }

  // Frames from the start of this cycle to the entry's frame; negative when it is late. Entries
  // from before the last Silence go at once if they end a note, and never otherwise.
  std::optional<std::int64_t> FrameOffset(const TimedMessageQueue::Entry& entry,
                                          jack_nframes_t cycleStart) const {
    const bool silenced = queue.IsStale(entry);
    if (silenced && !EndsANote(entry.message)) return std::nullopt;
    if (silenced || entry.time == kAtOnce) return 0;
    const auto frame = jack_time_to_frames(client, static_cast<jack_time_t>(entry.time));
    return static_cast<std::int32_t>(frame - cycleStart);
  }

  // Runs on JACK's real-time thread: writes every entry due in this cycle at its own frame.
  int Process(jack_nframes_t frames) {
    void* buffer = jack_port_get_buffer(port, frames);
    jack_midi_clear_buffer(buffer);
    const jack_nframes_t cycleStart = jack_last_frame_time(client);
    jack_nframes_t lastFrame = 0;  // events must be written in frame order
    while (const TimedMessageQueue::Entry* entry = queue.Front()) {
      if (const auto offset = FrameOffset(*entry, cycleStart)) {
        if (*offset >= frames) break;
        lastFrame =
            std::max(lastFrame, static_cast<jack_nframes_t>(std::max<std::int64_t>(*offset, 0)));
        jack_midi_event_write(buffer, lastFrame, entry->message.bytes.data(), entry->message.size);
      }
      queue.Pop();
    }
    return 0;
  }

  MidiResult Start(const std::string& target) {
    client = jack_client_open(options.clientName.c_str(), JackNoStartServer, nullptr);
    if (client == nullptr) return kMidiNotEnabled;
    port = jack_port_register(client, options.portName.c_str(), JACK_DEFAULT_MIDI_TYPE,
                              JackPortIsOutput, 0);
    if (port == nullptr) return kMidiNotEnabled;
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
    clockOffset = JackNow() - SystemMidiClock().Now().count();
    const auto periodMicros = static_cast<MidiMicros::rep>(jack_get_buffer_size(client)) *
                              1'000'000 /
                              static_cast<MidiMicros::rep>(jack_get_sample_rate(client));
    period = MidiMicros(periodMicros);
    latency = period + options.wakeMargin;
    return kMidiNoError;
  }
};

JackMidiDevice::JackMidiDevice(std::string target, JackDeviceOptions options)
    : target_(std::move(target)), options_(std::move(options)) {}

JackMidiDevice::~JackMidiDevice() = default;

MidiResult JackMidiDevice::Open() {
  PreventJackServerAutoStart();
  auto client = std::make_unique<Client>(options_);
  if (const MidiResult result = client->Start(target_)) return result;
  client_ = std::move(client);
  return kMidiNoError;
}

void JackMidiDevice::Send(const MidiMessage& message, MidiMicros due) {
  used_.Note(message);
  client_->Push(message, client_->clockOffset + (due + client_->latency).count());
}

void JackMidiDevice::Silence(std::span<const MidiMessage> noteOffs) {
  client_->queue.MarkStale();
  for (const MidiMessage& message : noteOffs) client_->Push(message, kAtOnce);
  for (const MidiMessage& message : used_.AllNotesOff()) client_->Push(message, kAtOnce);
}

MidiResult JackMidiDevice::Close() {
  client_->Drain();
  client_.reset();
  return kMidiNoError;
}

}  // namespace brondel::platform

#endif
