// Play along from a MIDI keyboard on the real stream engine: a fake input device played by the
// test, read by TKeyboardPlay on the input's own thread, steering a live play on a recording
// device and a manual clock that the host moves on by 10 ms at every wait. Every section lasts
// one bar of 400 ticks in 4/4 at tempo 100 (5 ms a tick, 2 s a bar); each section's drums strike
// key 30 + its number at the bar's start, the bass holds C3 and Chord1 C4-E4-G4 through the bar.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "chords/chord.h"
#include "platform/midi/testing/midi_testing.h"
#include "playback/keyboard_play.h"
#include "playback/playback.h"
#include "tests/playback/clock_host.h"
#include "tests/playback/one_bar_sections.h"
#include "tests/support/recorded_notes.h"
#include "tests/support/test_rhythm.h"

namespace brondel::test {
namespace {

using namespace std::chrono_literals;
using platform::MidiMicros;
using platform::RecordedMessage;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int kVar1 = 2, kFill1 = 4, kEnd1 = 8;
constexpr MidiMicros kStep = ClockHost::kStep;
constexpr MidiMicros kBar = kOneBar;
constexpr std::uint8_t kMelodyOn = 0x90;

class KeyboardPlay : public OneBarLivePlay {
 protected:
  KeyboardPlay() {
    EXPECT_EQ(keyboard.DeviceNames(), std::vector<std::string>{"Keys"});
    EXPECT_EQ(keyboard.Open(0), std::nullopt);
  }

  /// The keyboard sends `bytes`; returns once the input's thread has acted on them and the
  /// stream's thread has taken in what they asked.
  void Play(std::initializer_list<std::uint8_t> bytes) {
    const std::uint64_t handled = keyboard.Handled();
    ASSERT_TRUE(keys->Receive(bytes, 0));
    WaitHandled(handled);
  }
  void WaitHandled(std::uint64_t before) {
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (keyboard.Handled() == before) {
      ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "the input's thread did not act";
      std::this_thread::sleep_for(100us);
    }
    clock.Advance(0ms);
  }
  void Press(int key) { Play({0x90, static_cast<std::uint8_t>(key), 100}); }
  void Release(int key) { Play({0x80, static_cast<std::uint8_t>(key), 0}); }

  std::vector<std::pair<int, int>> NotesLeftOn() const { return test::NotesLeftOn(*recorder); }
  /// `rounds` plays of random keys, switches, sections and Stop on a device of `latency` that
  /// takes back what it has not played when it has one; checks each play's notes.
  void PlayRandomly(int rounds, MidiMicros latency);

