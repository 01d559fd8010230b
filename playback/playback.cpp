#include "playback/playback.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>

namespace brondel {

namespace {

// The service's text is read as a 120-byte C string would hold it.
constexpr std::size_t kMaxErrorTextLength = 119;

bool InRange(int index, int count) {
  return index >= 0 && index < count;
}

}  // namespace

const std::array<std::uint8_t, 11> TPlayback::kPlayAllOrder = {0, 2, 4, 2, 5, 3, 6, 3, 7, 2, 8};

TPlayback::TPlayback(TRhythmDocuments& docs, platform::IMidiService& midi, IPlaybackHost& host)
    : docs_(docs), midi_(midi), host_(host), live_(std::make_shared<TLiveControl>(midi)) {}

void TPlayback::OpenMidiStream() {
  const platform::MidiResult result = midi_.StreamOpen(&handle_, deviceId_);
  if (result != platform::kMidiNoError) ShowMidiError("OPEN ", result);
}

void TPlayback::CloseMidiStream() {
  const platform::MidiResult result = midi_.StreamClose(handle_);
  if (result != platform::kMidiNoError) ShowMidiError("CLOSE ", result);
}

void TPlayback::SetTimeDivision(int slot) {
  StopStream();  // whatever plays ends here; the result is not examined
  const platform::MidiResult result =
      midi_.StreamSetTimeDivision(handle_, StreamTimeDivision(Slot(slot)));
  if (result != platform::kMidiNoError) ShowMidiError("OPEN ", result);
}

void TPlayback::ShowMidiError(std::string_view prefix, platform::MidiResult code) {
  std::string text = midi_.ErrorText(code);
  text = text.substr(0, std::min(text.find('\0'), kMaxErrorTextLength));
  if (text.empty()) text = "MIDI error " + std::to_string(code);
  host_.ShowMessage(std::string(prefix) + text);
}

void TPlayback::ChangeOutputDevice(int selectedIndex) {
  CloseMidiStream();
  SelectDevice(static_cast<std::uint32_t>(selectedIndex));  // no selection (-1): the mapper
  OpenMidiStream();
}

platform::MidiResult TPlayback::StopStream() {
  return midi_.StreamStop(handle_);
}

void TPlayback::RenderSection(int slot, int section, TEventBuffer& buffer) {
  if (stopFlag_) return;
  if (slot == kMainSlot) host_.ShowPartSettings();
  RenderSectionEvents(Slot(slot), section, renderEvents_[static_cast<std::size_t>(slot)], buffer);
}

void TPlayback::PlayEventBuffer(const TEventBuffer& buffer) {
  if (stopFlag_) return;
  if (StartBuffer(header_, buffer, 0)) WaitUntilHandedBack();
}

std::optional<TPlayback::TMidiFailure> TPlayback::QueueBuffer(platform::TMidiHeader& header,
                                                              const TEventBuffer& buffer,
                                                              std::uint32_t flags) {
  header.lpData = buffer.data();
  header.dwBufferLength = static_cast<std::uint32_t>(buffer.size());
  header.dwBytesRecorded = header.dwBufferLength;
  header.dwFlags = flags;
  if (const auto result = midi_.PrepareHeader(handle_, &header); result != 0) {
    return TMidiFailure{"Prepare  ", result, false};
  }
  if (const auto result = midi_.StreamOut(handle_, &header); result != 0) {
    return TMidiFailure{"OUT  ", result, true};
  }
  return std::nullopt;
}

void TPlayback::ReportQueueFailure(platform::TMidiHeader& header, const TMidiFailure& failure) {
  ShowMidiError(failure.prefix, failure.code);
  if (failure.prepared) midi_.UnprepareHeader(handle_, &header);
}

bool TPlayback::StartBuffer(platform::TMidiHeader& header, const TEventBuffer& buffer,
                            std::uint32_t flags) {
  if (const auto failure = QueueBuffer(header, buffer, flags)) {
    ReportQueueFailure(header, *failure);
    return false;
  }
  if (const auto result = midi_.StreamRestart(handle_); result != 0) {
    ReportQueueFailure(header, {"RESET  ", result, true});
    return false;
  }
  return true;
}

bool TPlayback::StillHeld(platform::TMidiHeader& header) {
  return midi_.UnprepareHeader(handle_, &header) == platform::kMidiStillPlaying;
}

void TPlayback::WaitUntilHandedBack() {
  // Each pass lets the window run what is waiting (any command may run nested here, Stop and
  // other plays included); the host sleeps until a window event or the service's buffer-done
  // notice, so the loop never spins. The stream still holding the buffer answers 65; anything
  // else, an error included, ends the wait. The header is asked before the stop flag, so that
  // a play a Stop has ended leaves its header unprepared (PlayEventBuffer comes here only with
  // the flag clear).
  do {
    host_.WaitForEvents();
  } while (StillHeld(header_) && !stopFlag_);
}

void TPlayback::Stop() {
  stopFlag_ = true;
  if (const auto result = StopStream(); result != 0) ShowMidiError("OPEN ", result);
}

void TPlayback::PlaySection(int slot, int section) {
  stopFlag_ = false;
  if (!Slot(slot).Loaded() || !InRange(section, kSectionCount)) return;
  TEventBuffer buffer;
  RenderSection(slot, section, buffer);
  SetTimeDivision(slot);
  headerContent_ = {slot, section, -1, {}};
  PlayEventBuffer(buffer);
}

void TPlayback::PlayPart(int slot, int section, int part) {
  stopFlag_ = false;
  SetTimeDivision(slot);
  if (Slot(slot).Loaded()) PreviewPart(slot, section, part);
}

void TPlayback::PreviewPart(int slot, int section, int part) {
  StopStream();  // the result is not examined
  SetTimeDivision(slot);
  // A part list left without a selection (after Play all) gives no part: nothing to play.
  if (!InRange(section, kSectionCount) || !InRange(part, kPartCount)) return;
  const TPartStream& stream =
      Slot(slot).streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)];
  if (stream.size() == 2 * kRecordSize) {
    host_.ShowMessage("This part is empty!");
    return;
  }
  TEventBuffer buffer;
  RenderPartPreview(Slot(slot), section, part, buffer);
  headerContent_ = {slot, section, part, PartPreviewTicks(Slot(slot), section, part)};
  PlayEventBuffer(buffer);
}

