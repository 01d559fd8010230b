// The keyboard's two hands: chords below the split, the melody above it, memory, the split point
// and its learning, sections from program changes and keys, synchro start; and random play, after
// which every melody note is ended and the chord is always one the keys held could make.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "chords/left_hand.h"
#include "platform/midi_messages.h"

namespace brondel::chords {
namespace {

using TKind = TLeftHandEvent::TKind;

platform::MidiMessage Message(std::uint8_t status, int data1, int data2 = -1) {
  platform::MidiMessage message;
  message.bytes = {status, static_cast<std::uint8_t>(data1),
                   static_cast<std::uint8_t>(data2 < 0 ? 0 : data2)};
  message.size = data2 < 0 ? 2 : 3;
  return message;
}
platform::MidiMessage On(int key, int channel = 0, int velocity = 100) {
  return Message(midi::ChannelStatus(midi::kNoteOn, channel), key, velocity);
}
platform::MidiMessage Off(int key, int channel = 0) {
  return Message(midi::ChannelStatus(midi::kNoteOff, channel), key, 64);
}
platform::MidiMessage Program(int program, int channel = 0) {
  return Message(midi::ChannelStatus(midi::kProgramChange, channel), program);
}

// The events of a message, one word each: "chord Am", "melody on 72 100", "melody off 72",
// "section Fill", "start", "split 60".
std::string Words(const std::vector<TLeftHandEvent>& events) {
  static const char* kSections[] = {"Intro", "Var1", "Var2", "Fill", "Ending"};
  std::string text;
  for (const TLeftHandEvent& event : events) {
    if (!text.empty()) text += ", ";
    switch (event.kind) {
      case TKind::kChordChanged:
        text += "chord " + ChordSymbolName(event.chord);
        break;
      case TKind::kMelody: {
        const auto& bytes = event.message.bytes;
        text += "melody";
        if (midi::ChannelOf(bytes[0]) != kMelodyChannel)
          text += " (channel " + std::to_string(midi::ChannelOf(bytes[0])) + ")";
        text += midi::IsNoteOn(bytes[0], bytes[2])
                    ? " on " + std::to_string(bytes[1]) + " " + std::to_string(bytes[2])
                    : " off " + std::to_string(bytes[1]);
        break;
      }
      case TKind::kSectionAsked:
        text += std::string("section ") + kSections[static_cast<int>(event.section)];
        break;
      case TKind::kStart:
        text += "start";
        break;
      case TKind::kSplitLearned:
        text += "split " + std::to_string(event.splitKey);
        break;
    }
  }
  return text;
}

// Plays the messages and gives every event, in order.
std::string Play(TLeftHand& hands, const std::vector<platform::MidiMessage>& messages) {
  std::vector<TLeftHandEvent> all;
  for (const auto& message : messages) {
    const auto events = hands.Receive(message);
    all.insert(all.end(), events.begin(), events.end());
  }
  return Words(all);
}

constexpr int kC3 = 48, kE3 = 52, kG3 = 55, kA2 = 45, kF3 = 53;
constexpr int kSplit = kDefaultSplitKey;  // F#3

TEST(LeftHand, KeysAtOrBelowTheSplitMakeTheChordAndTheOthersTheMelody) {
  TLeftHand hands;
  EXPECT_EQ(hands.SplitKey(), 54);
  EXPECT_EQ(Play(hands, {On(kC3), On(kE3), On(kG3 - 12)}), "chord C");
  EXPECT_EQ(Play(hands, {On(kSplit)}), "") << "F#3 is the chord's: C-E-G-F# stays C";
  EXPECT_EQ(Play(hands, {On(kSplit + 1, 3, 90), Off(kSplit + 1, 3)}),
            "melody on 55 90, melody off 55")
      << "any channel in, channel 1 out";
  EXPECT_EQ(hands.LeftKeys(), (std::vector<int>{43, kC3, kE3, kSplit}));
  EXPECT_EQ(hands.Chord(), ParseChordSymbol("C").value());
}

TEST(LeftHand, EachPressReadsTheWholeHandAndAnUnreadableOneKeepsTheChord) {
  TLeftHand hands;
  EXPECT_EQ(Play(hands, {On(kA2)}), "chord A");
  EXPECT_EQ(Play(hands, {On(kC3)}), "chord Am");
  EXPECT_EQ(Play(hands, {On(kE3)}), "") << "A-C-E is still Am";
  EXPECT_EQ(Play(hands, {On(46)}), "") << "A-C-E-Bb reads as nothing: Am stays";
  EXPECT_EQ(Play(hands, {Off(46), On(43)}), "chord Am7") << "G2-A2-C3-E3";
  // Releases never change it: lifting the hand a finger at a time plays no chord on the way.
  EXPECT_EQ(Play(hands, {Off(kA2), Off(kC3), Off(kE3), Off(43)}), "");
  EXPECT_EQ(hands.Chord(), ParseChordSymbol("Am7").value());
}

TEST(LeftHand, MemoryKeepsTheChordAndWithoutItAnEmptyHandIsNoChord) {
  TLeftHand hands;
  EXPECT_TRUE(hands.Memory());
  Play(hands, {On(kF3), On(kA2 + 12), Off(kF3), Off(kA2 + 12)});
  EXPECT_EQ(hands.Chord(), ParseChordSymbol("F").value());
  hands.SetMemory(false);
  EXPECT_EQ(Play(hands, {On(kC3), On(kE3), Off(kC3)}), "chord C") << "a key still held";
  EXPECT_EQ(Play(hands, {Off(kE3)}), "chord N.C.");
  EXPECT_EQ(Play(hands, {On(kSplit + 10), Off(kSplit + 10)}), "melody on 64 100, melody off 64")
      << "the right hand has no say";
  EXPECT_EQ(Play(hands, {On(kG3 - 12), Off(kG3 - 12)}), "chord G, chord N.C.");
  EXPECT_EQ(Play(hands, {On(kG3 - 12), On(kSplit + 2)}), "chord G, melody on 56 100");
  EXPECT_EQ(Words(hands.ReleaseAll()), "chord N.C., melody off 56");
  EXPECT_EQ(Play(hands, {Off(kG3 - 12), Off(kSplit + 2)}), "") << "released already";
}

TEST(LeftHand, TheSplitPointMovesAndIsLearntFromTheNextKey) {
  TLeftHand hands;
  hands.SetSplitKey(60);
  EXPECT_EQ(Play(hands, {On(60), On(61)}), "chord C, melody on 61 100");
  hands.SetSplitKey(128);
  EXPECT_EQ(hands.SplitKey(), 60) << "no such key";
  hands.LearnSplit();
  EXPECT_TRUE(hands.Learning());
  EXPECT_EQ(Play(hands, {On(72)}), "split 72") << "the key learnt plays nothing";
  EXPECT_FALSE(hands.Learning());
  EXPECT_EQ(hands.SplitKey(), 72);
  EXPECT_EQ(Play(hands, {Off(72), Off(60), On(71)}), "chord B") << "its release is nothing either";
  // A melody note sounding when the split moves above it still ends on the melody channel.
  EXPECT_EQ(Play(hands, {Off(61)}), "melody off 61");
  EXPECT_EQ(Play(hands, {On(61)}), "") << "now below the split: C-B-C# reads as nothing";
}

TEST(LeftHand, ProgramChangesAndChosenKeysAskForSections) {
  TLeftHand hands;
  EXPECT_EQ(Play(hands, {Program(0), Program(1), Program(2), Program(3), Program(4)}),
            "section Intro, section Var1, section Var2, section Fill, section Ending");
  EXPECT_EQ(Play(hands, {Program(5), Program(9), Program(127, 15)}), "") << "not mapped";
  TSectionMap map = TSectionMap::Defaults();
  map.programs[9] = TSectionButton::kEnding;
  map.keys[36] = TSectionButton::kFill;
  map.keys[96] = TSectionButton::kVariation2;
  hands.SetSections(map);
  EXPECT_EQ(hands.Sections(), map);
  EXPECT_EQ(Play(hands, {Program(9, 5), On(36), On(96), Off(36), Off(96)}),
            "section Ending, section Fill, section Var2")
      << "a key mapped is neither chord nor melody, on either side";
  EXPECT_EQ(hands.Chord(), TChordSymbol{});
  EXPECT_EQ(Play(hands, {On(36, 0, 0)}), "") << "a note-on of velocity 0 is a release";
}

TEST(LeftHand, SynchroStartStartsWithTheFirstChordOnce) {
  TLeftHand hands;
  hands.ArmSyncStart(true);
  EXPECT_EQ(Play(hands, {On(kSplit + 6), Off(kSplit + 6), Program(1)}),
            "melody on 60 100, melody off 60, section Var1")
      << "the right hand and sections do not start";
  EXPECT_TRUE(hands.SyncArmed());
  EXPECT_EQ(Play(hands, {On(kA2), On(kC3)}), "chord A, start, chord Am");
  EXPECT_FALSE(hands.SyncArmed());
  hands.ArmSyncStart(true);
  hands.ArmSyncStart(false);
  EXPECT_EQ(Play(hands, {On(kE3)}), "");
}

TEST(LeftHand, TheMelodysToneIsAProgramChangeOnItsChannel) {
  TLeftHand hands;
  EXPECT_EQ(hands.MelodyToneMessage(), Program(0));
  hands.SetMelodyTone(73);
  EXPECT_EQ(hands.MelodyToneMessage(), Program(73));
  hands.SetMelodyTone(128);
  hands.SetMelodyTone(-1);
  EXPECT_EQ(hands.MelodyTone(), 73) << "no such program";
}

TEST(LeftHand, OneFingerModeReadsTheHighestKeyAndCountsTheOthers) {
  TLeftHand hands;
  hands.SetFingering(TFingering::kOneFinger);
  EXPECT_EQ(Play(hands, {On(kC3), On(kC3 - 1), On(kC3 - 3), On(kC3 - 5)}),
            "chord C, chord Cm, chord C7, chord Cm7");
}

TEST(LeftHand, ARepeatedPressEndsTheMelodyNoteBeforeItStartsAgain) {
  TLeftHand hands;
  EXPECT_EQ(Play(hands, {On(72), On(72, 1, 50), Off(72)}),
            "melody on 72 100, melody off 72, melody on 72 50, melody off 72");
  EXPECT_EQ(Play(hands, {Off(72), Off(73)}), "") << "releases of keys not down";
}

TEST(LeftHand, MessagesThatAreNoNotesOrProgramsAreIgnored) {
  TLeftHand hands;
  EXPECT_EQ(Play(hands, {Message(0xB0, 64, 127), Message(0xE0, 0, 64), Message(0xD0, 5),
                         Message(0xF8, 0), platform::MidiMessage{}}),
            "");
  platform::MidiMessage cut = On(72);
  cut.size = 2;
  EXPECT_EQ(Play(hands, {cut}), "") << "a note message without its velocity";
}

// Random play: presses and releases on both sides of the split, repeated presses, section keys
// and programs, the split learnt and moved, memory and fingering switched, Stop (ReleaseAll).
// After every message the chord is one the keys held at the last press could make (or N.C. with
// memory off and an empty hand, or the chord from before when those keys made none), and every
// melody note-on is ended exactly once by the end.
TEST(LeftHand, RandomPlayEndsEveryMelodyNoteAndHoldsOnlyChordsTheKeysMake) {
  std::mt19937 random(20);
  for (int run = 0; run < 2000; ++run) {
    TLeftHand hands;
    TSectionMap map = TSectionMap::Defaults();
    map.keys[30] = TSectionButton::kFill;
    map.keys[90] = TSectionButton::kEnding;
    hands.SetSections(map);
    std::set<int> sounding;  // melody keys whose note-on has no note-off yet
    std::set<int> down;      // keys the player holds
    TChordSymbol expected;
    auto check = [&](const std::vector<TLeftHandEvent>& events) {
      for (const TLeftHandEvent& event : events) {
        if (event.kind == TKind::kChordChanged) expected = event.chord;
        if (event.kind != TKind::kMelody) continue;
        const auto& bytes = event.message.bytes;
        ASSERT_EQ(midi::ChannelOf(bytes[0]), kMelodyChannel);
        if (midi::IsNoteOn(bytes[0], bytes[2])) {
          ASSERT_TRUE(sounding.insert(bytes[1]).second) << "a second note-on of " << +bytes[1];
        } else {
          ASSERT_EQ(sounding.erase(bytes[1]), 1u) << "a note-off with no note-on " << +bytes[1];
        }
      }
      ASSERT_EQ(hands.Chord(), expected) << "a chord changed without its event";
    };
    for (int step = 0; step < 60; ++step) {
      const int what = static_cast<int>(random() % 100);
      std::vector<TLeftHandEvent> events;
      if (what < 40) {
        const int key = 28 + static_cast<int>(random() % 70);
        const auto pressed = hands.Receive(
            On(key, static_cast<int>(random() % 16), 1 + static_cast<int>(random() % 127)));
        down.insert(key);
        events = pressed;
        const std::vector<int> left = hands.LeftKeys();
        const bool readsAsChord = std::any_of(pressed.begin(), pressed.end(), [](const auto& e) {
          return e.kind == TKind::kChordChanged;
        });
        // A chord that came with a press is the held keys' (N.C. comes from a release: a
        // repeated press of the last key with memory off).
        if (readsAsChord && hands.Chord()) {
          ASSERT_EQ(RecognizeChord(left, hands.Fingering()), hands.Chord());
        }
      } else if (what < 80 && !down.empty()) {
        auto key = down.begin();
        std::advance(key, random() % down.size());
        const std::vector<int> left = hands.LeftKeys();
        const bool wasLeft = std::find(left.begin(), left.end(), *key) != left.end();
        events = hands.Receive(random() % 2 ? Off(*key) : On(*key, 0, 0));
        down.erase(key);
        if (wasLeft && !hands.Memory() && hands.LeftKeys().empty()) {
          ASSERT_EQ(hands.Chord(), TChordSymbol{}) << "memory off and the hand let go";
        }
      } else if (what < 85) {
        events = hands.Receive(Program(static_cast<int>(random() % 12)));
      } else if (what < 88) {
        hands.LearnSplit();
      } else if (what < 91) {
        hands.SetMemory(!hands.Memory());
      } else if (what < 93) {
        hands.SetFingering(hands.Fingering() == TFingering::kFingered ? TFingering::kOneFinger
                                                                      : TFingering::kFingered);
      } else if (what < 95) {
        hands.ArmSyncStart(true);
      } else if (what < 97) {
        events = hands.ReleaseAll();
        down.clear();
        ASSERT_TRUE(hands.LeftKeys().empty());
      } else {
        hands.SetSplitKey(40 + static_cast<int>(random() % 40));
      }
      check(events);
      if (HasFatalFailure()) return;
    }
    for (int key : std::set<int>(down)) check(hands.Receive(Off(key)));
    ASSERT_TRUE(sounding.empty()) << "melody notes left sounding after every release";
  }
}

}  // namespace
}  // namespace brondel::chords
