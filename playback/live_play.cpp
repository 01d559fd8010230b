#include "playback/live_play.h"

#include <algorithm>

namespace brondel {

TLiveSource::TLiveSource(std::unique_ptr<chords::TLiveEngine> engine)
    : engine_(std::move(engine)) {}

std::optional<std::uint64_t> TLiveSource::Render(std::uint64_t from, std::uint64_t to,
                                                 std::vector<platform::StreamEvent>& events) {
  std::lock_guard guard(mutex_);
  chords::TLiveSlice slice = engine_->Render(from, to);
  // A stretch that starts before the last one's end is asked anew: the ticks before it have
  // sounded, so what was given there is let go; what was given from it on is given again.
  if (from < givenUpTo_) {
    std::erase_if(given_, [from](const TGiven& given) { return given.tick < from; });
  }
  givenUpTo_ = to;
  for (const platform::MidiMessage& message : soon_) {
    const auto at =
        std::upper_bound(given_.begin(), given_.end(), from,
                         [](std::uint64_t tick, const TGiven& given) { return tick < given.tick; });
    given_.insert(at, {from, message});
  }
  soon_.clear();
  if (given_.size() > kKeptGiven) {
    given_.erase(given_.begin(), given_.end() - static_cast<std::ptrdiff_t>(kKeptGiven));
  }

  // The engine's events and the given ones of this stretch in tick order, the given ones after
  // the engine's own at their tick (a re-pitch goes first).
  events.reserve(slice.events.size() + given_.size());
  auto given = std::lower_bound(given_.begin(), given_.end(), from,
                                [](const TGiven& g, std::uint64_t tick) { return g.tick < tick; });
  const auto addGivenBefore = [&](std::uint64_t tick) {
    for (; given != given_.end() && given->tick < tick && given->tick < to; ++given) {
      events.push_back({given->tick, given->message});
    }
  };
  for (const chords::TSongEvent& event : slice.events) {
    addGivenBefore(event.tick);
    events.push_back(
        {event.tick, platform::MidiMessage{{event.status, event.data1, event.data2}, 3}});
  }
  addGivenBefore(to);
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