void TPlayback::PlayAllCommand(int slot) {
  if (!Slot(slot).Loaded()) return;
  stopFlag_ = false;
  SetTimeDivision(slot);  // once for the whole sequence
  PlayAll(slot);
}

void TPlayback::PlayAll(int slot) {
  stopFlag_ = false;
  // Every section is rendered before anything plays, so a nested command that edits the
  // document cannot change what the rest of the sequence sounds like.
  std::array<TEventBuffer, kSectionCount> buffers;
  for (int section = 0; section < kSectionCount; ++section) {
    RenderSection(slot, section, buffers[static_cast<std::size_t>(section)]);
  }
  // The sequence never tests the stop flag itself: after a Stop each remaining entry is still
  // shown, and its PlayEventBuffer returns at once.
  for (const std::uint8_t section : kPlayAllOrder) {
    host_.ShowPlayAllEntry(slot, section);
    if (slot == kMainSlot) host_.ShowPartSettings();
    headerContent_ = {slot, section, -1, {}};
    PlayEventBuffer(buffers[section]);
  }
}

void TPlayback::PlayPattern(int slot, int section, const TPartMix& mix, bool loop) {
  stopFlag_ = false;
  const bool known = InRange(slot, static_cast<int>(docs_.slots.size()));
  if (!known || !Slot(slot).Loaded() || !InRange(section, kSectionCount)) return;
  TPatternPlay play{slot, section, mix, loop};
  const TEventBuffer buffer = RenderPattern(play);
  SetTimeDivision(slot);  // whatever plays ends here, an outer pattern play included
  patternContent_ = {slot, section, -1, {}};
  if (!StartBuffer(patternHeaders_[0], buffer, loop ? platform::kHeaderLoop : 0)) return;
  // A change of the mix or of Loop (ChangePatternPlay, run from the wait) queues the next
  // repetition on the other header of the pair; the play lasts until the header queued last
  // has been handed back, or the stop flag ends the wait.
  TPatternPlay* const outer = std::exchange(patternPlay_, &play);
  do {
    host_.WaitForEvents();
  } while (!stopFlag_ && StillHeld(patternHeaders_[play.current]));
  patternPlay_ = outer;
  // Both headers end unprepared, unless the stop flag ended the wait with one still held.
  for (platform::TMidiHeader& header : patternHeaders_) StillHeld(header);
}

