// The stream engine shared by every device: it holds the queued buffers of one open stream and
// plays their events in time on a thread of its own, sleeping on the device's clock between them.
//
// Threads: the stream's own thread (Run) sends every message to the device and reports each
// buffer handed back; every public call comes from the service's caller (the window's thread, or
// brondel-tool's main thread). One mutex, mutex_, guards all the stream's state and is held
// around every call into the device (Send from the stream's thread, Silence from Stop's caller
// or the destructor), so a device sees one call at a time. It is released while `bufferDone`
// runs, so that a notifier may call back into the service.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <array>
#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/midi/engine/midi_device.h"
#include "platform/midi_service.h"

namespace brondel::platform {

/// The notes that a stream has started and not yet ended, per channel.
class SoundingNotes {
 public:
  /// Follows note-ons (velocity above 0) and note-offs (0x8n, or 0x9n with velocity 0).
  void Track(const MidiMessage& message);
  /// One note-off per sounding note, channel by channel; forgets them all.
  std::vector<MidiMessage> TakeNoteOffs();

 private:
  std::array<std::bitset<128>, 16> notes_;
};

/// One open stream on one device; every call is safe from any thread.
class MidiStream final {
 public:
  /// Starts the stream's thread on an opened device; `bufferDone` runs on that thread once for
  /// every buffer handed back. The stream starts stopped, at 96 ticks per quarter note.
  MidiStream(std::shared_ptr<IMidiDevice> device, std::function<void()> bufferDone);
  /// Ends sounding notes, hands every buffer back and ends the thread (it waits for it).
  ~MidiStream();
  MidiStream(const MidiStream&) = delete;
  MidiStream& operator=(const MidiStream&) = delete;

  /// The device the stream plays on.
  const std::shared_ptr<IMidiDevice>& Device() const { return device_; }
  /// Ends every sounding note, hands every queued buffer back and leaves the stream stopped.
  void Stop();
  /// Ticks per quarter note from now on; false for 0.
  bool SetTimeDivision(std::uint32_t division);
  /// Queues a copy of a buffer under `header`; false while a buffer under it is still held.
  /// On a running stream the buffer starts at once, or when the one before it ends.
  bool Queue(const TMidiHeader* header, std::vector<StreamEvent> events);
  /// Starts the stream; the first queued buffer starts now. Nothing happens when running.
  void Restart();
  /// True while a buffer queued under `header` has not been handed back.
  bool Holds(const TMidiHeader* header) const;

 private:
  struct Buffer {
    const TMidiHeader* header = nullptr;
    std::vector<StreamEvent> events;
    std::size_t next = 0;    // the first event not yet played
    MidiMicros baseTime{0};  // when the tick `baseTick` falls due
    std::uint64_t baseTick = 0;
  };

  // Everything below runs with mutex_ held, except where it says otherwise.
  bool HoldsLocked(const TMidiHeader* header) const;
  /// The stream's thread: plays what is due, hands buffers back, sleeps until the next due time.
  void Run(std::unique_ptr<IMidiSleeper> sleeper);
  void StartFront(MidiMicros at);
  MidiMicros DueTime(const Buffer& buffer, std::size_t index) const;
  std::optional<MidiMicros> NextDue() const;
  void PlayDue(MidiMicros now);
  void HandBackFront();
  void EndEverything();
  /// Runs `bufferDone` once per buffer handed back, with mutex_ released meanwhile.
  void DeliverNotices(std::unique_lock<std::mutex>& lock);

  const std::shared_ptr<IMidiDevice> device_;
  IMidiClock& clock_;
  const std::function<void()> bufferDone_;
  // Guards every member below and every call into device_.
  mutable std::mutex mutex_;
  std::condition_variable wake_;  // the thread sleeps on it until work comes or a time falls due
  std::deque<Buffer> queue_;      // the front buffer is the one playing
  SoundingNotes sounding_;
  std::uint32_t division_ = 96;
  bool running_ = false;
  bool closing_ = false;
  int pendingNotices_ = 0;  // buffers handed back and not yet reported through bufferDone_
  std::thread thread_;      // set once by the constructor, joined by the destructor
};

}  // namespace brondel::platform
