// The stream engine shared by every device: it holds the queued buffers of one open stream and
// plays their events in time on a thread of its own, sleeping on the device's clock between them.
// It repeats a looping buffer until another is queued behind it, keeps a short history of what
// played when (so that the position can be told as the device sounds it, its latency taken off),
// and ends whatever it started: at a Stop, and once a play has ended with nothing following it,
// every note still sounding gets its note-off and every channel used gets All Notes Off. Where
// one buffer follows another seamlessly nothing is cut, except a note the next never ends (a
// part muted in a loop's next rendering), which would sound on for ever.
//
// A live play (QueueLive) is a buffer whose events a source gives slice by slice: the stream's
// thread asks for the next slice when the last one's end falls due, and asks again from the
// first tick not yet due when told the source has changed (SourceChanged), dropping the rest of
// the slice it held; so what plays next can change while it plays, a moment after it is asked.
//
// Threads: the stream's own thread (Run) sends every message to the device, asks a live play's
// source for its slices (under mutex_) and reports each buffer handed back; every public call comes
// from the service's caller (the window's thread, or brondel-tool's main thread). One mutex,
// mutex_, guards all the stream's state and is held around every call into the device (Send from
// the stream's thread, Send and Silence from Stop's caller or the destructor), so a device sees one
// call at a time. It is released while `bufferDone` runs, so that a notifier may call back into the
// service.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <array>
#include <bitset>
#include <chrono>
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

/// A buffer queued this soon after the last one ended follows it seamlessly: it starts where the
/// other ended and nothing is cut between them. Play all queues each entry once the window has
/// learnt that the one before has ended, which takes it a moment; only after that moment does
/// the stream end the notes of a play that nothing follows.
inline constexpr MidiMicros kFollowWindow = std::chrono::milliseconds(50);

/// A set of notes: one bit per key, per channel.
using NoteSet = std::array<std::bitset<128>, 16>;

/// The notes that `events` end somewhere (a note-off, or a note-on of velocity 0).
NoteSet NotesEndedBy(const std::vector<StreamEvent>& events);

/// What a stream has started and must end: the notes still sounding, per channel, and the
/// channels it has sent on.
class SoundingNotes {
 public:
  /// Follows note-ons (velocity above 0), note-offs (0x8n, or 0x9n with velocity 0) and the
  /// channel of every message.
  void Track(const MidiMessage& message);
  /// A note-off for each sounding note that is not in `ended`, channel by channel; forgets them.
  std::vector<MidiMessage> TakeNoteOffsBut(const NoteSet& ended);
  /// One note-off per sounding note, channel by channel, then All Notes Off (controller 123)
  /// on every channel used; forgets them all. Empty when nothing was sent since the last call.
  std::vector<MidiMessage> TakeEndings();

 private:
  NoteSet notes_;
  std::bitset<16> channels_;
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
  /// Ticks per quarter note from now on; false for 0. A buffer that is playing keeps the due
  /// time of its next event; the ticks after it follow the new division.
  bool SetTimeDivision(std::uint32_t division);
  /// Queues a copy of a buffer under `header`, looping or not; false while a buffer under it is
  /// playing (or is the first one queued on a stopped stream). A buffer under it that waits
  /// behind another is replaced by this one. On a running stream the buffer starts at once
  /// (where the last one ended, when that was a moment ago), or when the one before it ends (at
  /// its next seam, if it loops).
  bool Queue(const TMidiHeader* header, std::vector<StreamEvent> events, bool loop);
  /// Queues a live play under `header`, as Queue queues a buffer: from its start the stream's
  /// thread asks `source` for `sliceTicks` ticks at a time, the next slice once the last one's
  /// end is due, until the source ends the play.
  bool QueueLive(const TMidiHeader* header, std::shared_ptr<IStreamSource> source,
                 std::uint32_t sliceTicks);
  /// The live play's source has changed: the stream's thread takes back what the device holds
  /// unheard (IMidiDevice::Retract), drops the rest of its slice and asks the source anew from
  /// the first tick the device has not sounded (its output latency ago). Any thread.
  void SourceChanged();
  /// Starts the stream; the first queued buffer starts now. Nothing happens when running.
  void Restart();
  /// True while a buffer queued under `header` has not been handed back.
  bool Holds(const TMidiHeader* header) const;
  /// What the device sounds now: the engine's history read the device's output latency ago.
  TStreamPosition Position() const;

