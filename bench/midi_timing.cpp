// Timing of the MIDI stream engine, measured (not a Google Benchmark; ctest does not run it).
//
// For a 10-second rhythm-like buffer (T = 96 ticks per quarter, 500,000 / 96 us per tick) it
// reports, for each path, the error of every message's arrival time against its tick time
// (median, 99th percentile and worst, after removing the path's constant latency, which is
// reported apart), the processor time the whole process used while the buffer played (the
// listening client included; its own share is reported at the end), and the time from Stop to
// the last note ended on the wire. Paths:
//   recorder     the recording device on the system's steady clock (the engine alone);
//   jack         the JACK MIDI device, received by a libjack client of this program, in frames;
//   synth        the built-in synthesizer on JACK's audio: when each message was handed to it;
//   live         a live play's chord change to the first re-pitched note on the wire (JACK);
//   synth-audio  the onset of each hit in its audio, read sample by sample by the same client
//                (FluidSynth's finest step is one block of 64 samples), and Stop to the last
//                sound.
//
// Run it with a JACK server, most simply through the script next to it, which starts a private
// server with the dummy driver (no sound card needed):
//   bash bench/midi_timing.sh build-dir
// or by hand: JACK_NO_START_SERVER=1 JACK_DEFAULT_SERVER=name build-dir/bench/midi_timing
// Without a server only the recorder path is measured.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "chords/chord.h"
#include "document/rhythm_loader.h"
#include "platform/midi/testing/midi_testing.h"
#include "platform/midi_messages.h"
#include "playback/playback.h"
#include "tests/support/held_chord_rhythm.h"

#if defined(BRONDEL_HAVE_JACK)
#include <jack/jack.h>
#include <jack/midiport.h>
#endif

using namespace brondel::platform;
using namespace std::chrono_literals;

namespace {

constexpr std::uint32_t kDivision = 96;

struct TimedMessage {
  std::uint64_t tick;
  MidiMessage message;
};

// A 10-second groove: sixteenth-note drums, a bass note every beat, a three-note chord every
// half bar, each note ended some ticks later; then the stream-event buffer of it.
std::vector<TimedMessage> Groove(std::uint64_t lengthTicks) {
  std::vector<TimedMessage> events;
  const auto note = [&events](std::uint64_t tick, std::uint8_t channel, std::uint8_t key,
                              std::uint64_t length) {
    events.push_back({tick, {{static_cast<std::uint8_t>(0x90 | channel), key, 100}, 3}});
    events.push_back({tick + length, {{static_cast<std::uint8_t>(0x80 | channel), key, 0}, 3}});
  };
  for (std::uint64_t tick = 0; tick + 96 <= lengthTicks; tick += 24) {
    note(tick, 9, tick % 96 == 0 ? 36 : 42, 6);
    if (tick % 96 == 0) note(tick, 10, static_cast<std::uint8_t>(36 + tick / 96 % 5), 80);
    if (tick % 192 == 0) {
      for (std::uint8_t voice = 0; voice < 3; ++voice) {
        note(tick, static_cast<std::uint8_t>(11 + voice), static_cast<std::uint8_t>(60 + 4 * voice),
             170);
      }
    }
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const TimedMessage& a, const TimedMessage& b) { return a.tick < b.tick; });
  return events;
}

// Wood-block hits at uneven spacings, far enough apart for each onset to stand out in audio.
std::vector<TimedMessage> Hits(int count) {
  std::vector<TimedMessage> events;
  const std::uint64_t gaps[] = {29, 37, 41, 53, 31, 47};
  std::uint64_t tick = 0;
  for (int i = 0; i < count; ++i) {
    events.push_back({tick, {{0x99, 76, 127}, 3}});
    events.push_back({tick + 4, {{0x89, 76, 0}, 3}});
    tick += gaps[i % 6];
  }
  return events;
}

// An organ chord held for five seconds: it sounds until it is stopped.
std::vector<TimedMessage> HeldChord() {
  std::vector<TimedMessage> events = {{0, {{0xC0, 19, 0}, 2}}};
  const std::uint8_t keys[] = {60, 64, 67};
  for (std::uint8_t key : keys) events.push_back({0, {{0x90, key, 100}, 3}});
  for (std::uint8_t key : keys) events.push_back({960, {{0x80, key, 0}, 3}});
  return events;
}

std::vector<std::uint8_t> ToBuffer(const std::vector<TimedMessage>& events) {
  std::vector<std::uint8_t> bytes;
  std::uint64_t previous = 0;
  for (const TimedMessage& event : events) {
    const std::uint32_t words[] = {
        static_cast<std::uint32_t>(event.tick - previous), 0,
        static_cast<std::uint32_t>(event.message.bytes[0] | event.message.bytes[1] << 8 |
                                   event.message.bytes[2] << 16)};
    for (std::uint32_t word : words) {
      for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>(word >> shift));
      }
    }
    previous = event.tick;
  }
  return bytes;
}

