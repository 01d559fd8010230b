#include "platform/midi/engine/stream_engine.h"

#include "platform/midi/engine/stream_events.h"

namespace brondel::platform {
namespace {

MidiMicros SaturatingAdd(MidiMicros a, MidiMicros b) {
  return b > MidiMicros::max() - a ? MidiMicros::max() : a + b;
}

}  // namespace

void SoundingNotes::Track(const MidiMessage& message) {
  const int kind = message.bytes[0] & 0xF0;
  auto& channel = notes_[message.bytes[0] & 0x0F];
  const std::uint8_t key = message.bytes[1];
  if (kind == 0x90 && message.bytes[2] > 0) {
    channel.set(key);
  } else if (kind == 0x80 || kind == 0x90) {
    channel.reset(key);
  }
}

std::vector<MidiMessage> SoundingNotes::TakeNoteOffs() {
  std::vector<MidiMessage> noteOffs;
  for (std::size_t channel = 0; channel < notes_.size(); ++channel) {
    for (std::size_t key = 0; key < notes_[channel].size(); ++key) {
      if (notes_[channel][key]) {
        noteOffs.push_back(
            {{static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(key), 0}, 3});
      }
    }
    notes_[channel].reset();
  }
  return noteOffs;
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
  // A buffer that is playing keeps the due time of its next event; later ones follow the new
  // division.
  if (running_ && !queue_.empty() && queue_.front().next < queue_.front().events.size()) {
    Buffer& front = queue_.front();
    front.baseTime = DueTime(front, front.next);
    front.baseTick = front.events[front.next].tick;
  }
  division_ = division;
  return true;
}

bool MidiStream::Queue(const TMidiHeader* header, std::vector<StreamEvent> events) {
  {
    std::lock_guard guard(mutex_);
    if (HoldsLocked(header)) return false;
    queue_.push_back({header, std::move(events)});
    if (running_ && queue_.size() == 1) StartFront(clock_.Now());
  }
  wake_.notify_all();
  return true;
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

bool MidiStream::HoldsLocked(const TMidiHeader* header) const {
  for (const Buffer& buffer : queue_) {
    if (buffer.header == header) return true;
  }
  return false;
}

void MidiStream::StartFront(MidiMicros at) {
  queue_.front().baseTime = at;
  queue_.front().baseTick = 0;
}

MidiMicros MidiStream::DueTime(const Buffer& buffer, std::size_t index) const {
  if (buffer.events.empty()) return buffer.baseTime;
  return SaturatingAdd(buffer.baseTime,
                       TicksToMicros(buffer.events[index].tick - buffer.baseTick, division_));
}

std::optional<MidiMicros> MidiStream::NextDue() const {
  if (!running_ || queue_.empty()) return std::nullopt;
  return DueTime(queue_.front(), queue_.front().next);
}

void MidiStream::PlayDue(MidiMicros now) {
  Buffer& front = queue_.front();
  while (front.next < front.events.size() && DueTime(front, front.next) <= now) {
    const StreamEvent& event = front.events[front.next];
    if (event.message) {
      device_->Send(*event.message, DueTime(front, front.next));
      sounding_.Track(*event.message);
    }
    ++front.next;
  }
  if (front.next >= front.events.size()) HandBackFront();
}

void MidiStream::HandBackFront() {
  const Buffer& front = queue_.front();
  // The next buffer goes on from the moment this one ends, so a sequence keeps its beat.
  const MidiMicros end = front.events.empty() ? front.baseTime : DueTime(front, front.next - 1);
  queue_.pop_front();
  ++pendingNotices_;
  if (!queue_.empty()) StartFront(end);
}

void MidiStream::EndEverything() {
  const std::vector<MidiMessage> noteOffs = sounding_.TakeNoteOffs();
  if (!noteOffs.empty() || !queue_.empty()) device_->Silence(noteOffs);
  pendingNotices_ += static_cast<int>(queue_.size());
  queue_.clear();
  running_ = false;
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
    } else {
      sleeper->Sleep(lock, due);
    }
  }
}

}  // namespace brondel::platform
