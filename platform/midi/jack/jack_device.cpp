#include "platform/midi/jack/jack_device.h"

#if defined(BRONDEL_HAVE_JACK)

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "platform/midi/engine/timed_queue.h"
#include "platform/midi/jack/jack_client.h"
#include "platform/midi/system/library_messages.h"

namespace brondel::platform {
namespace {

// The queue's time (a frame otherwise) of a message that goes at the next frame.
constexpr std::int64_t kAtOnce = -1;

// JACK's frames as the stream's clock: microseconds at the server's nominal rate, counted from
// the client's start, so that due times turn into frames exactly. Once the server is gone, the
// system's clock carries on from where the frames stopped.
class JackFrameClock final : public IMidiClock {
 public:
  void Start(jack_client_t* client, std::int64_t rate) {
    std::lock_guard guard(mutex_);
    client_ = client;
    rate_ = rate;
    origin_ = last_ = jack_frame_time(client);
  }

  void ServerGone() {
    std::lock_guard guard(mutex_);
    if (!gone_) goneAt_ = {FramesLocked(), SystemMidiClock().Now()};
    gone_ = true;
  }

  /// The frame (wrapping, as JACK counts them) that `time` on this clock falls on.
  jack_nframes_t FrameAt(MidiMicros time) const {
    std::lock_guard guard(mutex_);
    return origin_ + static_cast<jack_nframes_t>((time.count() * rate_ + 500'000) / 1'000'000);
  }

  MidiMicros Now() const override {
    std::lock_guard guard(mutex_);
    if (gone_) return goneAt_.first + (SystemMidiClock().Now() - goneAt_.second);
    return FramesLocked();
  }

  std::unique_ptr<IMidiSleeper> MakeSleeper(std::condition_variable& wake, std::mutex&) override {
    return std::make_unique<Sleeper>(*this, wake);
  }

 private:
  // Sleeps on the system's clock for as long as the frames say is left: a server that runs
  // slower than the system's clock wakes it early, and it sleeps again for what is left.
  class Sleeper final : public IMidiSleeper {
   public:
    Sleeper(const JackFrameClock& clock, std::condition_variable& wake)
        : clock_(clock), wake_(wake) {}
    void Sleep(std::unique_lock<std::mutex>& lock, std::optional<MidiMicros> due) override {
      if (due) {
        wake_.wait_for(lock, *due - clock_.Now());
      } else {
        wake_.wait(lock);
      }
    }

   private:
    const JackFrameClock& clock_;
    std::condition_variable& wake_;
  };

  MidiMicros FramesLocked() const {
    // Frames are counted in 32 bits and wrap after a day at 48 kHz; the count here does not.
    const jack_nframes_t now = jack_frame_time(client_);
    const auto step = static_cast<std::int32_t>(now - last_);
    if (step > 0) {
      elapsed_ += step;
      last_ = now;
    }
    return MidiMicros(elapsed_ * 1'000'000 / rate_);
  }

  mutable std::mutex mutex_;  // guards every member below
  jack_client_t* client_ = nullptr;
  std::int64_t rate_ = 1;
  jack_nframes_t origin_ = 0;
  mutable jack_nframes_t last_ = 0;
  mutable std::int64_t elapsed_ = 0;
  bool gone_ = false;
  std::pair<MidiMicros, MidiMicros> goneAt_;  // the frame clock's time then, and the system's
};

}  // namespace

struct JackMidiDevice::Client {
  const JackDeviceOptions& options;
  jack_client_t* client = nullptr;
  jack_port_t* port = nullptr;
  TimedMessageQueue queue{options.queueBlock};  // wrapped frames, or kAtOnce
  JackFrameClock clock;
  MidiMicros latency{0};  // added to every due time: a period, plus room to wake late
  MidiMicros period{0};
  MidiMicros lastDue{0};  // the latest time a queued message is meant for (producer's)
  std::atomic<std::uint64_t> lost{0};
  std::atomic<bool> serverGone{false};

  explicit Client(const JackDeviceOptions& clientOptions) : options(clientOptions) {}
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  ~Client() {
    if (client != nullptr) jack_client_close(client);
  }

  void Push(const MidiMessage& message, MidiMicros due) {
    queue.Push(message, static_cast<std::int64_t>(clock.FrameAt(due)));
    lastDue = std::max(lastDue, due);
  }

  // Lets the queued messages reach the port before the client goes away: waits as long as they
  // go out, and at most the longest drain once none does (the server gone, or a port that no
  // longer takes them).
  void Drain() const {
    std::uint64_t pending = queue.Pending();
    auto stalledSince = std::chrono::steady_clock::now();
    while (pending > 0 && !serverGone.load()) {
      std::this_thread::sleep_for(period);
      const std::uint64_t left = queue.Pending();
      if (left < pending || clock.Now() < lastDue) stalledSince = std::chrono::steady_clock::now();
      pending = left;
      if (std::chrono::steady_clock::now() - stalledSince > options.maxDrain) break;
    }
  }

  // Counts what is left once the process thread has ended: every message it would have sent.
  void CountLeftOver() {
    bool atOnce = false;
    while (queue.FrontToPlay(atOnce) != nullptr) {
      ++lost;
      queue.Pop();
    }
  }

  // Frames from the start of this cycle to the entry's frame; negative when it is late.
  static std::int64_t FrameOffset(const TimedMessageQueue::Entry& entry, bool atOnce,
                                  jack_nframes_t cycleStart) {
    if (atOnce || entry.time == kAtOnce) return 0;
    return static_cast<std::int32_t>(static_cast<jack_nframes_t>(entry.time) - cycleStart);
  }

