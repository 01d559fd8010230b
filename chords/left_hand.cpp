#include "chords/left_hand.h"

#include "platform/midi_messages.h"

namespace brondel::chords {

namespace {

constexpr int kKeyCount = 128;

bool IsKey(int key) {
  return key >= 0 && key < kKeyCount;
}

TLeftHandEvent ChordEvent(const TChordSymbol& chord) {
  TLeftHandEvent event;
  event.kind = TLeftHandEvent::TKind::kChordChanged;
  event.chord = chord;
  return event;
}

TLeftHandEvent MelodyEvent(std::uint8_t kind, int key, int velocity) {
  TLeftHandEvent event;
  event.kind = TLeftHandEvent::TKind::kMelody;
  event.message = MelodyMessage(kind, key, velocity);
  return event;
}

TLeftHandEvent SectionEvent(TSectionButton section) {
  TLeftHandEvent event;
  event.kind = TLeftHandEvent::TKind::kSectionAsked;
  event.section = section;
  return event;
}

}  // namespace

TSectionMap TSectionMap::Defaults() {
  TSectionMap map;
  map.programs = {{0, TSectionButton::kIntro},
                  {1, TSectionButton::kVariation1},
                  {2, TSectionButton::kVariation2},
                  {3, TSectionButton::kFill},
                  {4, TSectionButton::kEnding}};
  return map;
}

platform::MidiMessage MelodyMessage(std::uint8_t kind, int key, int velocity) {
  platform::MidiMessage message;
  message.bytes = {midi::ChannelStatus(kind, kMelodyChannel), static_cast<std::uint8_t>(key),
                   static_cast<std::uint8_t>(velocity)};
  message.size = 3;
  return message;
}

void TLeftHand::SetSplitKey(int key) {
  if (IsKey(key)) split_ = key;
}

void TLeftHand::SetMelodyTone(int program) {
  if (program >= 0 && program <= midi::kMaxDataByte) melodyTone_ = program;
}

platform::MidiMessage TLeftHand::MelodyToneMessage() const {
  platform::MidiMessage message;
  message.bytes = {midi::ChannelStatus(midi::kProgramChange, kMelodyChannel),
                   static_cast<std::uint8_t>(melodyTone_), 0};
  message.size = 2;
  return message;
}

std::vector<int> TLeftHand::LeftKeys() const {
  std::vector<int> keys;
  for (int key = 0; key < kKeyCount; ++key) {
    if (roles_[static_cast<std::size_t>(key)] == TKeyRole::kLeft) keys.push_back(key);
  }
  return keys;
}

std::vector<TLeftHandEvent> TLeftHand::Receive(const platform::MidiMessage& message) {
  std::vector<TLeftHandEvent> events;
  if (message.size == 0 || !midi::IsChannelStatus(message.bytes[0])) return events;
  const std::uint8_t status = message.bytes[0];
  if (message.size < 1 + midi::DataByteCount(status)) return events;
  const std::uint8_t kind = midi::StatusKind(status);
  if (kind == midi::kProgramChange) {
    const auto asked = sections_.programs.find(message.bytes[1]);
    if (asked != sections_.programs.end()) events.push_back(SectionEvent(asked->second));
  } else if (midi::IsNoteMessage(status)) {
    const int key = message.bytes[1];
    if (midi::EndsANote(status, message.bytes[2])) {
      Release(key, events);
    } else {
      // A key pressed again without its release: the first press ends here.
      Release(key, events);
      Press(key, message.bytes[2], events);
    }
  }
  return events;
}

void TLeftHand::Press(int key, int velocity, std::vector<TLeftHandEvent>& events) {
  TKeyRole& role = roles_[static_cast<std::size_t>(key)];
  if (learning_) {
    learning_ = false;
    split_ = key;
    role = TKeyRole::kTaken;
    TLeftHandEvent event;
    event.kind = TLeftHandEvent::TKind::kSplitLearned;
    event.splitKey = key;
    events.push_back(event);
    return;
  }
  if (const auto asked = sections_.keys.find(key); asked != sections_.keys.end()) {
    role = TKeyRole::kTaken;
    events.push_back(SectionEvent(asked->second));
    return;
  }
  if (key > split_) {
    role = TKeyRole::kMelody;
    events.push_back(MelodyEvent(midi::kNoteOn, key, velocity));
    return;
  }
  role = TKeyRole::kLeft;
  const std::vector<int> held = LeftKeys();
  if (const std::optional<TChord> chord = RecognizeChord(held, fingering_)) {
    ChangeChord(*chord, events);
  }
  if (syncArmed_) {
    syncArmed_ = false;
    TLeftHandEvent start;
    start.kind = TLeftHandEvent::TKind::kStart;
    events.push_back(start);
  }
}

void TLeftHand::Release(int key, std::vector<TLeftHandEvent>& events) {
  TKeyRole& role = roles_[static_cast<std::size_t>(key)];
  const TKeyRole was = role;
  role = TKeyRole::kNone;
  if (was == TKeyRole::kMelody) {
    events.push_back(MelodyEvent(midi::kNoteOff, key, 0));
  } else if (was == TKeyRole::kLeft && !memory_ && LeftKeys().empty()) {
    ChangeChord(std::nullopt, events);
  }
}

std::vector<TLeftHandEvent> TLeftHand::ReleaseAll() {
  std::vector<TLeftHandEvent> events;
  for (int key = 0; key < kKeyCount; ++key) {
    if (roles_[static_cast<std::size_t>(key)] != TKeyRole::kNone) Release(key, events);
  }
  return events;
}

void TLeftHand::ChangeChord(const TChordSymbol& chord, std::vector<TLeftHandEvent>& events) {
  if (chord == chord_) return;
  chord_ = chord;
  events.push_back(ChordEvent(chord_));
}

}  // namespace brondel::chords