double TickMicros(std::uint64_t tick) {
  return static_cast<double>(tick) * 500'000.0 / kDivision;
}

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  return values[index];
}

// Arrival times against tick times: the constant part (the median difference) is the path's
// latency; what is left over is the timing error.
void ReportTiming(const char* path, const std::vector<double>& arrivals,
                  const std::vector<double>& expected) {
  if (arrivals.size() != expected.size() || arrivals.empty()) {
    std::printf("%-8s timing: %zu messages arrived, %zu expected\n", path, arrivals.size(),
                expected.size());
    return;
  }
  std::vector<double> differences;
  for (std::size_t i = 0; i < arrivals.size(); ++i)
    differences.push_back(arrivals[i] - expected[i]);
  const double latency = Percentile(differences, 0.5);
  std::vector<double> errors;
  for (double difference : differences) errors.push_back(std::fabs(difference - latency));
  std::printf(
      "%-8s timing error over %zu messages: median %.0f us, 99th percentile %.0f us, worst %.0f "
      "us (latency %.0f us)\n",
      path, errors.size(), Percentile(errors, 0.5), Percentile(errors, 0.99),
      *std::max_element(errors.begin(), errors.end()), latency);
}

// The processor time the whole process used while `action` ran, as a share of one core.
double CoreShareWhile(const std::function<void()>& action) {
  const std::clock_t cpuBefore = std::clock();
  const auto wallBefore = std::chrono::steady_clock::now();
  action();
  const double cpu = static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallBefore;
  return cpu / wall.count();
}

// One stream on one device of a service, played and stopped as the program does.
class Player {
 public:
  Player(IMidiService& service, std::uint32_t deviceId) : service_(service) {
    service_.SetBufferDoneNotifier([this] { done_ = true; });
    ok_ = service_.StreamOpen(&handle_, deviceId) == kMidiNoError &&
          service_.StreamSetTimeDivision(handle_, kDivision) == kMidiNoError;
  }
  ~Player() {
    if (ok_) service_.StreamClose(handle_);
    service_.SetBufferDoneNotifier({});
  }
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  bool ok() const { return ok_; }

  void Start(const std::vector<std::uint8_t>& buffer, std::uint32_t flags = 0) {
    done_ = false;
    header_ = {buffer.data(), static_cast<std::uint32_t>(buffer.size()),
               static_cast<std::uint32_t>(buffer.size()), flags};
    service_.PrepareHeader(handle_, &header_);
    service_.StreamOut(handle_, &header_);
    service_.StreamRestart(handle_);
  }

  /// Sets the time division for the next play.
  void SetDivision(std::uint32_t division) { service_.StreamSetTimeDivision(handle_, division); }

  TStreamPosition Position() {
    TStreamPosition position;
    service_.StreamPosition(handle_, &position);
    return position;
  }

  /// Lets a looping buffer end at its next seam: an empty buffer takes over there.
  void EndLoop() {
    end_ = {};
    service_.PrepareHeader(handle_, &end_);
    service_.StreamOut(handle_, &end_);
  }

  /// Waits until every buffer started has been handed back.
  void WaitUntilPlayed() {
    while (service_.UnprepareHeader(handle_, &header_) != kMidiNoError ||
           service_.UnprepareHeader(handle_, &end_) != kMidiNoError) {
      std::this_thread::sleep_for(10ms);
    }
  }

  // Plays the buffer to its end; the share of one core the process used meanwhile.
  double PlayToEnd(const std::vector<std::uint8_t>& buffer) {
    const double share = CoreShareWhile([&] {
      Start(buffer);
      while (!done_) std::this_thread::sleep_for(50ms);
    });
    service_.UnprepareHeader(handle_, &header_);
    return share;
  }

  void Stop() {
    service_.StreamStop(handle_);
    service_.UnprepareHeader(handle_, &header_);
  }

 private:
  IMidiService& service_;
  MidiStreamHandle handle_ = 0;
  TMidiHeader header_;
  TMidiHeader end_;
  std::atomic<bool> done_{false};
  bool ok_ = false;
};

double Micros(MidiMicros time) {
  return static_cast<double>(time.count());
}

void MeasureRecorder(const std::vector<TimedMessage>& groove) {
  auto recorder = std::make_shared<RecordingMidiDevice>("Recorder", SystemMidiClock());
  const auto service = MakeMidiService({recorder});
  Player player(*service, 0);
  const std::vector<std::uint8_t> buffer = ToBuffer(groove);
  const double cpu = player.PlayToEnd(buffer);
  std::vector<double> arrivals;
  std::vector<double> expected;
  const MidiMicros start = recorder->Messages().front().due;
  for (const RecordedMessage& recorded : recorder->Messages()) {
    arrivals.push_back(Micros(recorded.sent - start));
  }
  for (const TimedMessage& event : groove) expected.push_back(TickMicros(event.tick));
  ReportTiming("recorder", arrivals, expected);
  std::printf("recorder processor time while playing: %.3f%% of one core\n", 100 * cpu);

  player.Start(buffer);
  std::this_thread::sleep_for(1s);
  recorder->ClearRecording();
  const MidiMicros stopAt = SystemMidiClock().Now();
  player.Stop();
  const auto recorded = recorder->Messages();
  std::printf("recorder Stop to last note ended: %.0f us (%zu note-offs and All Notes Off)\n",
              recorded.empty() ? 0.0 : Micros(recorded.back().sent - stopAt), recorded.size());
}

