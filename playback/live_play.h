// Play along: the main file's rhythm played live through the program's one stream. The chord
// engine's TLiveEngine gives the music; TLiveSource hands it to the stream slice by slice on the
// stream's thread; TLiveControl is how anyone asks for chords and sections while it plays.
//
// Threads and locks: the stream's thread calls TLiveSource::Render (the stream's own mutex held,
// then the source's); any thread calls TLiveControl (the window's pad and buttons, a MIDI input
// device's thread): each call takes the control's mutex, then the source's, for a moment (the
// engine only notes the ask), releases both, and then asks the service to wake the stream's
// thread (StreamSourceChanged), which renders what is not yet due anew with the ask in effect.
// No lock is ever held while calling into the service from here, so the order stream → source
// never meets source → stream.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "chords/live_engine.h"
#include "platform/midi_service.h"

namespace brondel {

/// A live engine as the stream's source of slices. Its own calls are safe from any thread.
class TLiveSource final : public platform::IStreamSource {
 public:
  explicit TLiveSource(std::unique_ptr<chords::TLiveEngine> engine);

  /// The engine's slice as stream events (the stream's thread).
  std::optional<std::uint64_t> Render(std::uint64_t from, std::uint64_t to,
                                      std::vector<platform::StreamEvent>& events) override;
  /// Runs `action` on the engine under the source's mutex (keep it short: the stream's thread
  /// waits for it).
  void With(const std::function<void(chords::TLiveEngine&)>& action);
  /// A message to go out as soon as possible (a keyboard's melody note): the next Render gives
  /// it at its first tick, after the engine's own events there. Like the engine's events it is
  /// given again by a Render that asks anew for its tick (the device took back what it had not
  /// played); one that starts after its tick lets it go. Any thread.
  void SendSoon(const platform::MidiMessage& message);

 private:
  /// A message sent soon and the tick it was given at.
  struct TGiven {
    std::uint64_t tick = 0;
    platform::MidiMessage message;
  };
  /// At most this many given messages are kept for a stream that has not asked anew for long.
  static constexpr std::size_t kKeptGiven = 256;

  std::mutex mutex_;  // guards everything below
  const std::unique_ptr<chords::TLiveEngine> engine_;
  std::vector<platform::MidiMessage> soon_;  // sent soon, not given yet
  std::vector<TGiven> given_;                // given, in tick order, until their tick is heard
  std::uint64_t givenUpTo_ = 0;              // the end of the last Render's stretch
};

/// What the window shows of a live play: the chord and section sounding, the one asked.
struct TLiveState {
  chords::TChordSymbol chord;               // the chord asked last
  std::optional<chords::TLivePlace> place;  // where the play sounds now (none: waiting, or ended)
  std::optional<int> askedSection;          // a section asked that has not started
  bool waiting = false;                     // a sync start waits for its first chord
};

/// The calls that steer a live play, safe from any thread: the pad, the section buttons, a MIDI
/// keyboard's chord recognition. Between plays they only keep the chord for the next one.
class TLiveControl {
 public:
  explicit TLiveControl(platform::IMidiService& midi) : midi_(midi) {}

  /// The chord from now on: re-pitches or cuts what sounds by each part's settings; the first
  /// chord of a sync start starts the play.
  void SetChord(const chords::TChordSymbol& chord);
  /// A section from the next bar line (an index of kSectionNames, or chords::kAskFill).
  void AskSection(int section);
  /// The parts' settings from now on.
  void SetPlaySettings(const chords::TPlaySettings& play);
  /// The chord last set (C major before any).
  chords::TChordSymbol Chord() const;
  /// Sends `message` through the live play's stream at once (within the device's period): a
  /// MIDI keyboard's melody. False, and nothing sent, while no live play runs.
  bool SendSoon(const platform::MidiMessage& message);

  // For TPlayback (the window's thread): the play now running on `handle`, or none.
  void Attach(std::shared_ptr<TLiveSource> source, platform::MidiStreamHandle handle);
  void Detach();
  std::shared_ptr<TLiveSource> Source() const;

 private:
  /// Runs `action` on the engine of the play running, then wakes the stream's thread.
  void Steer(const std::function<void(chords::TLiveEngine&)>& action);

  platform::IMidiService& midi_;
  mutable std::mutex mutex_;  // guards the members below
  std::shared_ptr<TLiveSource> source_;
  platform::MidiStreamHandle handle_ = 0;
  chords::TChordSymbol chord_ = chords::TChord{};
};

}  // namespace brondel
