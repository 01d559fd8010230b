#include "playback/live_play.h"

namespace brondel {

TLiveSource::TLiveSource(std::unique_ptr<chords::TLiveEngine> engine)
    : engine_(std::move(engine)) {}

std::optional<std::uint64_t> TLiveSource::Render(std::uint64_t from, std::uint64_t to,
                                                 std::vector<platform::StreamEvent>& events) {
  std::lock_guard guard(mutex_);
  chords::TLiveSlice slice = engine_->Render(from, to);
  const auto add = [&events](const chords::TSongEvent& event) {
    events.push_back(
        {event.tick, platform::MidiMessage{{event.status, event.data1, event.data2}, 3}});
  };
  events.reserve(slice.events.size() + soon_.size());
  // The messages sent soon go at the first tick, after the engine's own there (a re-pitch).
  auto later = slice.events.begin();
  for (; later != slice.events.end() && later->tick == from; ++later) add(*later);
  for (const platform::MidiMessage& message : soon_) events.push_back({from, message});
  soon_.clear();
  for (; later != slice.events.end(); ++later) add(*later);
  return slice.end;
}

void TLiveSource::SendSoon(const platform::MidiMessage& message) {
  std::lock_guard guard(mutex_);
  soon_.push_back(message);
}

void TLiveSource::With(const std::function<void(chords::TLiveEngine&)>& action) {
  std::lock_guard guard(mutex_);
  action(*engine_);
}

void TLiveControl::SetChord(const chords::TChordSymbol& chord) {
  {
    std::lock_guard guard(mutex_);
    chord_ = chord;
  }
  Steer([&chord](chords::TLiveEngine& engine) { engine.AskChord(chord); });
}

void TLiveControl::AskSection(int section) {
  Steer([section](chords::TLiveEngine& engine) { engine.AskSection(section); });
}

void TLiveControl::SetPlaySettings(const chords::TPlaySettings& play) {
  Steer([&play](chords::TLiveEngine& engine) { engine.SetPlaySettings(play); });
}

chords::TChordSymbol TLiveControl::Chord() const {
  std::lock_guard guard(mutex_);
  return chord_;
}

bool TLiveControl::SendSoon(const platform::MidiMessage& message) {
  std::shared_ptr<TLiveSource> source;
  platform::MidiStreamHandle handle = 0;
  {
    std::lock_guard guard(mutex_);
    source = source_;
    handle = handle_;
  }
  if (!source) return false;
  source->SendSoon(message);
  midi_.StreamSourceChanged(handle);
  return true;
}

void TLiveControl::Attach(std::shared_ptr<TLiveSource> source, platform::MidiStreamHandle handle) {
  std::lock_guard guard(mutex_);
  source_ = std::move(source);
  handle_ = handle;
}

void TLiveControl::Detach() {
  std::lock_guard guard(mutex_);
  source_.reset();
}

std::shared_ptr<TLiveSource> TLiveControl::Source() const {
  std::lock_guard guard(mutex_);
  return source_;
}

void TLiveControl::Steer(const std::function<void(chords::TLiveEngine&)>& action) {
  std::shared_ptr<TLiveSource> source;
  platform::MidiStreamHandle handle = 0;
  {
    std::lock_guard guard(mutex_);
    source = source_;
    handle = handle_;
  }
  if (!source) return;
  source->With(action);
  midi_.StreamSourceChanged(handle);
}

}  // namespace brondel
