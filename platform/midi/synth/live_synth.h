// The built-in synthesizer's live path: FluidSynth behind an audio driver. Where the driver lets
// the program render the audio itself (a callback), every message is queued with its time and
// applied at its own sample of the buffer being rendered, a fixed latency later; otherwise each
// is applied as it comes. The queue grows with a burst: nothing is applied out of its turn.
//
// Threads: the service's caller makes it, loads it and starts its driver before any stream plays
// on it. Send comes from the stream's thread (and Stop's caller), Silence from Stop's caller,
// all under the stream's mutex, so the queue has one producer at a time; Render runs on the
// audio driver's thread, the queue's one consumer, and owns the buffer clock. The latency is the
// one value the two sides share, an atomic (read for the position too); FluidSynth's own lock
// covers the calls into the synthesizer.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <atomic>
#include <span>
#include <string>

#include "platform/midi/engine/midi_clock.h"
#include "platform/midi/engine/timed_queue.h"
#include "platform/midi/synth/buffer_clock.h"
#include "platform/midi/synth/fluid_synth.h"
#include "platform/midi/synth/synth_device.h"

namespace brondel::platform {

class LiveSynth {
 public:
  /// FluidSynth with the options' sample rate and settings; Load gives it its soundfont.
  explicit LiveSynth(const SynthOptions& options);
  /// Stops the audio driver before the synthesizer goes.
  ~LiveSynth();
  LiveSynth(const LiveSynth&) = delete;
  LiveSynth& operator=(const LiveSynth&) = delete;

  /// Makes the synthesizer with `soundfont`; an error text, empty on success.
  std::string Load(const std::string& soundfont) { return fluid_.Load(soundfont); }
  /// Starts the audio through the FluidSynth driver `name` ("jack", "pulseaudio", "file"...),
  /// rendering in Render where the driver takes a callback; false when it does not start.
  bool StartDriver(const std::string& name);
  /// The driver that started; empty before.
  const std::string& DriverName() const { return driverName_; }
  /// Plays `message` at the sample of `due` (on the system's MIDI clock) plus the latency: a
  /// buffer and the wake margin. Until a driver that renders on its own starts, it is queued for
  /// Render.
  void Send(const MidiMessage& message, MidiMicros due);
  /// Drops the queued messages (except those that end a note), plays `endings` at once, then
  /// cuts every voice (All Sound Off on every channel).
  void Silence(std::span<const MidiMessage> endings);
  /// Marks what is queued stale: Render drops it, a note's end goes at once.
  void Retract();
  /// How much later than its due time a message is heard: a buffer as learnt, plus the margin.
  MidiMicros Latency() const;
  /// The audio callback's work: renders the `len` frames of a buffer that starts at `now` (us
  /// on the system's MIDI clock) into `out` (and `fx`: with none, the effects are mixed into
  /// `out`), applying each queued message at its own frame.
  int Render(double now, int len, int nfx, float* fx[], int nout, float* out[]);

 private:
  /// Renders frames [from, to) of the driver's buffers.
  int RenderPart(int from, int to, int nfx, float* fx[], int nout, float* out[]) const;
  /// Queues a message for Render at `time` (us on the system's MIDI clock), or applies it at
  /// once where the driver renders on its own.
  void Enqueue(const MidiMessage& message, double time);

  FluidSynth fluid_;
  const double sampleRate_;  // the rate asked for; the driver's may differ (the clock learns it)
  const double wakeMargin_;  // us
  fluid_audio_driver_t* driver_ = nullptr;
  std::string driverName_;
  bool timed_ = true;  // false once a driver that renders on its own has started
  TimedMessageQueue queue_;
  std::atomic<double> latency_;  // us added to every due time; written by Render
  BufferClock clock_;            // the audio thread's own
};

}  // namespace brondel::platform