  std::shared_ptr<platform::FakeMidiInputDevice> keys =
      std::make_shared<platform::FakeMidiInputDevice>("Keys");
  std::unique_ptr<platform::IMidiInputService> inputs =
      platform::MakeMidiInputService({keys}, {.queueCapacity = 64, .watchInterval = 5ms});
  TKeyboardPlay keyboard{*inputs, playback.LiveControl()};
};

TEST_F(KeyboardPlay, TheLeftHandsChordChangesTheLivePlaysChordAtOnce) {
  // A minor: A2 alone reads as A, A2 and C3 as Am; E3 keeps it.
  host.At(1000ms, [&] { Press(45); });
  host.At(1010ms, [&] { Press(48); });
  host.At(1020ms, [&] { Press(52); });
  host.At(1500ms, [&] { Release(45), Release(48), Release(52); });
  host.At(3000ms, [&] { playback.Stop(); });
  playback.PlayLive({});
  EXPECT_EQ(chords::ChordSymbolName(playback.Live().Chord()), "Am") << "memory keeps it";
  // The bass moves to A2 (a root above the break point F# goes down) at the first key; the
  // next bar starts on A minor: C4-E4-A4.
  EXPECT_THAT(NoteOns(kBassOn), ElementsAre(std::pair{0us, 48}, std::pair{MidiMicros{1000ms}, 45},
                                            std::pair{kBar, 45}));
  const auto chordOns = NoteOns(kChordOn);
  ASSERT_GE(chordOns.size(), 3u);
  EXPECT_THAT(std::vector(chordOns.end() - 3, chordOns.end()),
              ElementsAre(std::pair{kBar, 60}, std::pair{kBar, 64}, std::pair{kBar, 69}));
  EXPECT_THAT(NotesLeftOn(), IsEmpty());
}

TEST_F(KeyboardPlay, MelodyNotesPassOnChannelOneWithTheirToneAndNoteOffs) {
  keyboard.SetMelodyTone(73);  // no play yet: kept for the first melody note
  host.At(500ms, [&] { Press(72); });
  host.At(520ms, [&] { Press(76); });
  host.At(700ms, [&] { Release(72); });
  host.At(900ms, [&] { Release(76); });
  host.At(1200ms, [&] { playback.Stop(); });
  playback.PlayLive({});
  std::vector<RecordedMessage> melody;
  for (const RecordedMessage& m : recorder->Messages()) {
    if ((m.message.bytes[0] & 0x0F) == 0 && m.message.bytes[0] != 0xB0) melody.push_back(m);
  }
  ASSERT_EQ(melody.size(), 5u);
  EXPECT_EQ(melody[0].message.bytes[0], 0xC0);
  EXPECT_EQ(melody[0].message.bytes[1], 73);
  EXPECT_EQ(melody[0].due, 500ms);
  EXPECT_THAT(NoteOns(kMelodyOn),
              ElementsAre(std::pair{MidiMicros{500ms}, 72}, std::pair{MidiMicros{520ms}, 76}));
  EXPECT_THAT(NoteOffs(kMelodyOn, 72), ElementsAre(MidiMicros{700ms}));
  EXPECT_THAT(NoteOffs(kMelodyOn, 76), ElementsAre(MidiMicros{900ms}));
  EXPECT_EQ(chords::ChordSymbolName(playback.Live().Chord()), "C") << "the right hand is no chord";
  EXPECT_THAT(NotesLeftOn(), IsEmpty());
}

TEST_F(KeyboardPlay, ProgramChangesAskForSections) {
  host.At(500ms, [&] { Play({0xC0, 3}); });                    // Fill in bar 1: bar 2 fills
  host.At(kBar + 2 * kBar + 500ms, [&] { Play({0xC5, 4}); });  // Ending, any channel
  playback.PlayLive({});
  EXPECT_THAT(BarSections(), ElementsAre(kVar1, kFill1, kVar1, kVar1, kEnd1));
  EXPECT_THAT(NotesLeftOn(), IsEmpty());
}

TEST_F(KeyboardPlay, SynchroStartStartsWithTheFirstLeftHandChord) {
  host.At(800ms, [&] { Press(72); });  // the right hand starts nothing
  host.At(1000ms, [&] { Release(72); });
  host.At(1300ms, [&] { Press(43); });  // G
  host.At(1300ms + kBar + 500ms, [&] { playback.Stop(); });
  playback.PlayLive({.syncStart = true});
  ASSERT_FALSE(NoteOns(kDrumOn).empty());
  EXPECT_EQ(NoteOns(kDrumOn).front().first, 1300ms);
  EXPECT_EQ(NoteOns(kBassOn).front(), std::pair(MidiMicros{1300ms}, 43));
  EXPECT_THAT(NoteOns(kMelodyOn), ElementsAre(std::pair{MidiMicros{800ms}, 72}))
      << "the melody sounds while the play waits";
  EXPECT_THAT(NotesLeftOn(), IsEmpty());
}

TEST_F(KeyboardPlay, StopEndsEveryNoteAndTheKeysHeldPlayNothingAfter) {
  MidiMicros stopped{};
  host.At(500ms, [&] { Press(40), Press(43), Press(47); });  // E minor
  host.At(600ms, [&] { Press(79), Press(83); });
  host.At(900ms, [&] {
    playback.Stop();
    keyboard.ReleaseAll();
    stopped = clock.Now();
  });
  playback.PlayLive({});
  const std::size_t atStop = recorder->Messages().size();
  EXPECT_THAT(NotesLeftOn(), IsEmpty());
  for (const RecordedMessage& m : recorder->Messages()) EXPECT_LE(m.due, stopped);
  Release(79), Release(40), Press(84);
  EXPECT_EQ(recorder->Messages().size(), atStop) << "nothing plays while no live play runs";
  EXPECT_EQ(chords::ChordSymbolName(playback.Live().Chord()), "Em");
}

TEST_F(KeyboardPlay, ADeviceThatGoesIsReportedOnceItsNotesEndedAndThePlayGoesOn) {
  host.At(500ms, [&] { Press(72); });
  host.At(1000ms, [&] {
    const std::uint64_t handled = keyboard.Handled();
    keys->Disappear("unplugged");
    WaitHandled(handled);
  });
  host.At(kBar + kBar / 2, [&] { playback.Stop(); });
  playback.PlayLive({});
  EXPECT_THAT(NoteOffs(kMelodyOn, 72), ElementsAre(MidiMicros{1000ms}));
  EXPECT_THAT(BarSections(), ElementsAre(kVar1, kVar1)) << "the play went on";
  EXPECT_EQ(keyboard.TakeLost(), std::optional<std::string>("unplugged"));
  EXPECT_EQ(keyboard.TakeLost(), std::nullopt);
  EXPECT_TRUE(keyboard.IsOpen()) << "open until closed, delivering nothing";
  keyboard.Close();
  EXPECT_FALSE(keys->IsOpen());
  EXPECT_THAT(NotesLeftOn(), IsEmpty());
}

TEST_F(KeyboardPlay, ADeviceThatWillNotOpenSaysWhy) {
  keyboard.Close();
  keys->FailOpen(platform::kMidiNotEnabled, "no such port");
  const std::optional<std::string> refusal = keyboard.Open(0);
  ASSERT_TRUE(refusal.has_value());
  EXPECT_THAT(*refusal, ::testing::HasSubstr("no such port"));
  EXPECT_FALSE(keyboard.IsOpen());
}

// A chord played key by key asks a chord at each key, here all within one tick: G, then Gm.
// B3, which G's nearest inversion B3-D4-G4 started, ends at Gm's change, not at Stop.
TEST_F(KeyboardPlay, ChordsAskedWithinOneTickEndWhatEachStarted) {
  host.At(1500ms, [&] { Press(43), Press(46), Press(50); });
  host.At(1800ms, [&] { playback.Stop(); });
  playback.PlayLive({});
  EXPECT_EQ(chords::ChordSymbolName(playback.Live().Chord()), "Gm");
  EXPECT_THAT(NoteOns(kChordOn), ::testing::Contains(std::pair{MidiMicros{1500ms}, 58}));
  const auto ons = NoteOns(kChordOn);
  if (std::find(ons.begin(), ons.end(), std::pair{MidiMicros{1500ms}, 59}) != ons.end()) {
    EXPECT_THAT(NoteOffs(kChordOn, 59), ::testing::Contains(MidiMicros{1500ms}))
        << "B3 left sounding until Stop";
  }
}

// The same on a device with an output latency, which plays what it was sent at once before a
// second change of the tick took the rest back: the notes the first change started end at the
// second, and none is left sounding until Stop.
TEST_F(KeyboardPlay, ChordsAskedWithinOneTickEndWhatEachStartedOnADeviceWithLatency) {
  recorder->SetOutputLatency(30ms);
  host.At(1500ms, [&] { Press(43), Press(46), Press(50); });
  host.At(1800ms, [&] { playback.Stop(); });
  playback.PlayLive({});
  EXPECT_EQ(chords::ChordSymbolName(playback.Live().Chord()), "Gm");
  // G's B3 is no note of G minor: it ends at the second change, long before Stop.
  const auto ons = NoteOns(kChordOn);
  ASSERT_THAT(ons, ::testing::Contains(std::pair{MidiMicros{1470ms}, 59}));
  EXPECT_THAT(NoteOffs(kChordOn, 59), ::testing::Contains(MidiMicros{1470ms}));
  // A key started again was ended before: no note is started twice over.
  for (const auto& [time, key] : ons) {
    const auto offs = NoteOffs(kChordOn, key);
    const auto started = std::count_if(ons.begin(), ons.end(), [&](const auto& on) {
      return on.second == key && on.first <= time;
    });
    const auto ended =
        std::count_if(offs.begin(), offs.end(), [&](MidiMicros off) { return off <= time; });
    EXPECT_LE(started - ended, 1) << "key " << key << " started twice at " << time.count();
  }
}

// Both hands at one moment on a device that takes back what it has not played (JACK, the
// synthesizer): the melody note went at once, the chord change after it took it back, and it
// is sent again with the re-pitched notes instead of being lost.
TEST_F(KeyboardPlay, AMelodyNoteThatAChordChangeTookBackIsSentAgain) {
  recorder->SetOutputLatency(30ms);
  recorder->SetTakesBack(true);
  host.At(1500ms, [&] { Press(72), Press(45); });
  host.At(1700ms, [&] { Release(72), Release(45); });
  host.At(1900ms, [&] { playback.Stop(); });
  playback.PlayLive({});
  EXPECT_EQ(chords::ChordSymbolName(playback.Live().Chord()), "A");
  EXPECT_THAT(NoteOns(kBassOn), ::testing::Contains(std::pair{MidiMicros{1470ms}, 45}));
  const auto melody = NoteOns(kMelodyOn);
  ASSERT_FALSE(melody.empty()) << "the melody note was taken back and not sent again";
  EXPECT_EQ(melody.back(), (std::pair{MidiMicros{1470ms}, 72}));
  EXPECT_THAT(NoteOffs(kMelodyOn, 72), ::testing::Contains(MidiMicros{1670ms}));
  EXPECT_THAT(NotesLeftOn(), IsEmpty());
}

// Random play: left-hand keys, right-hand keys, program changes (Ending among them), the
// window's section buttons, the memory and fingering switches and Stop at random moments, over
// many plays on one stream. After each: every note-on was ended on its channel and key, nothing
// was sent after Stop, and every bass and chord note started on a key its chord's table gives
// (the chord asked last before it, or one asked at that moment).
void KeyboardPlay::PlayRandomly(int rounds, MidiMicros latency) {
  recorder->SetOutputLatency(latency);
  recorder->SetTakesBack(latency > MidiMicros{0});
  std::mt19937 random(20);
  const auto pick = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    recorder->ClearRecording();
    host.Clear();
    const MidiMicros start = clock.Now();
    std::vector<std::pair<MidiMicros, chords::TChordSymbol>> chords = {
        {start, playback.Live().Chord()}};
    std::vector<int> held;
    MidiMicros at = start;
    MidiMicros stopped = MidiMicros::max();
    const int actions = pick(5, 40);
    for (int a = 0; a < actions; ++a) {
      at += kStep * pick(0, 30);
      const int kind = pick(0, 99);
      std::function<void()> action;
      if (kind < 35) {
        const int key = pick(36, 54);
        action = [this, key, &held] {
          Press(key);
          held.push_back(key);
        };
      } else if (kind < 55) {
        const int key = pick(55, 90);
        action = [this, key, &held] {
          Press(key);
          held.push_back(key);
        };
      } else if (kind < 80) {
        action = [this, &held, &random] {
          if (held.empty()) return;
          const std::size_t i =
              std::uniform_int_distribution<std::size_t>(0, held.size() - 1)(random);
          Release(held[i]);
          held.erase(held.begin() + static_cast<std::ptrdiff_t>(i));
        };
      } else if (kind < 88) {
        const auto program = static_cast<std::uint8_t>(pick(0, 5));
        action = [this, program] { Play({0xC0, program}); };
      } else if (kind < 93) {
        const int section =
            std::array{2, 3, chords::kAskFill}[static_cast<std::size_t>(pick(0, 2))];
        action = [this, section] { playback.Live().AskSection(section); };
      } else if (kind < 97) {
        const bool memory = pick(0, 1) == 1;
        const bool oneFinger = pick(0, 1) == 1;
        action = [this, memory, oneFinger] {
          keyboard.SetMemory(memory);
          keyboard.SetFingering(oneFinger ? chords::TFingering::kOneFinger
                                          : chords::TFingering::kFingered);
        };
      } else {
        action = [this, &stopped] {
          playback.Stop();
          keyboard.ReleaseAll();
          stopped = std::min(stopped, clock.Now());
        };
      }
      host.At(at, [this, action, &chords] {
        action();
        const chords::TChordSymbol chord = playback.Live().Chord();
        if (chord != chords.back().second) chords.emplace_back(clock.Now(), chord);
      });
    }
    host.At(at + kStep, [this, &stopped] {
      playback.Stop();
      keyboard.ReleaseAll();
      stopped = std::min(stopped, clock.Now());
    });
    playback.PlayLive({.syncStart = pick(0, 3) == 0});
    // A play that an ending ended gets the stream's endings a moment later.
    clock.Advance(100ms);
    // Keys still held are let go between plays, as a player does.
    for (int key : held) Release(key);
    held.clear();
    keyboard.ReleaseAll();

    EXPECT_THAT(NotesLeftOn(), IsEmpty());
    for (const RecordedMessage& m : recorder->Messages()) {
      EXPECT_LE(m.due, stopped) << "sent after Stop";
      const std::uint8_t status = m.message.bytes[0];
      if ((status != kBassOn && status != kChordOn) || m.message.bytes[2] == 0) continue;
      // The chords in effect: the last one asked before the note sounds (its due time plus
      // the device's latency), and any asked at that moment.
      const MidiMicros sounds = m.due + latency;
      std::vector<chords::TChordSymbol> allowed;
      for (const auto& [time, chord] : chords) {
        if (time < sounds) allowed.assign(1, chord);
        if (time == sounds) allowed.push_back(chord);
      }
      const int pitch = m.message.bytes[1] % 12;
      const bool fits = std::any_of(allowed.begin(), allowed.end(), [pitch](const auto& chord) {
        if (!chord) return false;
        const std::vector<int> pitches = chords::TablePitchClasses(*chord);
        return std::find(pitches.begin(), pitches.end(), pitch) != pitches.end();
      });
      EXPECT_TRUE(fits) << "key " << int{m.message.bytes[1]} << " at " << m.due.count()
                        << " us fits no chord held then";
    }
    if (HasFailure()) break;
  }
}

TEST_F(KeyboardPlay, RandomPlayLeavesNoNoteOnAndFollowsTheChordHeld) {
  PlayRandomly(1000, 0us);
}

// The same on a device that takes back what it has not played when a change comes, as JACK and
// the synthesizer do: what it took back is sent again, and nothing is left sounding.
TEST_F(KeyboardPlay, RandomPlayOnADeviceThatTakesBackLeavesNoNoteOn) {
  PlayRandomly(300, 30ms);
}

}  // namespace
}  // namespace brondel::test