  // Runs on JACK's real-time thread: writes the entries due in this cycle at their own frames,
  // in order, as many as the period carries; the rest wait for the next cycle.
  int Process(jack_nframes_t frames) {
    void* buffer = jack_port_get_buffer(port, frames);
    jack_midi_clear_buffer(buffer);
    const jack_nframes_t cycleStart = jack_last_frame_time(client);
    jack_nframes_t lastFrame = 0;  // events must be written in frame order
    std::size_t written = 0;
    bool atOnce = false;
    while (written < options.eventsPerPeriod) {
      const TimedMessageQueue::Entry* entry = queue.FrontToPlay(atOnce);
      if (entry == nullptr) break;
      const std::int64_t offset = FrameOffset(*entry, atOnce, cycleStart);
      if (offset >= frames) break;
      lastFrame =
          std::max(lastFrame, static_cast<jack_nframes_t>(std::max<std::int64_t>(offset, 0)));
      if (jack_midi_event_write(buffer, lastFrame, entry->message.bytes.data(),
                                entry->message.size) != 0) {
        // The port's buffer is full: the entry waits for the next period. A buffer that cannot
        // take even one message never will, and would hold everything up.
        if (written > 0) break;
        ++lost;
      }
      ++written;
      queue.Pop();
    }
    return 0;
  }

  // Starts the client and connects its port to `target`; a failure says why in `failure`.
  MidiResult Start(const std::string& target, std::string& failure) {
    // libjack explains a failed connection at length too; the result says it in one line.
    const LibraryMessagesExpected expected;
    const TJackClientSetup setup{options.clientName,
                                 options.portName,
                                 JackPortIsOutput,
                                 [](jack_nframes_t frames, void* self) {
                                   return static_cast<Client*>(self)->Process(frames);
                                 },
                                 [](void* self) {
                                   static_cast<Client*>(self)->serverGone.store(true);
                                   static_cast<Client*>(self)->clock.ServerGone();
                                 },
                                 this};
    if (const MidiResult started = StartJackClient(setup, client, port, failure);
        started != kMidiNoError) {
      return started;
    }
    if (jack_connect(client, jack_port_name(port), target.c_str()) != 0) {
      failure = "JACK could not connect to " + target;
      return kMidiNotEnabled;
    }
    const auto rate = static_cast<std::int64_t>(jack_get_sample_rate(client));
    clock.Start(client, rate);
    period =
        MidiMicros(static_cast<MidiMicros::rep>(jack_get_buffer_size(client)) * 1'000'000 / rate);
    latency = period + options.wakeMargin;
    return kMidiNoError;
  }
};

std::string JackOpenFailure(unsigned status) {
  const char* server = std::getenv("JACK_DEFAULT_SERVER");
  const std::string name = "JACK server \"" + std::string(server ? server : "default") + "\"";
  std::string what;
  if (status & JackVersionError) {
    what = name + " speaks another protocol version";
  } else if (status & JackServerFailed) {
    what = name + " is not running";
  } else if (status & JackServerError) {
    what = name + " refused the client";
  } else if (status & JackNameNotUnique) {
    what = name + " has a client of this name";
  } else if (status & JackShmFailure) {
    what = name + ": shared memory failed";
  } else {
    what = name + " could not open a client";
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned rest = status; rest != 0 || hex.empty(); rest >>= 4)
    hex.insert(hex.begin(), kDigits[rest & 0xF]);
  return what + " (status 0x" + hex + ")";
}

std::vector<std::string> JackMidiInputPorts() {
  std::vector<std::string> names;
  jack_client_t* client =
      jack_client_open(JackDeviceOptions().clientName.c_str(), JackNoStartServer, nullptr);
  if (client == nullptr) return names;
  if (const char** ports =
          jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
    for (const char** port = ports; *port != nullptr; ++port) names.emplace_back(*port);
    jack_free(ports);
  }
  jack_client_close(client);
  return names;
}

JackMidiDevice::JackMidiDevice(std::string target, JackDeviceOptions options)
    : target_(std::move(target)), options_(std::move(options)) {}

JackMidiDevice::~JackMidiDevice() = default;

MidiResult JackMidiDevice::Open() {
  auto client = std::make_unique<Client>(options_);
  failure_.clear();
  if (const MidiResult result = client->Start(target_, failure_)) return result;
  client_ = std::move(client);
  return kMidiNoError;
}

void JackMidiDevice::Send(const MidiMessage& message, MidiMicros due) {
  client_->Push(message, due + client_->latency);
}

void JackMidiDevice::Silence(std::span<const MidiMessage> endings) {
  client_->queue.MarkStale();
  for (const MidiMessage& message : endings) client_->queue.Push(message, kAtOnce);
}

void JackMidiDevice::Retract() {
  client_->queue.MarkStale();
}

IMidiClock& JackMidiDevice::Clock() {
  return client_->clock;
}

MidiResult JackMidiDevice::Close() {
  client_->Drain();
  jack_client_close(client_->client);
  client_->client = nullptr;
  client_->CountLeftOver();
  const bool lost = client_->lost.load() > 0;
  client_.reset();
  return lost ? kMidiMessagesLost : kMidiNoError;
}

MidiMicros JackMidiDevice::OutputLatency() const {
  return client_ ? client_->latency : MidiMicros{0};
}

}  // namespace brondel::platform

#endif
