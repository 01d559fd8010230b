#include "platform/midi/engine/stream_engine.h"

#include <algorithm>
#include <limits>

#include "platform/midi/engine/stream_events.h"
#include "platform/midi_messages.h"

namespace brondel::platform {
namespace {

// Longer than any device's output latency: the history a position may look back into.
constexpr MidiMicros kPositionHistory = std::chrono::seconds(1);

MidiMicros SaturatingAdd(MidiMicros a, MidiMicros b) {
  return b > MidiMicros::max() - a ? MidiMicros::max() : a + b;
}

}  // namespace

NoteSet NotesEndedBy(const std::vector<StreamEvent>& events) {
  NoteSet ended;
  for (const StreamEvent& event : events) {
    if (event.message && EndsANote(*event.message)) {
      ended[midi::ChannelOf(event.message->bytes[0])].set(event.message->bytes[1]);
    }
  }
  return ended;
}

void SoundingNotes::Track(const MidiMessage& message) {
  const std::size_t channel = midi::ChannelOf(message.bytes[0]);
  const std::uint8_t key = message.bytes[1];
  channels_.set(channel);
  if (EndsANote(message)) {
    notes_[channel].reset(key);
  } else if (midi::IsNoteOn(message.bytes[0], message.bytes[2])) {
    notes_[channel].set(key);
  }
}

std::vector<MidiMessage> SoundingNotes::TakeNoteOffsBut(const NoteSet& ended) {
  std::vector<MidiMessage> noteOffs;
  for (std::size_t channel = 0; channel < notes_.size(); ++channel) {
    const std::bitset<128> cut = notes_[channel] & ~ended[channel];
    for (std::size_t key = 0; key < cut.size(); ++key) {
      if (cut[key]) {
        noteOffs.push_back({{midi::ChannelStatus(midi::kNoteOff, static_cast<int>(channel)),
                             static_cast<std::uint8_t>(key), 0},
                            3});
      }
    }
    notes_[channel] &= ended[channel];
  }
  return noteOffs;
}

std::vector<MidiMessage> SoundingNotes::TakeEndings() {
  std::vector<MidiMessage> endings = TakeNoteOffsBut({});
  for (std::size_t channel = 0; channel < channels_.size(); ++channel) {
    if (channels_[channel]) {
      endings.push_back({{midi::ChannelStatus(midi::kControlChange, static_cast<int>(channel)),
                          midi::kAllNotesOff, 0},
                         3});
    }
  }
  channels_.reset();
  return endings;
}

MidiStream::MidiStream(std::shared_ptr<IMidiDevice> device, std::function<void()> bufferDone)
    : device_(std::move(device)), clock_(device_->Clock()), bufferDone_(std::move(bufferDone)) {
  // The sleeper is made here, before the thread starts, so that the clock knows the thread from
  // the first moment; the thread takes it along and ends it as it ends.
  thread_ = std::thread(&MidiStream::Run, this, clock_.MakeSleeper(wake_, mutex_));
}

MidiStream::~MidiStream() {
  {
    std::lock_guard guard(mutex_);
    EndEverything();
    closing_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void MidiStream::Stop() {
  {
    std::lock_guard guard(mutex_);
    EndEverything();
  }
  wake_.notify_all();
}

bool MidiStream::SetTimeDivision(std::uint32_t division) {
  if (division == 0) return false;
  std::lock_guard guard(mutex_);
  const bool playing =
      running_ && !queue_.empty() && queue_.front().next < queue_.front().events.size();
  if (!playing) {
    division_ = division;
    return true;
  }
  // The ticks up to the next event keep the old division, those after it take the new one.
  Buffer& front = queue_.front();
  front.baseTime = DueTime(front, front.next);
  front.baseTick = front.events[front.next].tick;
  division_ = division;
  AddMark(
      {front.baseTime, front.header, front.repetitions, front.baseTick, MarkEnd(front), division_});
  return true;
}

bool MidiStream::Queue(const TMidiHeader* header, std::vector<StreamEvent> events, bool loop) {
  // The events are still the caller's own: they are read before taking the lock the stream's
  // thread waits for.
  const NoteSet ends = NotesEndedBy(events);
  return QueueBuffer({header, std::move(events), loop, ends});
}

bool MidiStream::QueueLive(const TMidiHeader* header, std::shared_ptr<IStreamSource> source,
                           std::uint32_t sliceTicks) {
  Buffer buffer{header};
  buffer.source = std::move(source);
  buffer.sliceTicks = std::max<std::uint64_t>(sliceTicks, 1);
  return QueueBuffer(std::move(buffer));
}

bool MidiStream::QueueBuffer(Buffer buffer) {
  {
    std::lock_guard guard(mutex_);
    const TMidiHeader* const header = buffer.header;
    if (!queue_.empty() && queue_.front().header == header) return false;
    // A buffer that waits under this header has not started: the new one takes its place, so
    // that the latest of several changes made within one repetition is the one heard next.
    const auto waiting = std::find_if(queue_.begin(), queue_.end(),
                                      [header](const Buffer& b) { return b.header == header; });
    if (waiting != queue_.end()) {
      *waiting = std::move(buffer);
      return true;
    }
    queue_.push_back(std::move(buffer));
    if (running_ && queue_.size() == 1) {
      MidiMicros start = clock_.Now();
      if (endOfPlay_) {
        if (start <= *endOfPlay_) {
          start = lastEnd_;  // it follows the last buffer seamlessly
        } else {
          SendEndings(*endOfPlay_);  // the thread has not sent them yet, but they are due
        }
        endOfPlay_.reset();
      }
      StartFront(start);
    }
  }
  wake_.notify_all();
  return true;
}

void MidiStream::SourceChanged() {
  {
    std::lock_guard guard(mutex_);
    if (queue_.empty() || !queue_.front().source) return;
    sourceChanged_ = true;
  }
  wake_.notify_all();
}

void MidiStream::Restart() {
  {
    std::lock_guard guard(mutex_);
    if (running_) return;
    running_ = true;
    if (!queue_.empty()) StartFront(clock_.Now());
  }
  wake_.notify_all();
}

bool MidiStream::Holds(const TMidiHeader* header) const {
  std::lock_guard guard(mutex_);
  return HoldsLocked(header);
}

TStreamPosition MidiStream::Position() const {
  std::lock_guard guard(mutex_);
  const MidiMicros now = clock_.Now();
  const MidiMicros latency = device_->OutputLatency();
  if (now < latency) return {};
  const MidiMicros sounding = now - latency;
  const auto mark = std::find_if(marks_.rbegin(), marks_.rend(),
                                 [sounding](const Mark& m) { return m.time <= sounding; });
  if (mark == marks_.rend() || mark->header == nullptr) return {};
  const std::uint64_t ticks = mark->tick + MicrosToTicks(sounding - mark->time, mark->division);
  return {mark->header, std::min(ticks, mark->endTick), mark->repetitions};
}

bool MidiStream::HoldsLocked(const TMidiHeader* header) const {
  return std::any_of(queue_.begin(), queue_.end(),
                     [header](const Buffer& buffer) { return buffer.header == header; });
}

void MidiStream::StartFront(MidiMicros at) {
  Buffer& front = queue_.front();
  for (const MidiMessage& noteOff : sounding_.TakeNoteOffsBut(front.ends)) {
    device_->Send(noteOff, at);
  }
  front.next = 0;
  front.start = front.baseTime = at;
  front.baseTick = 0;
  if (front.source) RenderSlice(front, 0, front.sliceTicks);
  AddMark({at, front.header, front.repetitions, 0, MarkEnd(front), division_});
}

std::uint64_t MidiStream::MarkEnd(const Buffer& buffer) {
  if (buffer.source) return std::numeric_limits<std::uint64_t>::max();
  return buffer.events.empty() ? 0 : buffer.events.back().tick;
}

void MidiStream::RenderSlice(Buffer& buffer, std::uint64_t from, std::uint64_t to) {
  std::vector<StreamEvent> events;
  const std::optional<std::uint64_t> end = buffer.source->Render(from, to, events);
  // The slice's own end closes it, so that the next one is asked for when it falls due.
  buffer.lastSlice = end.has_value();
  buffer.sliceStart = from;
  buffer.sliceTo = to;
  buffer.sliceEnd = end ? std::max(*end, from) : to;
  // A play's last slice sends what falls on its end (the note-offs there) too.
  std::erase_if(events, [&buffer](const StreamEvent& event) {
    return event.tick < buffer.sliceStart || event.tick > buffer.sliceEnd ||
           (event.tick == buffer.sliceEnd && !buffer.lastSlice);
  });
  events.push_back({buffer.sliceEnd, std::nullopt});
  buffer.events = std::move(events);
  buffer.next = 0;
}

void MidiStream::RefreshSlice(MidiMicros now) {
  sourceChanged_ = false;
  if (!running_ || queue_.empty() || !queue_.front().source) return;
  Buffer& front = queue_.front();
  // What the device sounds now: it plays each message its output latency after it was sent.
  // What it holds and has not played yet is taken back (a note's end goes at once), and the
  // stream sends anew from the first tick not yet heard: the change is heard at once, and what
  // follows keeps its time.
  const MidiMicros latency = device_->OutputLatency();
  const MidiMicros heard = now > latency ? now - latency : MidiMicros{0};
  if (latency > MidiMicros{0}) device_->Retract();
  std::uint64_t cut = front.baseTick;
  if (heard > front.baseTime) {
    const std::uint64_t elapsed = front.baseTick + MicrosToTicks(heard - front.baseTime, division_);
    cut = std::max(cut, elapsed > 2 ? elapsed - 2 : 0);
  }
  const auto dueOf = [&](std::uint64_t tick) {
    return SaturatingAdd(front.baseTime, TicksToMicros(tick - front.baseTick, division_));
  };
  // A device that plays each message as it is sent has played what went at once: that tick is
  // not asked for again. One with a latency has just given back what it had not played, so the
  // tick is asked for anew and its messages sent again.
  if (latency == MidiMicros{0}) cut = std::max(cut, front.sentAtOnceEnd);
  while (dueOf(cut) <= heard) ++cut;
  if (cut >= front.sliceEnd && latency == MidiMicros{0}) return;  // the next slice takes it
  RenderSlice(front, cut, std::max(front.sliceTo, cut + 1));
  // A change of this very tick went at once before: what it started may be sounding whatever
  // the device took back, so it ends first (a note it had not played gets a spare note-off).
  if (cut + 1 == front.sentAtOnceEnd) {
    for (const MidiMessage& on : front.startedAtOnce) {
      const MidiMessage off{
          {midi::ChannelStatus(midi::kNoteOff, midi::ChannelOf(on.bytes[0])), on.bytes[1], 0}, 3};
      device_->Send(off, heard);
      sounding_.Track(off);
    }
  }
  front.startedAtOnce.clear();
  // The change itself (the re-pitch, the cut) goes at once, not when its tick falls due, which
  // may be most of a tick later.
  while (front.next < front.events.size() && front.events[front.next].tick == cut &&
         front.events[front.next].message) {
    const MidiMessage& message = *front.events[front.next].message;
    device_->Send(message, heard);
    sounding_.Track(message);
    if (midi::IsNoteOn(message.bytes[0], message.bytes[2])) front.startedAtOnce.push_back(message);
    ++front.next;
    front.sentAtOnceEnd = cut + 1;
  }
}

MidiMicros MidiStream::DueTime(const Buffer& buffer, std::size_t index) const {
  if (buffer.events.empty()) return buffer.baseTime;
  return SaturatingAdd(buffer.baseTime,
                       TicksToMicros(buffer.events[index].tick - buffer.baseTick, division_));
}

MidiMicros MidiStream::EndTime(const Buffer& buffer) const {
  return buffer.events.empty() ? buffer.baseTime : DueTime(buffer, buffer.events.size() - 1);
}

std::optional<MidiMicros> MidiStream::NextDue() const {
  if (!running_) return std::nullopt;
  if (queue_.empty()) return endOfPlay_;
  return DueTime(queue_.front(), queue_.front().next);
}

void MidiStream::PlayDue(MidiMicros now) {
  if (queue_.empty()) {
    SendEndings(*endOfPlay_);
    endOfPlay_.reset();
    return;
  }
  Buffer& front = queue_.front();
  while (true) {
    while (front.next < front.events.size() && DueTime(front, front.next) <= now) {
      const StreamEvent& event = front.events[front.next];
      if (event.message) {
        device_->Send(*event.message, DueTime(front, front.next));
        sounding_.Track(*event.message);
      }
      ++front.next;
    }
    if (front.next < front.events.size()) return;
    if (!front.source || front.lastSlice) break;
    RenderSlice(front, front.sliceEnd, front.sliceEnd + front.sliceTicks);
  }
  EndRepetition();
}

void MidiStream::EndRepetition() {
  Buffer& front = queue_.front();
  // The next repetition, or the next buffer, goes on from the moment this one ends, so a loop
  // or a sequence keeps its beat. A repetition that took no time is not repeated.
  const MidiMicros end = EndTime(front);
  if (front.loop && queue_.size() == 1 && end > front.start) {
    ++front.repetitions;
    StartFront(end);
    return;
  }
  queue_.pop_front();
  ++pendingNotices_;
  if (!queue_.empty()) {
    StartFront(end);
    return;
  }
  lastEnd_ = end;
  endOfPlay_ = SaturatingAdd(end, kFollowWindow);
  AddMark({end, nullptr});
}

void MidiStream::SendEndings(MidiMicros due) {
  for (const MidiMessage& message : sounding_.TakeEndings()) device_->Send(message, due);
}

void MidiStream::EndEverything() {
  if (queue_.empty()) {
    // Nothing plays: the endings of the last play follow what it sent, which still goes out.
    SendEndings(clock_.Now());
  } else {
    device_->Silence(sounding_.TakeEndings());
  }
  pendingNotices_ += static_cast<int>(queue_.size());
  queue_.clear();
  running_ = false;
  endOfPlay_.reset();
  marks_.clear();  // the sound ends now: nothing is sounding from here on
}

void MidiStream::AddMark(const Mark& mark) {
  const MidiMicros now = clock_.Now();
  while (marks_.size() > 1 && SaturatingAdd(marks_[1].time, kPositionHistory) <= now) {
    marks_.pop_front();
  }
  marks_.push_back(mark);
}

void MidiStream::DeliverNotices(std::unique_lock<std::mutex>& lock) {
  const int notices = pendingNotices_;
  pendingNotices_ = 0;
  lock.unlock();
  for (int i = 0; i < notices; ++i) bufferDone_();
  lock.lock();
}

void MidiStream::Run(std::unique_ptr<IMidiSleeper> sleeper) {
  std::unique_lock lock(mutex_);
  while (pendingNotices_ > 0 || !closing_) {
    if (pendingNotices_ > 0) {
      DeliverNotices(lock);
      continue;
    }
    const std::optional<MidiMicros> due = NextDue();
    const MidiMicros now = clock_.Now();
    if (due && *due <= now) {
      PlayDue(now);
    } else if (sourceChanged_) {
      RefreshSlice(now);  // everything due has been sent
    } else {
      sleeper->Sleep(lock, due);
    }
  }
}

}  // namespace brondel::platform