void TPlayback::ChangePatternPlay(const TPartMix& mix, bool loop) {
  if (patternPlay_ == nullptr) return;
  TPatternPlay& play = *patternPlay_;
  // A pattern play that another play, a Stop or an open has ended no longer holds its header.
  if (!StillHeld(patternHeaders_[play.current])) return;
  play.mix = mix;
  play.loop = loop;
  // Without Loop, an empty buffer follows the repetition playing: the play ends with it.
  const TEventBuffer tail = loop ? RenderPattern(play) : TEventBuffer{};
  const std::uint32_t flags = loop ? platform::kHeaderLoop : 0;
  // The header queued last plays, or waits behind the other: a waiting one is replaced, so
  // the newest change is heard at the next seam; a playing one is refused (65), and the other,
  // handed back by now, takes the buffer.
  std::size_t target =
      StillHeld(patternHeaders_[1 - play.current]) ? play.current : 1 - play.current;
  auto failure = QueueBuffer(patternHeaders_[target], tail, flags);
  if (failure && failure->code == platform::kMidiStillPlaying) {
    target = 1 - target;  // the seam came in between: the one waiting has started
    failure = QueueBuffer(patternHeaders_[target], tail, flags);
  }
  if (failure) {
    ReportQueueFailure(patternHeaders_[target], *failure);
    return;
  }
  play.current = target;
}

void TPlayback::FinishPatternPlay() {
  if (patternPlay_ != nullptr) ChangePatternPlay(patternPlay_->mix, false);
}

TEventBuffer TPlayback::RenderPattern(const TPatternPlay& play) const {
  TEventBuffer buffer;
  std::vector<TRenderEvent> events;
  RenderSectionEvents(Slot(play.slot), play.section, events, buffer, play.mix);
  return buffer;
}

void TPlayback::AuditionNote(int slot, int section, int part, int key, int velocity) {
  if (handle_ == 0 || patternPlay_ != nullptr || !Slot(slot).Loaded()) return;
  if (!InRange(section, kSectionCount) || !InRange(part, kPartCount)) return;
  platform::TStreamPosition position;
  const bool sounding = midi_.StreamPosition(handle_, &position) == platform::kMidiNoError &&
                        position.header != nullptr && position.header != &auditionHeader_;
  // A play's buffer sounding, or a play waiting for it to be handed back: no audition.
  if (sounding || (header_.dwFlags & platform::kHeaderPrepared) != 0 ||
      (liveHeader_.dwFlags & platform::kHeaderPrepared) != 0) {
    return;
  }
  // The audition before is ended and handed back, then this one queued on its own header.
  midi_.StreamStop(handle_);
  midi_.UnprepareHeader(handle_, &auditionHeader_);
  const std::uint32_t division = StreamTimeDivision(Slot(slot));
  if (midi_.StreamSetTimeDivision(handle_, division) != platform::kMidiNoError) return;
  // A tick lasts 500,000 / division microseconds.
  const std::uint32_t ticks = division * kAuditionMilliseconds / 500;
  auditionBuffer_.clear();
  RenderAudition(Slot(slot), section, part, static_cast<std::uint8_t>(std::clamp(key, 0, 127)),
                 static_cast<std::uint8_t>(std::clamp(velocity, 1, 127)), ticks, auditionBuffer_);
  if (QueueBuffer(auditionHeader_, auditionBuffer_, 0)) return;
  midi_.StreamRestart(handle_);
}