// A device that hands every message to another and notes when the handing was done.
class TimedForwarder final : public IMidiDevice {
 public:
  explicit TimedForwarder(std::shared_ptr<IMidiDevice> target) : target_(std::move(target)) {}
  std::string Name() const override { return target_->Name(); }
  MidiResult Open() override { return target_->Open(); }
  bool IsOpen() const override { return target_->IsOpen(); }
  void Send(const MidiMessage& message, MidiMicros due) override {
    target_->Send(message, due);
    reached_.push_back(SystemMidiClock().Now());
  }
  void Silence(std::span<const MidiMessage> endings) override { target_->Silence(endings); }
  MidiResult Close() override { return target_->Close(); }
  IMidiClock& Clock() override { return target_->Clock(); }
  const std::vector<MidiMicros>& Reached() const { return reached_; }

 private:
  std::shared_ptr<IMidiDevice> target_;
  std::vector<MidiMicros> reached_;
};

#if defined(BRONDEL_HAVE_JACK)

// A JACK client of this program with one MIDI input and one audio input. Its process callback
// notes the frame of every MIDI event and of every audio onset (a sample above the threshold
// after at least 10 ms below it).
class JackListener {
 public:
  struct Event {
    jack_nframes_t frame;
    std::uint8_t bytes[3];
  };

