// The program's one MIDI stream and everything that plays through it: opening and closing the
// stream, the time division, error reports, section and part playing, Stop and Play all, the
// pattern window's own play (a section in a mix of its parts, looping or not) and what sounds
// now, for a play line. Everything runs on the window's thread; the stop flag is the only
// coordination between a waiting play and the commands that run nested inside its wait.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "chords/chart.h"
#include "chords/chord_map.h"
#include "document/rhythm_slot.h"
#include "platform/midi_service.h"
#include "playback/live_play.h"
#include "playback/playback_host.h"
#include "render/part_mix.h"
#include "render/render.h"

namespace brondel {

/// What sounds now, for a play line: a section of a slot (or one part of it, alone) and the tick
/// of the section that the device sounds.
struct TPlayingPosition {
  int slot = 0;
  int section = 0;
  int part = -1;                  // the part a preview plays alone; -1 when the section plays
  std::uint32_t tick = 0;         // ticks from the section's start
  std::uint32_t repetitions = 0;  // repetitions of a looping section that have ended

  friend bool operator==(const TPlayingPosition&, const TPlayingPosition&) = default;
};

class TPlayback {
 public:
  TPlayback(TRhythmDocuments& docs, platform::IMidiService& midi, IPlaybackHost& host);

  // --- The MIDI output stream ---
  /// Makes `deviceId` the selected device, on which the next OpenMidiStream opens the stream.
  void SelectDevice(std::uint32_t deviceId) { deviceId_ = deviceId; }
  /// Opens the stream on the selected device; "OPEN " + text on failure.
  void OpenMidiStream();
  /// Closes the stream; "CLOSE " + text on failure. The handle is kept whatever the result.
  void CloseMidiStream();
  /// Stops the stream and makes the slot's tempo byte its time division ("OPEN " on failure).
  void SetTimeDivision(int slot);
  /// Shows prefix + the service's text for `code`.
  void ShowMidiError(std::string_view prefix, platform::MidiResult code);
  /// Another device was picked from the device list: close the stream, take the entry's index
  /// as the device id (-1, no entry, gives the mapper id 0xFFFFFFFF), open it there.
  void ChangeOutputDevice(int selectedIndex);
  /// Stops the stream, returning the service's result (for callers that report it themselves).
  platform::MidiResult StopStream();

  // --- Rendering and playing ---
  /// Renders section 0-9 of a slot into `buffer` unless the stop flag is set; refreshes the grid
  /// first for the main file.
  void RenderSection(int slot, int section, TEventBuffer& buffer);
  /// Plays one buffer and returns once it has played, was stopped, or a MIDI call failed.
  void PlayEventBuffer(const TEventBuffer& buffer);
  /// The Stop command: sets the stop flag and stops the stream ("OPEN " on failure).
  void Stop();
  /// Section double-click: clears the stop flag and plays `section` of `slot` (the index selected
  /// in its section list) if the slot is loaded.
  void PlaySection(int slot, int section);
  /// Part double-click: `section` and `part` are the lists' selected indices, -1 for none.
  void PlayPart(int slot, int section, int part);
  /// Stops the stream, sets the time division, then plays one part of a section alone
  /// ("This part is empty!" for a part of two records); nothing plays for an index out of range.
  void PreviewPart(int slot, int section, int part);
  /// "Play all" button: does nothing for a slot that is not loaded.
  void PlayAllCommand(int slot);
  /// The eleven-entry demonstration sequence; all ten sections are rendered before it starts.
  void PlayAll(int slot);

  // --- The pattern window's play ---
  /// Clears the stop flag; for a loaded slot renders the section with only the parts `mix` lets
  /// sound (the others keep their places, silent), sets the time division and plays it on the
  /// pattern's own pair of headers, over and over while `loop`. Returns once it has ended, was
  /// stopped, or another play, an open or "Update parameters" took the stream.
  void PlayPattern(int slot, int section, const TPartMix& mix, bool loop);
  /// The pattern window's mix or Loop changed: from the end of the repetition playing, the
  /// section plays in `mix` and loops on, or (Loop off) the play ends there. Nothing happens
  /// while no pattern play sounds.
  void ChangePatternPlay(const TPartMix& mix, bool loop);
  /// A pattern play ends with the repetition playing, its mix kept (the close box's wait).
  void FinishPatternPlay();
  /// Sounds `key` (0-127) at `velocity` (1-127) for kAuditionMilliseconds on part 0-4's channel
  /// with the part's sound in section 0-9 of a slot: the pattern editor's audition. The one
  /// stream cannot sound a note beside a play without replacing its buffer, so nothing happens
  /// while anything plays (or waits to), nor without an open stream; an audition that fails
  /// shows no message. A play started meanwhile stops the audition.
  void AuditionNote(int slot, int section, int part, int key, int velocity);
  static constexpr std::uint32_t kAuditionMilliseconds = 250;

  /// What sounds now and where, from the stream's position (the device's latency taken off);
  /// none while nothing sounds. A live play tells the section and tick of the bar sounding.
  /// Play all's entries are told apart by the section it last
  /// queued, so the entry before shows for the moment of the latency after a change.
  std::optional<TPlayingPosition> PlayingNow();

