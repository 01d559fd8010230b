// Play along from a MIDI keyboard: an open MIDI input read as an arranger keyboard's two hands
// (chords::TLeftHand), steering the live play. The left hand's chord goes to the live play as the
// pad's would, a section asked by a program change or a chosen key as its button's would, and the
// right hand's melody goes out through the live play's own stream on the melody channel.
//
// Threads and locks: the input's own thread (platform/midi_input.h) calls Receive and Lost; the
// window's thread opens, closes and sets the left hand's switches. mutex_ guards the left hand
// (TLeftHand is not thread-safe) and is held while a message is read and its events acted on, so
// that a chord reaches the live play on the input's thread with no hop in between: the change is
// heard within the output device's period. Acting takes TLiveControl's locks under mutex_ (order:
// mutex_, then the control's, then the source's; the control releases them before it wakes the
// stream), and nothing that holds one of those ever calls in here. Close releases mutex_ before
// it closes the input, whose thread may be waiting for it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "chords/left_hand.h"
#include "platform/midi_input.h"
#include "playback/live_play.h"

namespace brondel {

/// The live play's section (an index of kSectionNames, chords::kAskFill or kAskEnding) for a
/// section button: Intro is Intro1, Fill and Ending those of the variation playing.
int LiveSection(chords::TSectionButton button);

class TKeyboardPlay {
 public:
  /// Listens through `inputs` and steers `live`; both must outlive it.
  TKeyboardPlay(platform::IMidiInputService& inputs, std::shared_ptr<TLiveControl> live);
  /// Closes the input, if one is open.
  ~TKeyboardPlay();
  TKeyboardPlay(const TKeyboardPlay&) = delete;
  TKeyboardPlay& operator=(const TKeyboardPlay&) = delete;

  /// The input devices now; an index is a device id for Open.
  std::vector<std::string> DeviceNames();
  /// Listens to device `deviceId` of the last list instead of the one before (closed first); the
  /// service's text when it would not open ("The MIDI driver could not open the input device:
  /// ..."), none on success.
  std::optional<std::string> Open(std::uint32_t deviceId);
  /// Stops listening; the melody notes still sounding are ended. Nothing happens when none is open.
  void Close();
  bool IsOpen() const;
  /// The reason the open device went away, once: the first call after it went tells it, later
  /// ones say nothing. The play goes on without the device (its melody notes were ended).
  std::optional<std::string> TakeLost();
  /// Stop: the melody notes still sounding end and the keys held are forgotten, so that their
  /// release plays nothing.
  void ReleaseAll();

  // The left hand's switches (the window's thread; safe from any).
  int SplitKey() const;
  void SetSplitKey(int key);
  /// The next key pressed becomes the split point.
  void LearnSplit();
  bool Learning() const;
  bool Memory() const;
  void SetMemory(bool on);
  chords::TFingering Fingering() const;
  void SetFingering(chords::TFingering fingering);
  int MelodyTone() const;
  /// The melody's program from now on, sent at once while a live play runs.
  void SetMelodyTone(int program);
  chords::TSectionMap Sections() const;
  void SetSections(chords::TSectionMap sections);
  /// The chord the left hand holds (none: N.C., also before the first).
  chords::TChordSymbol Chord() const;
  /// How many messages (and device losses) the input's thread has acted on.
  std::uint64_t Handled() const { return handled_.load(); }

 private:
  /// The input's thread: one message, read and acted on.
  void Receive(const platform::TInputMessage& message);
  /// The input's thread: the device went away.
  void Lost(const std::string& reason);
  /// The left hand's events as the live play's calls (mutex_ held).
  void Act(const std::vector<chords::TLeftHandEvent>& events);
  /// A melody message through the live play's stream, the melody's tone first when this play
  /// has not had it yet (mutex_ held).
  void SendMelody(const platform::MidiMessage& message);
  /// The handle open now, taken out (mutex_ not held when it is closed).
  platform::MidiInputHandle TakeHandle();

  platform::IMidiInputService& inputs_;
  const std::shared_ptr<TLiveControl> live_;
  mutable std::mutex mutex_;  // guards every member below
  chords::TLeftHand hand_;
  platform::MidiInputHandle handle_ = 0;
  std::optional<std::string> lost_;        // the reason the device went, until told
  std::weak_ptr<TLiveSource> toneSentTo_;  // the live play that has the melody's tone
  std::atomic<std::uint64_t> handled_{0};
};

}  // namespace brondel
