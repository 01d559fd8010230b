#include "platform/midi/jack/jack_input.h"

#include "platform/midi/jack/jack_client.h"

namespace brondel::platform {

std::string JackInputGoneReason(const std::string& source, const TJackSourceWatch& watch,
                                bool& disconnectedBefore) {
  if (watch.serverGone) return "the JACK server has stopped";
  if (!watch.sourcePresent) return source + " has gone";
  if (watch.connected) {
    disconnectedBefore = false;
    return {};
  }
  if (!disconnectedBefore) {
    disconnectedBefore = true;
    return {};
  }
  return source + " is no longer connected";
}

}  // namespace brondel::platform

#if defined(BRONDEL_HAVE_JACK)

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <optional>

#include "platform/midi/system/library_messages.h"

namespace brondel::platform {

struct JackMidiInputDevice::Client {
  jack_client_t* client = nullptr;
  jack_port_t* port = nullptr;
  TInputQueue* queue = nullptr;
  std::atomic<bool> serverGone{false};

  Client() = default;
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  ~Client() {
    if (client != nullptr) jack_client_close(client);
  }

  // Runs on JACK's real-time thread: every event of the period that an input passes on goes on
  // the queue with its frame's time; a full queue counts it as dropped.
  int Process(jack_nframes_t frames) {
    void* buffer = jack_port_get_buffer(port, frames);
    const jack_nframes_t cycleStart = jack_last_frame_time(client);
    const std::uint32_t count = jack_midi_get_event_count(buffer);
    for (std::uint32_t i = 0; i < count; ++i) {
      jack_midi_event_t event;
      if (jack_midi_event_get(&event, buffer, i) != 0) continue;
      if (!PassedOnInput(event.buffer, event.size)) continue;
      const jack_time_t time = jack_frames_to_time(client, cycleStart + event.time);
      queue->Push(InputMessage(event.buffer, event.size), static_cast<std::int64_t>(time));
    }
    return 0;
  }

  MidiResult Start(const JackInputOptions& options, const std::string& source,
                   std::string& failure) {
    const LibraryMessagesExpected expected;  // the result says what failed, in one line
    const TJackClientSetup setup{
        options.clientName,
        options.portName,
        JackPortIsInput,
        [](jack_nframes_t frames, void* self) {
          return static_cast<Client*>(self)->Process(frames);
        },
        [](void* self) { static_cast<Client*>(self)->serverGone.store(true); },
        this};
    if (const MidiResult started = StartJackClient(setup, client, port, failure);
        started != kMidiNoError) {
      return started;
    }
    if (jack_connect(client, source.c_str(), jack_port_name(port)) != 0) {
      failure = "JACK could not connect from " + source;
      return kMidiNotEnabled;
    }
    return kMidiNoError;
  }
};

bool IsOwnJackPort(const std::string& port, const std::string& clientName) {
  if (port.compare(0, clientName.size(), clientName) != 0) return false;
  const std::size_t after = clientName.size();
  return after < port.size() && (port[after] == ':' || port[after] == '-');
}

std::vector<std::string> JackMidiSourcePorts() {
  std::vector<std::string> names;
  jack_client_t* client =
      jack_client_open(JackInputOptions().clientName.c_str(), JackNoStartServer, nullptr);
  if (client == nullptr) return names;
  if (const char** ports =
          jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput)) {
    for (const char** port = ports; *port != nullptr; ++port) {
      if (!IsOwnJackPort(*port)) names.emplace_back(*port);
    }
    jack_free(ports);
  }
  jack_client_close(client);
  return names;
}

JackMidiInputDevice::JackMidiInputDevice(std::string source, JackInputOptions options)
    : source_(std::move(source)), options_(std::move(options)) {}

JackMidiInputDevice::~JackMidiInputDevice() = default;

MidiResult JackMidiInputDevice::Open(TInputQueue& queue) {
  auto client = std::make_unique<Client>();
  client->queue = &queue;
  failure_.clear();
  disconnectedBefore_ = false;
  if (const MidiResult result = client->Start(options_, source_, failure_)) return result;
  client_ = std::move(client);
  return kMidiNoError;
}

std::string JackMidiInputDevice::Gone() {
  TJackSourceWatch watch;
  watch.serverGone = client_->serverGone.load();
  if (!watch.serverGone) {
    watch.sourcePresent = jack_port_by_name(client_->client, source_.c_str()) != nullptr;
    watch.connected = jack_port_connected(client_->port) != 0;
  }
  return JackInputGoneReason(source_, watch, disconnectedBefore_);
}

std::chrono::steady_clock::time_point JackMidiInputDevice::TimeOf(std::int64_t time) const {
  // libjack's clock and the steady clock both count the monotonic clock, from other origins.
  const auto age = std::chrono::microseconds(
      client_->serverGone.load() ? 0 : static_cast<std::int64_t>(jack_get_time()) - time);
  return std::chrono::steady_clock::now() - age;
}

void JackMidiInputDevice::Close() {
  // With the server gone libjack explains at length why it cannot say goodbye to it; the input
  // has reported the server's going already.
  const std::optional<LibraryMessagesExpected> expected =
      client_->serverGone.load() ? std::make_optional<LibraryMessagesExpected>() : std::nullopt;
  client_.reset();  // closing the client ends its process thread
}

}  // namespace brondel::platform

#endif