  // --- Play along: the main file's rhythm played live ---
  /// How a live play starts: from an intro (which leads into Var1) or a variation, perhaps
  /// waiting for its first chord, with the parts' settings, perhaps under a chart.
  struct TLiveStart {
    int section = 2;  // Var1
    bool syncStart = false;
    chords::TPlaySettings play = chords::DefaultPlaySettings();
    std::optional<chords::TChart> chart{};
  };
  /// Clears the stop flag; for a loaded main file starts a live play of its rhythm (under the
  /// chord set last, unless it waits for one or plays a chart) on the live header, the stream
  /// asking for it a beat at a time, and returns once an ending has played, it was stopped, or
  /// another play, an open or "Update parameters" took the stream. A section without bars is
  /// refused with a message ("Var1 has no bars").
  void PlayLive(const TLiveStart& start);
  /// Steers the live play (chord, section, settings); safe from any thread, also while no live
  /// play runs (the chord is then kept for the next one).
  TLiveControl& Live() { return *live_; }
  /// The same control, for a thread that holds on to it.
  std::shared_ptr<TLiveControl> LiveControl() const { return live_; }
  /// What the live play sounds now (chord, section and bar) and what is asked; none while no
  /// live play runs.
  std::optional<TLiveState> LiveNow();

  bool StopFlag() const { return stopFlag_; }
  void SetStopFlag(bool on) { stopFlag_ = on; }
  std::uint32_t DeviceId() const { return deviceId_; }
  platform::MidiStreamHandle Handle() const { return handle_; }
  const platform::TMidiHeader& StreamHeader() const { return header_; }
  /// The slot's render-event array after its last render.
  const std::vector<TRenderEvent>& RenderEvents(int slot) const;

  /// The fixed play-all order of section numbers.
  static const std::array<std::uint8_t, 11> kPlayAllOrder;

 private:
  /// What a buffer queued on a header plays: a section of a slot or, for a part preview, one
  /// part of it, whose buffer ticks are mapped back onto the section's.
  struct TBufferContent {
    int slot = 0;
    int section = 0;
    int part = -1;
    std::vector<TTickPair> partTicks;  // a preview's (buffer tick, section tick) pairs

    /// The section's tick at a tick of the buffer.
    std::uint32_t SectionTick(std::uint64_t bufferTick) const;
  };

  /// The pattern play waiting on the call stack: what it plays, and the header of the pair
  /// queued last (the one playing, or the one waiting behind it).
  struct TPatternPlay {
    int slot = 0;
    int section = 0;
    TPartMix mix;
    bool loop = false;
    std::size_t current = 0;
  };

  /// A failed MIDI call while a buffer is queued: the message's prefix and the code.
  struct TMidiFailure {
    std::string_view prefix;
    platform::MidiResult code = platform::kMidiNoError;
    bool prepared = false;  // the header was prepared before the call failed
  };

  /// The wait loop: one host wait, then one unprepare, per pass.
  void WaitUntilHandedBack();
  /// Fills `header` for `buffer` with `flags`, prepares it and queues it; the failure, if any.
  std::optional<TMidiFailure> QueueBuffer(platform::TMidiHeader& header, const TEventBuffer& buffer,
                                          std::uint32_t flags);
  /// Shows a failure of QueueBuffer, then unprepares the header if it was prepared.
  void ReportQueueFailure(platform::TMidiHeader& header, const TMidiFailure& failure);
  /// Queues and starts a buffer ("Prepare  ", "OUT  ", "RESET  " on failure); true when it runs.
  bool StartBuffer(platform::TMidiHeader& header, const TEventBuffer& buffer, std::uint32_t flags);
  /// True while the stream holds the header's buffer; otherwise the header is unprepared.
  bool StillHeld(platform::TMidiHeader& header);
  /// The buffer of a pattern play's section in its mix.
  TEventBuffer RenderPattern(const TPatternPlay& play) const;
  const TRhythmSlot& Slot(int slot) const;

  TRhythmDocuments& docs_;
  platform::IMidiService& midi_;
  IPlaybackHost& host_;
  platform::MidiStreamHandle handle_ = 0;
  std::uint32_t deviceId_ = 0;
  bool stopFlag_ = false;
  platform::TMidiHeader header_{};
  std::array<std::vector<TRenderEvent>, 2> renderEvents_;
  TBufferContent headerContent_;  // what the one stream header carries
  std::array<platform::TMidiHeader, 2> patternHeaders_{};
  TBufferContent patternContent_;        // what the pattern's headers carry
  TPatternPlay* patternPlay_ = nullptr;  // the innermost pattern play waiting, if any
  platform::TMidiHeader auditionHeader_{};
  TEventBuffer auditionBuffer_;
  platform::TMidiHeader liveHeader_{};  // the live play's header (its bytes are never read)
  std::shared_ptr<TLiveControl> live_;
};

}  // namespace brondel