 private:
  struct Buffer {
    const TMidiHeader* header = nullptr;
    std::vector<StreamEvent> events{};
    bool loop = false;
    NoteSet ends{};                 // the notes its events end
    std::size_t next = 0;           // the first event of this repetition not yet played
    std::uint32_t repetitions = 0;  // repetitions that have ended
    MidiMicros start{0};            // when this repetition started
    MidiMicros baseTime{0};         // when the tick `baseTick` falls due
    std::uint64_t baseTick = 0;
    // A live play: its source, and the slice held in `events`, asked from sliceStart up to
    // sliceTo, played up to sliceEnd (sliceTo, or where the play ends), whose empty event closes
    // it; lastSlice once the source has ended the play there.
    std::shared_ptr<IStreamSource> source{};
    std::uint64_t sliceTicks = 0;
    std::uint64_t sliceStart = 0;
    std::uint64_t sliceTo = 0;
    std::uint64_t sliceEnd = 0;
    bool lastSlice = false;
    // A live play: the ticks before this one went to the device at once with a change; on a
    // device without latency (nothing to take back) they are never asked for anew: what they
    // sent would be sent twice, or left sounding.
    std::uint64_t sentAtOnceEnd = 0;
    // The notes the last change sent at once started (at tick sentAtOnceEnd - 1). A device with
    // latency may have played them before a second change of that tick took the rest back: the
    // second ends them before it sends its own.
    std::vector<MidiMessage> startedAtOnce{};
  };

  /// From `time` on, the stream plays `header`'s repetition `repetitions` from `tick` on, at
  /// `division`, up to `endTick`; a null header: nothing plays from then on.
  struct Mark {
    MidiMicros time{0};
    const TMidiHeader* header = nullptr;
    std::uint32_t repetitions = 0;
    std::uint64_t tick = 0;
    std::uint64_t endTick = 0;
    std::uint32_t division = 0;
  };

  // Everything below runs with mutex_ held, except where it says otherwise.
  bool HoldsLocked(const TMidiHeader* header) const;
  /// Queues `buffer` (Queue's rules) and wakes the thread.
  bool QueueBuffer(Buffer buffer);
  /// Asks a live play's source for the ticks from `from` up to `to` as its slice.
  void RenderSlice(Buffer& buffer, std::uint64_t from, std::uint64_t to);
  /// The live play is asked anew from the first tick the device has not sounded at `now`.
  void RefreshSlice(MidiMicros now);
  /// The tick up to which a mark's position may count: a buffer's last event, or none for a
  /// live play.
  static std::uint64_t MarkEnd(const Buffer& buffer);
  /// The stream's thread: plays what is due, hands buffers back, sleeps until the next due time.
  void Run(std::unique_ptr<IMidiSleeper> sleeper);
  /// Starts the front buffer's next repetition (its first one, or the next of a loop) at `at`.
  /// A note still sounding from before that the repetition never ends gets its note-off here:
  /// the notes it ends itself (a note held over a loop's seam) sound on.
  void StartFront(MidiMicros at);
  MidiMicros DueTime(const Buffer& buffer, std::size_t index) const;
  /// When the front buffer's last event falls (its start when it has none).
  MidiMicros EndTime(const Buffer& buffer) const;
  std::optional<MidiMicros> NextDue() const;
  void PlayDue(MidiMicros now);
  /// The front buffer's repetition has played: it repeats, the next buffer follows, or the play
  /// ends (and its endings are due once the follow window has passed).
  void EndRepetition();
  /// Sends the endings of what was played, due at `due`, after what was sent before them.
  void SendEndings(MidiMicros due);
  void EndEverything();
  void AddMark(const Mark& mark);
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
  bool sourceChanged_ = false;  // a live play's source has changed since its slice was asked
  MidiMicros lastEnd_{0};       // when the last buffer that played ended
  std::optional<MidiMicros> endOfPlay_;  // when its endings go out, unless a buffer follows
  std::deque<Mark> marks_;               // in time order; the last second or so of them
  int pendingNotices_ = 0;  // buffers handed back and not yet reported through bufferDone_
  std::thread thread_;      // set once by the constructor, joined by the destructor
};

}  // namespace brondel::platform
