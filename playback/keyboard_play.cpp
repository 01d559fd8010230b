#include "playback/keyboard_play.h"

#include "chords/live_engine.h"
#include "chords/section_flow.h"

namespace brondel {

using chords::TLeftHandEvent;
using chords::TSectionButton;

int LiveSection(TSectionButton button) {
  switch (button) {
    case TSectionButton::kIntro:
      return chords::kIntro1;
    case TSectionButton::kVariation1:
      return chords::kVar1;
    case TSectionButton::kVariation2:
      return chords::kVar1 + 1;
    case TSectionButton::kFill:
      return chords::kAskFill;
    case TSectionButton::kEnding:
      return chords::kAskEnding;
  }
  return chords::kVar1;
}

TKeyboardPlay::TKeyboardPlay(platform::IMidiInputService& inputs,
                             std::shared_ptr<TLiveControl> live)
    : inputs_(inputs), live_(std::move(live)) {}

TKeyboardPlay::~TKeyboardPlay() {
  Close();
}

std::vector<std::string> TKeyboardPlay::DeviceNames() {
  return inputs_.InputDeviceNames();
}

std::optional<std::string> TKeyboardPlay::Open(std::uint32_t deviceId) {
  Close();
  platform::TInputCallbacks callbacks;
  callbacks.message = [this](const platform::TInputMessage& message) { Receive(message); };
  callbacks.lost = [this](const std::string& reason) { Lost(reason); };
  platform::MidiInputHandle handle = 0;
  const platform::MidiResult result = inputs_.OpenInput(deviceId, std::move(callbacks), &handle);
  if (result != platform::kMidiNoError) return inputs_.ErrorText(result);
  std::lock_guard guard(mutex_);
  handle_ = handle;
  lost_.reset();
  return std::nullopt;
}

platform::MidiInputHandle TKeyboardPlay::TakeHandle() {
  std::lock_guard guard(mutex_);
  const platform::MidiInputHandle handle = handle_;
  handle_ = 0;
  return handle;
}

void TKeyboardPlay::Close() {
  const platform::MidiInputHandle handle = TakeHandle();
  if (handle == 0) return;
  // Its thread may wait for mutex_: the input closes with the lock free, and its keys are let go
  // once nothing more comes from it.
  inputs_.CloseInput(handle);
  ReleaseAll();
}

bool TKeyboardPlay::IsOpen() const {
  std::lock_guard guard(mutex_);
  return handle_ != 0;
}

std::optional<std::string> TKeyboardPlay::TakeLost() {
  std::lock_guard guard(mutex_);
  std::optional<std::string> lost = std::move(lost_);
  lost_.reset();
  return lost;
}

void TKeyboardPlay::ReleaseAll() {
  std::lock_guard guard(mutex_);
  Act(hand_.ReleaseAll());
}

void TKeyboardPlay::Receive(const platform::TInputMessage& message) {
  {
    std::lock_guard guard(mutex_);
    Act(hand_.Receive(message.message));
  }
  ++handled_;
}

void TKeyboardPlay::Lost(const std::string& reason) {
  {
    std::lock_guard guard(mutex_);
    lost_ = reason;
    Act(hand_.ReleaseAll());
  }
  ++handled_;
}

void TKeyboardPlay::Act(const std::vector<TLeftHandEvent>& events) {
  for (const TLeftHandEvent& event : events) {
    switch (event.kind) {
      case TLeftHandEvent::TKind::kChordChanged:
        live_->SetChord(event.chord);
        break;
      case TLeftHandEvent::TKind::kMelody:
        SendMelody(event.message);
        break;
      case TLeftHandEvent::TKind::kSectionAsked:
        live_->AskSection(LiveSection(event.section));
        break;
      case TLeftHandEvent::TKind::kStart:         // the chord before it starts a waiting play
      case TLeftHandEvent::TKind::kSplitLearned:  // the window reads the split
        break;
    }
  }
}

void TKeyboardPlay::SendMelody(const platform::MidiMessage& message) {
  const std::shared_ptr<TLiveSource> source = live_->Source();
  if (!source) return;  // no live play: the right hand is heard only while one runs
  if (toneSentTo_.lock() != source) {
    live_->SendSoon(hand_.MelodyToneMessage());
    toneSentTo_ = source;
  }
  live_->SendSoon(message);
}

int TKeyboardPlay::SplitKey() const {
  std::lock_guard guard(mutex_);
  return hand_.SplitKey();
}

void TKeyboardPlay::SetSplitKey(int key) {
  std::lock_guard guard(mutex_);
  hand_.SetSplitKey(key);
}

void TKeyboardPlay::LearnSplit() {
  std::lock_guard guard(mutex_);
  hand_.LearnSplit();
}

bool TKeyboardPlay::Learning() const {
  std::lock_guard guard(mutex_);
  return hand_.Learning();
}

bool TKeyboardPlay::Memory() const {
  std::lock_guard guard(mutex_);
  return hand_.Memory();
}

void TKeyboardPlay::SetMemory(bool on) {
  std::lock_guard guard(mutex_);
  hand_.SetMemory(on);
}

chords::TFingering TKeyboardPlay::Fingering() const {
  std::lock_guard guard(mutex_);
  return hand_.Fingering();
}

void TKeyboardPlay::SetFingering(chords::TFingering fingering) {
  std::lock_guard guard(mutex_);
  hand_.SetFingering(fingering);
}

int TKeyboardPlay::MelodyTone() const {
  std::lock_guard guard(mutex_);
  return hand_.MelodyTone();
}

void TKeyboardPlay::SetMelodyTone(int program) {
  std::lock_guard guard(mutex_);
  hand_.SetMelodyTone(program);
  // The play that runs takes the new tone now; a later one gets it with its first melody note.
  toneSentTo_.reset();
  const std::shared_ptr<TLiveSource> source = live_->Source();
  if (source && live_->SendSoon(hand_.MelodyToneMessage())) toneSentTo_ = source;
}

chords::TSectionMap TKeyboardPlay::Sections() const {
  std::lock_guard guard(mutex_);
  return hand_.Sections();
}

void TKeyboardPlay::SetSections(chords::TSectionMap sections) {
  std::lock_guard guard(mutex_);
  hand_.SetSections(std::move(sections));
}

chords::TChordSymbol TKeyboardPlay::Chord() const {
  std::lock_guard guard(mutex_);
  return hand_.Chord();
}

}  // namespace brondel