void TPlayback::PlayLive(const TLiveStart& start) {
  stopFlag_ = false;
  const TRhythmSlot& slot = Slot(kMainSlot);
  if (!slot.Loaded()) return;
  auto engine = std::make_unique<chords::TLiveEngine>(slot, start.play);
  if (start.chart) {
    engine->SetChart(*start.chart);
  } else if (!start.syncStart) {
    engine->AskChord(live_->Chord());
  }
  if (const std::string refusal = engine->Start(start.section, start.syncStart); !refusal.empty()) {
    host_.ShowMessage(refusal);
    return;
  }
  // A beat at a time: what is asked is heard within the beat's render, and a slice is short
  // enough to render in a fraction of a millisecond.
  const std::uint32_t beats =
      std::max<std::uint32_t>(TimeSignatureNumerator(slot.header.TimeSignature()), 1);
  const std::uint32_t slice = std::max<std::uint32_t>(engine->BarTicks() / beats, 1);
  auto source = std::make_shared<TLiveSource>(std::move(engine));
  SetTimeDivision(kMainSlot);
  liveHeader_ = {};
  if (const auto result = midi_.PrepareHeader(handle_, &liveHeader_); result != 0) {
    ShowMidiError("Prepare  ", result);
    return;
  }
  if (const auto result = midi_.StreamOutLive(handle_, &liveHeader_, source, slice); result != 0) {
    ReportQueueFailure(liveHeader_, {"OUT  ", result, true});
    return;
  }
  if (const auto result = midi_.StreamRestart(handle_); result != 0) {
    ReportQueueFailure(liveHeader_, {"RESET  ", result, true});
    return;
  }
  live_->Attach(source, handle_);
  do {
    host_.WaitForEvents();
  } while (StillHeld(liveHeader_) && !stopFlag_);
  // A play started inside the wait has ended by now; this one leaves no source to steer.
  live_->Detach();
  StillHeld(liveHeader_);
}

std::optional<TLiveState> TPlayback::LiveNow() {
  const std::shared_ptr<TLiveSource> source = live_->Source();
  if (!source) return std::nullopt;
  platform::TStreamPosition position;
  const bool sounding = midi_.StreamPosition(handle_, &position) == platform::kMidiNoError &&
                        position.header == &liveHeader_;
  TLiveState state;
  source->With([&](const chords::TLiveEngine& engine) {
    state.waiting = engine.Waiting();
    state.askedSection = engine.AskedSection();
    state.chord = engine.LastChord();
    if (sounding) {
      state.place = engine.PlaceAt(position.ticks);
      // The chord asked last shows at once; a chart's chords show as they sound.
      if (state.place && engine.PlaysChart() && !engine.ChordPending()) {
        state.chord = engine.ChordAt(position.ticks);
      }
    }
  });
  return state;
}

std::optional<TPlayingPosition> TPlayback::PlayingNow() {
  platform::TStreamPosition position;
  if (midi_.StreamPosition(handle_, &position) != platform::kMidiNoError) return std::nullopt;
  if (position.header == &liveHeader_) {
    const std::shared_ptr<TLiveSource> source = live_->Source();
    std::optional<chords::TLivePlace> place;
    if (source) {
      source->With(
          [&](const chords::TLiveEngine& engine) { place = engine.PlaceAt(position.ticks); });
    }
    if (!place) return std::nullopt;
    return TPlayingPosition{kMainSlot, place->section, -1, place->sectionTick, 0};
  }
  const bool pattern =
      position.header == &patternHeaders_[0] || position.header == &patternHeaders_[1];
  const TBufferContent* content = pattern                       ? &patternContent_
                                  : position.header == &header_ ? &headerContent_
                                                                : nullptr;
  if (content == nullptr) return std::nullopt;
  return TPlayingPosition{content->slot, content->section, content->part,
                          content->SectionTick(position.ticks), position.repetitions};
}

std::uint32_t TPlayback::TBufferContent::SectionTick(std::uint64_t bufferTick) const {
  std::uint64_t tick = bufferTick;
  if (!partTicks.empty()) {
    // The last event at or before the tick; the first pair is (0, 0), so there always is one.
    const auto after =
        std::upper_bound(partTicks.begin(), partTicks.end(), bufferTick,
                         [](std::uint64_t at, const TTickPair& pair) { return at < pair.buffer; });
    tick = std::prev(after)->section + (bufferTick - std::prev(after)->buffer);
  }
  return static_cast<std::uint32_t>(
      std::min<std::uint64_t>(tick, std::numeric_limits<std::uint32_t>::max()));
}

const std::vector<TRenderEvent>& TPlayback::RenderEvents(int slot) const {
  return renderEvents_[static_cast<std::size_t>(slot)];
}

const TRhythmSlot& TPlayback::Slot(int slot) const {
  return docs_.slots[static_cast<std::size_t>(slot)];
}

}  // namespace brondel
