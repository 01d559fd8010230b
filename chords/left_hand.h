// A MIDI keyboard played as an arranger keyboard's left and right hands: the keys at or below a
// split point hold the chord, the keys above it play a melody, and program changes or chosen keys
// ask for sections. TLeftHand turns the keyboard's messages, one at a time, into what a live play
// does with them (the chord changed, a melody note, a section asked for, the start). Pure state:
// no clock, no device; the live engine feeds it and acts on its events. Rules in docs/CHORDS.md.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "chords/chord_recognition.h"
#include "platform/midi_service.h"

namespace brondel::chords {

/// The section buttons a player presses: what a program change or a chosen key asks for.
enum class TSectionButton { kIntro, kVariation1, kVariation2, kFill, kEnding };

/// Which program changes and which keys ask for which section. A key mapped here asks for its
/// section and plays nothing else, whichever side of the split it lies on.
struct TSectionMap {
  std::map<int, TSectionButton> programs;  // program number (0 to 127) to section
  std::map<int, TSectionButton> keys;      // key (0 to 127) to section

  /// Programs 0 to 4 ask for Intro, Var1, Var2, Fill and Ending (5 to 9 are free for the
  /// player's choice); no key.
  static TSectionMap Defaults();
  friend bool operator==(const TSectionMap&, const TSectionMap&) = default;
};

/// The default split point: F#3, key 54 (middle C is C4, 60).
inline constexpr int kDefaultSplitKey = 54;
/// The channel the melody plays on, counted from 0 (channel 1 as a player counts).
inline constexpr int kMelodyChannel = 0;

/// What a message did.
struct TLeftHandEvent {
  enum class TKind {
    kChordChanged,  // `chord` is the chord the left hand now holds (none: N.C.)
    kMelody,        // `message` is to be played as it is: a note on the melody channel
    kSectionAsked,  // `section` was asked for
    kStart,         // synchro start: the first left-hand key while armed (after its chord)
    kSplitLearned,  // `splitKey` is the new split point (the key pressed while learning)
  };
  TKind kind = TKind::kChordChanged;
  TChordSymbol chord;
  platform::MidiMessage message;
  TSectionButton section = TSectionButton::kVariation1;
  int splitKey = kDefaultSplitKey;

  friend bool operator==(const TLeftHandEvent&, const TLeftHandEvent&) = default;
};

/// The two hands of a keyboard. Messages on any channel count; notes and program changes are
/// read, everything else is ignored.
class TLeftHand {
 public:
  TLeftHand() = default;

  /// Reads one message and says what it did, in order (often nothing). A key pressed below or at
  /// the split reads the held left-hand keys as a chord (a set that reads as no chord keeps the
  /// chord); releasing keys keeps the chord, unless memory is off and the left hand is empty
  /// (then N.C.). A key above the split plays on the melody channel, and its release ends it
  /// there even if the split has moved since.
  std::vector<TLeftHandEvent> Receive(const platform::MidiMessage& message);

  /// The melody notes still sounding ended, on the melody channel (for Stop or a closed input);
  /// the keys are forgotten as held.
  std::vector<TLeftHandEvent> ReleaseAll();

  /// The chord held now (none: N.C., also before the first chord).
  const TChordSymbol& Chord() const { return chord_; }
  int SplitKey() const { return split_; }
  void SetSplitKey(int key);
  /// The next key pressed becomes the split point; it plays nothing.
  void LearnSplit() { learning_ = true; }
  bool Learning() const { return learning_; }
  TFingering Fingering() const { return fingering_; }
  void SetFingering(TFingering fingering) { fingering_ = fingering; }
  /// Memory on (the default): the chord stays when the left hand lets go.
  bool Memory() const { return memory_; }
  void SetMemory(bool on) { memory_ = on; }
  /// Synchro start: the next left-hand key starts the play (once).
  bool SyncArmed() const { return syncArmed_; }
  void ArmSyncStart(bool armed) { syncArmed_ = armed; }
  /// The General MIDI program (0 to 127) the melody plays with; default 0, the piano.
  int MelodyTone() const { return melodyTone_; }
  void SetMelodyTone(int program);
  /// The program change that gives the melody channel its tone: to be sent before the first
  /// melody note and whenever the tone changes.
  platform::MidiMessage MelodyToneMessage() const;
  const TSectionMap& Sections() const { return sections_; }
  void SetSections(TSectionMap sections) { sections_ = std::move(sections); }
  /// The left-hand keys held now, lowest first.
  std::vector<int> LeftKeys() const;

 private:
  enum class TKeyRole : std::uint8_t { kNone, kLeft, kMelody, kTaken };

  void Press(int key, int velocity, std::vector<TLeftHandEvent>& events);
  void Release(int key, std::vector<TLeftHandEvent>& events);
  void ChangeChord(const TChordSymbol& chord, std::vector<TLeftHandEvent>& events);

  std::array<TKeyRole, 128> roles_{};  // what each key held down is doing
  TChordSymbol chord_;
  int split_ = kDefaultSplitKey;
  bool learning_ = false;
  TFingering fingering_ = TFingering::kFingered;
  bool memory_ = true;
  bool syncArmed_ = false;
  int melodyTone_ = 0;
  TSectionMap sections_ = TSectionMap::Defaults();
};

/// A melody note message on the melody channel.
platform::MidiMessage MelodyMessage(std::uint8_t kind, int key, int velocity);

}  // namespace brondel::chords
