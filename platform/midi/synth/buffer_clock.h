// Where the buffers of an audio callback fall on the stream clock: a delay-locked loop over the
// moments the callbacks come. It filters their jitter out and learns the true length of a
// buffer, since a driver may run at another rate than the one asked for (JACK's runs at the
// server's rate).
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

namespace brondel::platform {

class BufferClock {
 public:
  /// Called as each callback starts: the time (us), its length in frames, the rate asked for.
  void Tick(double now, int frames, double nominalRate);
  /// The length of one buffer, in microseconds, as learnt so far.
  double Period() const { return period_; }
  /// The frame of the current buffer at which `time` falls (it may lie outside the buffer).
  long FrameAt(double time) const;

 private:
  int frames_ = 0;
  double period_ = 0;
  double start_ = 0;  // when the current buffer starts
  double next_ = 0;   // when the next one is expected to
};

}  // namespace brondel::platform