  JackListener() {
    client_ = jack_client_open("brondel-timing", JackNoStartServer, nullptr);
    if (client_ == nullptr) return;
    midiIn_ = jack_port_register(client_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    audioIn_ = jack_port_register(client_, "audio_in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    events_.resize(1 << 16);
    onsets_.resize(1 << 12);
    jack_set_process_callback(
        client_,
        [](jack_nframes_t frames, void* self) {
          static_cast<JackListener*>(self)->Process(frames);
          return 0;
        },
        this);
    jack_activate(client_);
  }
  ~JackListener() {
    if (client_ != nullptr) jack_client_close(client_);
  }
  JackListener(const JackListener&) = delete;
  JackListener& operator=(const JackListener&) = delete;

  bool ok() const { return client_ != nullptr; }
  double Rate() const { return jack_get_sample_rate(client_); }
  jack_nframes_t Period() const { return jack_get_buffer_size(client_); }
  jack_nframes_t FrameNow() const { return jack_time_to_frames(client_, jack_get_time()); }
  void Clear() {
    eventCount_ = 0;
    onsetCount_ = 0;
    lost_ = 0;
  }
  std::vector<Event> Events() const {
    return {events_.begin(), events_.begin() + static_cast<std::ptrdiff_t>(eventCount_.load())};
  }
  /// Events the port buffers said were lost on their way in, since the last Clear.
  std::uint64_t Lost() const { return lost_; }
  std::vector<jack_nframes_t> Onsets() const {
    return {onsets_.begin(), onsets_.begin() + static_cast<std::ptrdiff_t>(onsetCount_.load())};
  }
  /// The frame of the last audio sample above the threshold.
  jack_nframes_t LastLoud() const { return lastLoud_; }
  bool ListenTo(const std::string& audioPort) {
    return jack_connect(client_, audioPort.c_str(), jack_port_name(audioIn_)) == 0;
  }

 private:
  void Process(jack_nframes_t frames) {
    const jack_nframes_t start = jack_last_frame_time(client_);
    void* midi = jack_port_get_buffer(midiIn_, frames);
    lost_ += jack_midi_get_lost_event_count(midi);
    for (jack_nframes_t i = 0; i < jack_midi_get_event_count(midi); ++i) {
      jack_midi_event_t event;
      if (jack_midi_event_get(&event, midi, i) != 0 || eventCount_ >= events_.size()) continue;
      Event& slot = events_[eventCount_];
      slot.frame = start + event.time;
      std::copy_n(event.buffer, std::min<std::size_t>(event.size, 3), slot.bytes);
      ++eventCount_;
    }
    const auto* audio = static_cast<const float*>(jack_port_get_buffer(audioIn_, frames));
    for (jack_nframes_t i = 0; i < frames; ++i) {
      if (std::fabs(audio[i]) < kThreshold) {
        ++quietFrames_;
        continue;
      }
      lastLoud_ = start + i;
      if (quietFrames_ >= kQuietBeforeOnset && onsetCount_ < onsets_.size()) {
        onsets_[onsetCount_] = start + i;
        ++onsetCount_;
      }
      quietFrames_ = 0;
    }
  }

  static constexpr float kThreshold = 0.01f;
  static constexpr std::uint32_t kQuietBeforeOnset = 480;  // 10 ms at 48 kHz
  jack_client_t* client_ = nullptr;
  jack_port_t* midiIn_ = nullptr;
  jack_port_t* audioIn_ = nullptr;
  std::vector<Event> events_;
  std::vector<jack_nframes_t> onsets_;
  std::atomic<std::size_t> eventCount_{0};
  std::atomic<std::size_t> onsetCount_{0};
  std::atomic<jack_nframes_t> lastLoud_{0};
  std::atomic<std::uint64_t> lost_{0};
  std::uint32_t quietFrames_ = kQuietBeforeOnset;
};

double FramesToMicros(std::int64_t frames, double rate) {
  return static_cast<double>(frames) * 1e6 / rate;
}

// The listener's MIDI port as the program finds it in the system's device list: its device
// number, none when it is not listed.
std::optional<std::uint32_t> ListenerDevice(IMidiService& service) {
  const std::vector<std::string> names = service.OutputDeviceNames();
  const auto port = std::find(names.begin(), names.end(), "brondel-timing:midi_in");
  if (port == names.end()) return std::nullopt;
  return static_cast<std::uint32_t>(port - names.begin());
}

// A player on the listener's port; null when the port is not listed.
std::unique_ptr<Player> ListenerPlayer(IMidiService& service) {
  const std::optional<std::uint32_t> device = ListenerDevice(service);
  return device ? std::make_unique<Player>(service, *device) : nullptr;
}

void MeasureJack(JackListener& listener, const std::vector<TimedMessage>& groove) {
  const auto service = MakeSystemMidiService();
  const auto player = ListenerPlayer(*service);
  if (!player) {
    std::printf("jack     the listener's port is not in the device list\n");
    return;
  }
  const std::vector<std::uint8_t> buffer = ToBuffer(groove);
  listener.Clear();
  const double cpu = player->PlayToEnd(buffer);
  std::this_thread::sleep_for(100ms);  // the device plays each message a fixed latency later
  auto events = listener.Events();
  // The groove's own messages; the All Notes Off that end the play come after them.
  events.resize(std::min(events.size(), groove.size()));
  std::vector<double> arrivals;
  std::vector<double> expected;
  for (const auto& event : events) {
    arrivals.push_back(
        FramesToMicros(static_cast<std::int32_t>(event.frame - events[0].frame), listener.Rate()));
  }
  for (const TimedMessage& event : groove) expected.push_back(TickMicros(event.tick));
  ReportTiming("jack", arrivals, expected);
  std::printf("jack     processor time while playing: %.3f%% of one core\n", 100 * cpu);

  player->Start(buffer);
  std::this_thread::sleep_for(1s);
  listener.Clear();
  const jack_nframes_t stopFrame = listener.FrameNow();
  player->Stop();
  std::this_thread::sleep_for(100ms);
  const auto ended = listener.Events();
  if (ended.empty()) {
    std::printf("jack     Stop: nothing arrived\n");
    return;
  }
  std::printf(
      "jack     Stop to last note ended on the wire: %.0f us (%zu messages)\n",
      FramesToMicros(static_cast<std::int32_t>(ended.back().frame - stopFrame), listener.Rate()),
      ended.size());
}

// The synthesizer as the program opens it (effects on), but on JACK's audio: the time each
// message reached FluidSynth, and the processor time used, rendering included.
void MeasureSynthReach(const std::vector<TimedMessage>& groove) {
  SynthOptions options = DefaultSynthOptions();
  options.audioDrivers = {"jack"};
  auto forwarder = std::make_shared<TimedForwarder>(std::make_shared<SynthDevice>(options));
  const auto service = MakeMidiService({forwarder});
  Player player(*service, 0);
  if (!player.ok()) {
    std::printf("synth    the synthesizer did not open on JACK\n");
    return;
  }
  const double cpu = player.PlayToEnd(ToBuffer(groove));
  std::vector<double> arrivals;
  std::vector<double> expected;
  for (MidiMicros reached : forwarder->Reached()) {
    arrivals.push_back(Micros(reached - forwarder->Reached().front()));
  }
  for (const TimedMessage& event : groove) expected.push_back(TickMicros(event.tick));
  ReportTiming("synth", arrivals, expected);
  std::printf("synth    processor time while playing (rendering included): %.3f%% of one core\n",
              100 * cpu);
}

// The synthesizer's audio, read by the listener: the onset of each hit against its tick time,
// and the time from Stop to the last sound. Reverb and chorus are off, so that each hit dies
// away before the next and no tail hides the end.
void MeasureSynthAudio(JackListener& listener) {
  SynthOptions options = DefaultSynthOptions();
  options.audioDrivers = {"jack"};
  options.settings = {{"synth.reverb.active", "0"}, {"synth.chorus.active", "0"}};
  const auto service = MakeMidiService({std::make_shared<SynthDevice>(options)});
  Player player(*service, 0);
  if (!player.ok() || !listener.ListenTo("Brondel synthesizer:left")) {
    std::printf("synth    could not listen to the synthesizer's audio\n");
    return;
  }
  const std::vector<TimedMessage> hits = Hits(60);
  std::this_thread::sleep_for(500ms);  // the new connection settles
  listener.Clear();
  player.PlayToEnd(ToBuffer(hits));
  std::this_thread::sleep_for(300ms);
  // Each hit is paired with the onset within 20 ms of its time (counted from the first onset);
  // a hit whose sound dips and swells again can show a second onset, which is passed over, and
  // a hit still ringing into the next can hide that one's onset, which is then left out.
  const auto onsets = listener.Onsets();
  std::vector<double> arrivals;
  std::vector<double> expected;
  std::size_t next = 0;
  for (const TimedMessage& event : hits) {
    if (brondel::midi::StatusKind(event.message.bytes[0]) != brondel::midi::kNoteOn) continue;
    const double time = TickMicros(event.tick);
    while (next < onsets.size()) {
      const double onset =
          FramesToMicros(static_cast<std::int32_t>(onsets[next] - onsets[0]), listener.Rate());
      if (onset > time + 20'000) break;
      ++next;
      if (onset >= time - 20'000) {
        arrivals.push_back(onset);
        expected.push_back(time);
        break;
      }
    }
  }
  std::printf("synth-audio %zu of %zu hits found in the audio\n", arrivals.size(), hits.size() / 2);
  ReportTiming("synth-audio", arrivals, expected);

  player.Start(ToBuffer(HeldChord()));
  std::this_thread::sleep_for(1s);
  const jack_nframes_t stopFrame = listener.FrameNow();
  player.Stop();
  std::this_thread::sleep_for(300ms);
  std::printf(
      "synth-audio Stop to the last sound: %.0f us\n",
      FramesToMicros(static_cast<std::int32_t>(listener.LastLoud() - stopFrame), listener.Rate()));
}

double Median(std::vector<double> values) {
  return Percentile(std::move(values), 0.5);
}

// A play position read while the music went on, at the listener's frame of that moment.
struct PositionSample {
  jack_nframes_t frame;
  std::uint64_t ticks;
};

// The listener's frame while `read` runs, halfway between its frames just before and after; none
// when the reading was held up (the thread preempted in between) and so says nothing of the
// play line.
std::optional<jack_nframes_t> FrameWhile(const JackListener& listener,
                                         const std::function<void()>& read) {
  const auto maxReading = static_cast<std::int32_t>(listener.Rate() / 2000);  // half a ms
  const jack_nframes_t before = listener.FrameNow();
  read();
  const jack_nframes_t after = listener.FrameNow();
  const auto reading = static_cast<std::int32_t>(after - before);
  if (reading > maxReading) return std::nullopt;
  return before + static_cast<jack_nframes_t>(reading / 2);
}

// Each sampled position against the music on the wire at its frame: the tick of the last message
// received by then (`wireTick` of its index in `wire`) plus the frames since, `framesPerTick` to a
// tick. The errors in ms, for ticks of `tickMs`; from the first sample at which the wire has
// reached `endTick` (the play has ended) on, none.
std::vector<double> PositionErrors(const std::vector<PositionSample>& samples,
                                   std::span<const JackListener::Event> wire,
                                   const std::function<double(std::size_t)>& wireTick,
                                   double framesPerTick, double tickMs,
                                   double endTick = std::numeric_limits<double>::infinity()) {
  std::vector<double> errors;
  std::size_t next = 0;
  for (const PositionSample& sample : samples) {
    while (next < wire.size() && static_cast<std::int32_t>(wire[next].frame - sample.frame) <= 0) {
      ++next;
    }
    if (next == 0) continue;  // nothing on the wire yet
    const double onWire =
        wireTick(next - 1) +
        static_cast<std::int32_t>(sample.frame - wire[next - 1].frame) / framesPerTick;
    if (onWire >= endTick) break;
    errors.push_back(std::fabs(static_cast<double>(sample.ticks) - std::floor(onWire)) * tickMs);
  }
  return errors;
}

// The play line: while the groove plays at 480 ticks a quarter (a tick is 1.04 ms), the stream's
// position is asked every millisecond and set against the music on the wire at that moment: the
// tick of the last message received, plus the frames since. The error is reported in ms.
void MeasurePlayLine(JackListener& listener, const std::vector<TimedMessage>& groove) {
  constexpr std::uint32_t kFine = 5 * kDivision;
  std::vector<TimedMessage> fine = groove;
  for (TimedMessage& event : fine) event.tick *= 5;
  const auto service = MakeSystemMidiService();
  const auto player = ListenerPlayer(*service);
  if (!player) return;
  player->SetDivision(kFine);
  const std::vector<std::uint8_t> buffer = ToBuffer(fine);
  listener.Clear();
  std::vector<PositionSample> samples;
  player->Start(buffer);
  const auto end = std::chrono::steady_clock::now() + 9s;
  while (std::chrono::steady_clock::now() < end) {
    TStreamPosition position;
    const auto frame = FrameWhile(listener, [&] { position = player->Position(); });
    if (position.header != nullptr && frame) samples.push_back({*frame, position.ticks});
    std::this_thread::sleep_for(1ms);
  }
  player->Stop();
  const double framesPerTick = listener.Rate() * 500'000.0 / kFine / 1e6;
  const std::vector<double> errors = PositionErrors(
      samples, listener.Events(),
      [&](std::size_t index) { return static_cast<double>(fine[index].tick); }, framesPerTick,
      500.0 / kFine);
  if (errors.empty()) {
    std::printf("jack     play line: no position while the groove played\n");
    return;
  }
  std::printf(
      "jack     play line against the wire over %zu positions: median %.2f ms, worst %.2f ms "
      "(ticks of %.2f ms)\n",
      errors.size(), Median(errors), *std::max_element(errors.begin(), errors.end()),
      500.0 / kFine);
}

// A bar of four beats looping eight times: the frames between each repetition's first message
// and the next one's, against one bar.
void MeasureLoopSeam(JackListener& listener) {
  std::vector<TimedMessage> bar;
  for (std::uint64_t beat = 0; beat < 4; ++beat) {
    bar.push_back(
        {beat * kDivision, {{0x99, static_cast<std::uint8_t>(beat == 0 ? 36 : 42), 100}, 3}});
    bar.push_back(
        {beat * kDivision + 10, {{0x89, static_cast<std::uint8_t>(beat == 0 ? 36 : 42), 0}, 3}});
  }
  bar.push_back({4 * kDivision, {{0xB9, 7, 100}, 3}});  // the bar's end: a repetition starts here
  // The last event starts the next repetition at the same moment; the listener sees both.
  const auto service = MakeSystemMidiService();
  const auto player = ListenerPlayer(*service);
  if (!player) return;
  const std::vector<std::uint8_t> buffer = ToBuffer(bar);
  listener.Clear();
  player->Start(buffer, kHeaderLoop);
  while (player->Position().repetitions < 7) std::this_thread::sleep_for(10ms);
  player->EndLoop();
  player->WaitUntilPlayed();
  std::this_thread::sleep_for(100ms);
  std::vector<jack_nframes_t> starts;
  for (const auto& event : listener.Events()) {
    if (event.bytes[0] == 0x99 && event.bytes[1] == 36) starts.push_back(event.frame);
  }
  const double barFrames = listener.Rate() * 4 * 0.5;
  std::vector<double> seams;
  for (std::size_t i = 1; i < starts.size(); ++i) {
    seams.push_back(static_cast<std::int32_t>(starts[i] - starts[i - 1]) - barFrames);
  }
  if (seams.empty()) {
    std::printf("jack     loop: no repetition arrived\n");
    return;
  }
  std::printf(
      "jack     loop seams over %zu repetitions: median %+.1f frames, worst %+.1f frames off one "
      "bar of %.0f frames\n",
      starts.size(), Median(seams),
      *std::max_element(seams.begin(), seams.end(),
                        [](double a, double b) { return std::fabs(a) < std::fabs(b); }),
      barFrames);
}

// The pattern window's play as the window drives it: Var1 of the pop_beat example (four bars,
// tempo 96: a tick is 5.2 ms) looping through TPlayback::PlayPattern on the listener's port, and
// Loop switched off once the second repetition sounds. At every wait of the play (1 ms) the play
// line's position (TPlayback::PlayingNow, what the window's timer reads, as repetitions and
// ticks) is set against the music on the wire at that moment, as in MeasurePlayLine; the window
// draws the position it last read, so a line on screen is at most one timer interval (10 ms)
// older than the figure. Then the seam: the frames between the two repetitions' first messages
// against one section.
class WaitingHost final : public brondel::IPlaybackHost {
 public:
  std::function<void()> onWait;
  void ShowMessage(const std::string& text) override {
    std::printf("pattern  message: %s\n", text.c_str());
  }
  void ShowPartSettings() override {}
  void ShowPlayAllEntry(int, int) override {}
  void WaitForEvents() override {
    std::this_thread::sleep_for(1ms);
    if (onWait) onWait();
  }
};

void MeasurePatternPlay(JackListener& listener) {
  constexpr int kVar1 = 2;
  brondel::TLoadOutcome loaded =
      brondel::ReadRhythmFile(BRONDEL_SOURCE_DIR "/examples/pop_beat.ckf");
  if (!loaded.rhythm) return;
  brondel::TRhythmDocuments docs;
  docs.slots[brondel::kMainSlot] = loaded.rhythm->slot;
  const brondel::TRhythmSlot& slot = docs.slots[brondel::kMainSlot];

  // The section's messages at their ticks, as the wire must carry them.
  std::vector<brondel::TRenderEvent> events;
  brondel::TEventBuffer buffer;
  brondel::RenderSectionEvents(slot, kVar1, events, buffer);
  std::vector<std::uint64_t> ticks;
  std::uint64_t sectionTicks = 0;
  for (const brondel::TRenderEvent& event : events) {
    sectionTicks += event.Time;
    if (event.Data1 <= 127 && event.Data2 <= 127) ticks.push_back(sectionTicks);
  }

  const auto service = MakeSystemMidiService();
  const std::optional<std::uint32_t> device = ListenerDevice(*service);
  if (!device || ticks.empty()) return;
  WaitingHost host;
  brondel::TPlayback playback(docs, *service, host);
  service->SetBufferDoneNotifier([] {});
  playback.SelectDevice(*device);
  playback.OpenMidiStream();

  std::vector<PositionSample> samples;
  bool ending = false;
  host.onWait = [&] {
    std::optional<brondel::TPlayingPosition> now;
    const auto frame = FrameWhile(listener, [&] { now = playback.PlayingNow(); });
    if (!now) return;
    if (frame) samples.push_back({*frame, now->repetitions * sectionTicks + now->tick});
    if (now->repetitions >= 1 && !ending) {
      ending = true;
      playback.ChangePatternPlay({}, false);
    }
  };
  listener.Clear();
  playback.PlayPattern(brondel::kMainSlot, kVar1, {}, true);
  std::this_thread::sleep_for(300ms);
  playback.CloseMidiStream();

  const auto wire = listener.Events();
  const std::size_t perRepetition = ticks.size();
  if (wire.size() < 2 * perRepetition) {
    std::printf("pattern  play: %zu of %zu messages arrived\n", wire.size(), 2 * perRepetition);
    return;
  }
  const auto wireTick = [&](std::size_t index) {
    return (index / perRepetition) * sectionTicks + ticks[index % perRepetition];
  };
  const double framesPerTick = listener.Rate() * 500'000.0 / slot.header.Tempo() / 1e6;
  const double tickMs = 500.0 / slot.header.Tempo();
  const std::vector<double> errors = PositionErrors(
      samples, std::span(wire).first(2 * perRepetition),
      [&](std::size_t index) { return static_cast<double>(wireTick(index)); }, framesPerTick,
      tickMs, static_cast<double>(2 * sectionTicks));
  if (!errors.empty()) {
    std::printf(
        "pattern  play line (PlayingNow) against the wire over %zu positions: median %.2f ms, "
        "worst %.2f ms (ticks of %.2f ms)\n",
        errors.size(), Median(errors), *std::max_element(errors.begin(), errors.end()), tickMs);
  }
  const auto seam = static_cast<std::int32_t>(wire[perRepetition].frame - wire[0].frame) -
                    static_cast<double>(sectionTicks) * framesPerTick;
  std::printf(
      "pattern  loop seam: the second repetition started %+.1f frames off one section of "
      "%.0f frames\n",
      seam, static_cast<double>(sectionTicks) * framesPerTick);
}

// A live play (Play along) of a rhythm whose bass and chord hold their notes through every bar,
// its chord changed every 250 ms, 40 times: from the moment the chord is set (the frame just
// before TLiveControl::SetChord) to the first note-on of the new chord's bass or chord notes on
// the wire. Each change re-pitches the held notes at once (retrigger on), so the figure is the
// whole way: the ask, the stream's thread waking and rendering the slice anew, the device's
// period.
void MeasureLiveChordChange(JackListener& listener) {
  brondel::TRhythmDocuments docs;
  const std::vector<std::uint8_t> file = brondel::test::HeldChordRhythm().CkfFile();
  const brondel::TLoadOutcome loaded = brondel::ReadRhythm("held.ckf", file);
  if (!loaded.rhythm) return;
  docs.slots[brondel::kMainSlot] = loaded.rhythm->slot;

  const auto service = MakeSystemMidiService();
  const std::optional<std::uint32_t> device = ListenerDevice(*service);
  if (!device) return;
  WaitingHost host;
  brondel::TPlayback playback(docs, *service, host);
  service->SetBufferDoneNotifier([] {});
  playback.SelectDevice(*device);
  playback.OpenMidiStream();

  constexpr int kChanges = 40;
  const char* const names[] = {"Dm", "G7", "F", "Am", "E7", "C"};
  std::vector<jack_nframes_t> changes;
  auto last = std::chrono::steady_clock::now();
  host.onWait = [&] {
    const auto now = std::chrono::steady_clock::now();
    if (now - last < 250ms) return;
    last = now;
    if (changes.size() == kChanges) {
      playback.Stop();
      return;
    }
    const auto chord = brondel::chords::ParseChordSymbol(names[changes.size() % 6]);
    changes.push_back(listener.FrameNow());
    playback.Live().SetChord(*chord);
  };
  listener.Clear();
  playback.PlayLive({});
  std::this_thread::sleep_for(100ms);
  playback.CloseMidiStream();

  const auto wire = listener.Events();
  std::vector<double> delays;
  for (const jack_nframes_t change : changes) {
    const auto first = std::find_if(wire.begin(), wire.end(), [change](const auto& event) {
      const bool noteOn = (event.bytes[0] & 0xF0) == 0x90 && event.bytes[2] > 0;
      const int channel = event.bytes[0] & 0x0F;
      return noteOn && channel >= 10 && channel <= 13 &&
             static_cast<std::int32_t>(event.frame - change) >= 0;
    });
    if (first == wire.end()) continue;
    delays.push_back(
        FramesToMicros(static_cast<std::int32_t>(first->frame - change), listener.Rate()) / 1000.0);
  }
  if (std::getenv("BRONDEL_TIMING_DETAIL") != nullptr) {
    for (const double delay : delays) std::printf("live     %.2f ms\n", delay);
  }
  if (delays.empty()) {
    std::printf("live     chord change: no re-pitched note arrived\n");
    return;
  }
  std::printf(
      "live     chord change to the first re-pitched note on the wire, %zu of %zu changes: median "
      "%.2f ms, worst %.2f ms (a period is %.2f ms)\n",
      delays.size(), changes.size(), Median(delays),
      *std::max_element(delays.begin(), delays.end()),
      1000.0 * listener.Period() / listener.Rate());
}

// 3,000 note-offs and the note-off of a sounding note at one tick, after a set-up block of 30
// messages: how many arrive, how many the port lost, and how late the last one came.
void MeasureBurst(JackListener& listener) {
  std::vector<TimedMessage> burst;
  for (std::uint8_t channel = 9; channel < 14; ++channel) {
    burst.push_back({0, {{static_cast<std::uint8_t>(0xC0 | channel), 0, 0}, 2}});
    for (const int controller : {0, 7, 10, 91, 93}) {
      burst.push_back(
          {0,
           {{static_cast<std::uint8_t>(0xB0 | channel), static_cast<std::uint8_t>(controller), 0},
            3}});
    }
  }
  burst.push_back({0, {{0x99, 60, 100}, 3}});
  for (int i = 0; i < 3000; ++i) burst.push_back({10, {{0x99, 61, 0}, 3}});
  burst.push_back({10, {{0x99, 60, 0}, 3}});
  const auto service = MakeSystemMidiService();
  const auto player = ListenerPlayer(*service);
  if (!player) return;
  player->SetDivision(100);
  listener.Clear();
  player->PlayToEnd(ToBuffer(burst));
  std::this_thread::sleep_for(1s);
  const auto events = listener.Events();
  const bool ended = std::any_of(events.begin(), events.end(), [](const auto& event) {
    return event.bytes[0] == 0x99 && event.bytes[1] == 60 && event.bytes[2] == 0;
  });
  const double lastLate =
      events.size() > 31
          ? FramesToMicros(static_cast<std::int32_t>(events.back().frame - events[31].frame),
                           listener.Rate()) /
                1000.0
          : 0;
  std::printf(
      "jack     burst: %zu messages sent, %zu arrived (%zu of them the endings), %zu lost by the "
      "port, the sounding note %s; the burst spread over %.1f ms\n",
      burst.size(), events.size(), events.size() - std::min(events.size(), burst.size()),
      static_cast<std::size_t>(listener.Lost()), ended ? "ended" : "NOT ended", lastLate);
}

// The listener's own share of a core, which the jack and synth figures include.
void MeasureListener() {
  const double share = CoreShareWhile([] { std::this_thread::sleep_for(5s); });
  std::printf("listener alone (idle, counted in the figures above): %.3f%% of one core\n",
              100 * share);
}

#endif

}  // namespace

int main() {
  const std::vector<TimedMessage> groove = Groove(1920);  // 10 s
  MeasureRecorder(groove);
#if defined(BRONDEL_HAVE_JACK)
  JackListener listener;
  if (!listener.ok()) {
    std::printf("no JACK server: the jack and synth paths were not measured\n");
    return 0;
  }
  MeasureJack(listener, groove);
  MeasurePlayLine(listener, groove);
  MeasureLoopSeam(listener);
  MeasurePatternPlay(listener);
  MeasureLiveChordChange(listener);
  MeasureBurst(listener);
  MeasureSynthReach(groove);
  MeasureSynthAudio(listener);
  MeasureListener();
#endif
  return 0;
}
