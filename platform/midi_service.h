// The MIDI output service the program talks to: a stream of timed short messages on one
// output device, with the calls and result codes of a classic MIDI stream interface; the layout
// of the stream-event buffers it plays; and the system's service with its error texts. This is
// all of platform/midi that the program sees (its headers under platform/midi/ are private to
// it; brondel-tool's offline rendering is in platform/offline_synth.h).
//
// Threads: the program calls the service from one thread (the window's, or brondel-tool's main
// thread). Every open stream plays its queued buffers on a thread of its own, which calls only
// the buffer-done notifier; the service's calls are nonetheless safe from any thread.
//
// The end of a play: when a buffer has played to its end and nothing follows it (nothing queued
// within a moment of its end), and at every Stop, the stream ends every note it started that
// still sounds and sends All Notes Off on every channel it has used, on every device. A buffer
// that follows another seamlessly (queued behind it, queued within that moment, or a looping
// buffer's next repetition) starts where the other ended and cuts no note it ends itself; a note
// still sounding that it never ends (a part muted in a loop's next rendering) ends at the seam.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brondel::platform {

using MidiResult = std::uint32_t;

/// Result codes (0 = no error). Every code has a text from IMidiService::ErrorText.
enum : MidiResult {
  kMidiNoError = 0,
  kMidiError = 1,          // unspecified error
  kMidiBadDeviceId = 2,    // no device has that id
  kMidiNotEnabled = 3,     // driver failed to enable
  kMidiAllocated = 4,      // device already in use
  kMidiInvalidHandle = 5,  // no stream is open under that handle
  kMidiNoDriver = 6,       // no driver / no audio output works
  kMidiNoMemory = 7,
  kMidiNotSupported = 8,
  kMidiInvalidFlag = 10,
  kMidiInvalidParam = 11,
  kMidiUnprepared = 64,    // header not prepared
  kMidiStillPlaying = 65,  // the stream still holds the buffer
  kMidiNotReady = 67,      // device busy
  kMidiNoSoundfont = 80,   // the built-in synthesizer found no General MIDI soundfont
  kMidiMessagesLost = 81,  // the device closed with messages it could not deliver
};

/// The one stream header: the buffer lent to the stream for the length of a play.
struct TMidiHeader {
  const std::uint8_t* lpData = nullptr;
  std::uint32_t dwBufferLength = 0;
  std::uint32_t dwBytesRecorded = 0;
  std::uint32_t dwFlags = 0;
};

/// Header flags, as the service sets them.
enum : std::uint32_t {
  kHeaderDone = 0x01,
  kHeaderPrepared = 0x02,
  kHeaderInQueue = 0x10,
};

/// Header flag (our own): the buffer repeats until a buffer is queued behind it or the stream
/// stops; each repetition starts where the previous one's last event falls (one section length
/// for a rendered section, so repetitions join without a gap). A buffer queued behind a looping
/// one starts at its next seam, so a changed rendering takes over at the next repetition (queued
/// again under the same header before that seam, it replaces the one queued there). A buffer
/// whose last event falls on its first moment plays once.
inline constexpr std::uint32_t kHeaderLoop = 0x100;

/// Where the stream is: the header of the buffer now sounding (nullptr when none), the ticks of
/// it played so far counted from its start (from the start of the current repetition when it
/// loops), and how many repetitions of it have ended.
struct TStreamPosition {
  const TMidiHeader* header = nullptr;
  std::uint64_t ticks = 0;
  std::uint32_t repetitions = 0;
};

using MidiStreamHandle = std::uint32_t;  // 0 is never a valid handle

class IStreamSource;

/// Device id that stands for "the default device" (device 0).
inline constexpr std::uint32_t kMidiMapper = 0xFFFFFFFFu;

class IMidiService {
 public:
  virtual ~IMidiService() = default;

  /// Names of the output devices; the position in the list is the device id.
  virtual std::vector<std::string> OutputDeviceNames() = 0;
  /// Opens a stream on a device; on success stores a handle that is not 0.
  virtual MidiResult StreamOpen(MidiStreamHandle* handle, std::uint32_t deviceId) = 0;
  virtual MidiResult StreamClose(MidiStreamHandle handle) = 0;
  /// Stops the stream: every sounding note ends and a queued buffer is handed back as done.
  virtual MidiResult StreamStop(MidiStreamHandle handle) = 0;
  /// Ticks per quarter note; one tick lasts 500,000 / timeDivision microseconds.
  virtual MidiResult StreamSetTimeDivision(MidiStreamHandle handle, std::uint32_t timeDivision) = 0;
  virtual MidiResult PrepareHeader(MidiStreamHandle handle, TMidiHeader* header) = 0;
  /// Queues the header's buffer (12-byte stream events); the service copies the bytes.
  /// kMidiStillPlaying while a buffer under this header plays; a buffer under it that still
  /// waits behind another (queued behind a loop, say) is replaced by the new one.
  virtual MidiResult StreamOut(MidiStreamHandle handle, TMidiHeader* header) = 0;
  /// Starts (or resumes) playing the queued buffer.
  virtual MidiResult StreamRestart(MidiStreamHandle handle) = 0;
  /// kMidiStillPlaying while the stream holds the buffer, 0 once it has been handed back.
  virtual MidiResult UnprepareHeader(MidiStreamHandle handle, TMidiHeader* header) = 0;
  /// Fills `position` as the device sounds it: its output latency taken off, so the ticks match
  /// what arrives on the wire (or in the speaker), not what the engine has handed over. The
  /// ticks follow time divisions set while playing; after a Stop nothing is sounding.
  virtual MidiResult StreamPosition(MidiStreamHandle handle, TStreamPosition* position) = 0;
  /// A text for every result code.
  virtual std::string ErrorText(MidiResult code) = 0;
  /// `notifier` is called on a stream's thread whenever a queued buffer has been handed back
  /// (played to its end or stopped), so a waiting play can wake instead of polling. Once this
  /// returns, the previous notifier is neither running nor called again.
  virtual void SetBufferDoneNotifier(std::function<void()> notifier) = 0;

  /// Queues a live play under `header` (prepared, its bytes unread) as StreamOut queues a buffer:
  /// the stream asks `source` for its events `sliceTicks` ticks at a time, each slice as the one
  /// before has played, until the source says the play ends. Services without live plays
  /// answer kMidiNotSupported.
  virtual MidiResult StreamOutLive(MidiStreamHandle handle, TMidiHeader* header,
                                   std::shared_ptr<IStreamSource> source,
                                   std::uint32_t sliceTicks) {
    static_cast<void>(handle), static_cast<void>(header), static_cast<void>(source);
    static_cast<void>(sliceTicks);
    return kMidiNotSupported;
  }
  /// The live play's source has changed what it plays: what the device holds and has not played
  /// yet is taken back (a note's end goes at once), and the stream asks the source anew from the
  /// first tick the device has not sounded, so the change is heard within the device's period.
  /// Safe from any thread; it only wakes the stream's thread, which asks the source. Nothing
  /// happens while no live play sounds.
  virtual MidiResult StreamSourceChanged(MidiStreamHandle handle) {
    static_cast<void>(handle);
    return kMidiNotSupported;
  }
};

/// A text for every result code, including codes no call returns ("Unknown MIDI error 123").
std::string MidiErrorText(MidiResult code);

/// The system's service: the built-in synthesizer first, then every MIDI output port.
std::unique_ptr<IMidiService> MakeSystemMidiService();

/// One complete short MIDI message: a status byte and its 0 to 2 data bytes, each below 128.
struct MidiMessage {
  std::array<std::uint8_t, 3> bytes{};
  std::uint8_t size = 0;

  friend bool operator==(const MidiMessage&, const MidiMessage&) = default;
};

/// Size of one stream-event record: delta ticks, stream id, event (each u32, little-endian).
inline constexpr std::size_t kStreamEventSize = 12;

/// One event of a stream-event buffer: its tick from the buffer's start and its message, if any.
struct StreamEvent {
  std::uint64_t tick = 0;
  std::optional<MidiMessage> message;  // empty: the event keeps its place in time, sends nothing
};

/// What a live play sends, asked for slice by slice on the stream's thread
/// (IMidiService::StreamOutLive). Its ticks are counted from the play's start, at the stream's
/// time division.
class IStreamSource {
 public:
  virtual ~IStreamSource() = default;
  /// The events from tick `from` up to `to` (exclusive), in the order they go, into `events`
  /// (empty when called); the tick the play ends at when it ends by `to`. Called on the
  /// stream's thread with the stream's lock held: it must not call the service. Each call starts
  /// at or before the last one's end; one that starts before it replaces the stretch from `from`
  /// on, of which the device has sounded nothing (what it held has been taken back). `from` never
  /// goes back past a tick the device has sounded.
  virtual std::optional<std::uint64_t> Render(std::uint64_t from, std::uint64_t to,
                                              std::vector<StreamEvent>& events) = 0;
};

/// The events of a buffer of stream-event records as a stream plays them: a record whose event is
/// not a short channel message, or has a data byte above 127, sends nothing. Nullopt when the
/// length is not a whole number of records.
std::optional<std::vector<StreamEvent>> DecodeStreamEvents(std::span<const std::uint8_t> bytes);

}  // namespace brondel::platform
