#include "platform/midi/engine/stream_service.h"

#include <span>

namespace brondel::platform {

TMidiService::TMidiService(std::function<MidiDeviceList()> listDevices)
    : listDevices_(std::move(listDevices)), devices_(listDevices_()) {}

TMidiService::~TMidiService() {
  for (auto& [handle, stream] : streams_) CloseStream(std::move(stream));
}

std::vector<std::string> TMidiService::OutputDeviceNames() {
  MidiDeviceList devices = listDevices_();
  std::vector<std::string> names;
  for (const auto& device : devices) names.push_back(device->Name());
  std::lock_guard guard(mutex_);
  devices_ = std::move(devices);
  return names;
}

MidiResult TMidiService::StreamOpen(MidiStreamHandle* handle, std::uint32_t deviceId) {
  if (handle == nullptr) return kMidiInvalidParam;
  *handle = 0;
  std::lock_guard guard(mutex_);
  const std::size_t index = deviceId == kMidiMapper ? 0 : deviceId;
  if (index >= devices_.size()) return kMidiBadDeviceId;
  const std::shared_ptr<IMidiDevice>& device = devices_[index];
  if (const MidiResult refusal = device->Admit(MidiCall::kOpen)) return refusal;
  if (device->IsOpen()) return kMidiAllocated;
  if (const MidiResult result = device->Open()) {
    failedOpen_ = result;
    failedOpenReason_ = device->FailureReason();
    return result;
  }
  failedOpen_ = kMidiNoError;
  failedOpenReason_.clear();
  *handle = nextHandle_++;
  streams_[*handle] = std::make_unique<MidiStream>(device, [this] { NotifyBufferDone(); });
  return kMidiNoError;
}

MidiResult TMidiService::StreamClose(MidiStreamHandle handle) {
  std::unique_ptr<MidiStream> stream;
  {
    std::lock_guard guard(mutex_);
    StreamMap::iterator found;
    if (const MidiResult refusal = FindAdmitted(handle, MidiCall::kClose, &found)) return refusal;
    stream = std::move(found->second);
    streams_.erase(found);
  }
  // The stream's thread may call the notifier while it ends, so no lock is held here.
  return CloseStream(std::move(stream));
}

MidiResult TMidiService::CloseStream(std::unique_ptr<MidiStream> stream) {
  const std::shared_ptr<IMidiDevice> device = stream->Device();
  stream.reset();
  return device->Close();
}

MidiResult TMidiService::StreamStop(MidiStreamHandle handle) {
  return WithStream(handle, MidiCall::kStop, [](MidiStream& stream) {
    stream.Stop();
    return kMidiNoError;
  });
}

MidiResult TMidiService::StreamSetTimeDivision(MidiStreamHandle handle,
                                               std::uint32_t timeDivision) {
  return WithStream(handle, MidiCall::kTimeDivision, [timeDivision](MidiStream& stream) {
    return stream.SetTimeDivision(timeDivision) ? kMidiNoError : kMidiInvalidParam;
  });
}

MidiResult TMidiService::PrepareHeader(MidiStreamHandle handle, TMidiHeader* header) {
  return WithStream(handle, MidiCall::kPrepare, [header](MidiStream&) {
    if (header == nullptr || (header->lpData == nullptr && header->dwBufferLength > 0)) {
      return kMidiInvalidParam;
    }
    header->dwFlags = (header->dwFlags | kHeaderPrepared) & ~kHeaderDone;
    return kMidiNoError;
  });
}

MidiResult TMidiService::StreamOut(MidiStreamHandle handle, TMidiHeader* header) {
  return WithStream(handle, MidiCall::kOut, [header](MidiStream& stream) {
    if (header == nullptr) return kMidiInvalidParam;
    if ((header->dwFlags & kHeaderPrepared) == 0) return kMidiUnprepared;
    if (header->dwBytesRecorded > header->dwBufferLength) return kMidiInvalidParam;
    // The bytes are copied here: the caller may free its buffer as soon as this returns.
    auto events = DecodeStreamEvents(std::span(header->lpData, header->dwBytesRecorded));
    if (!events) return kMidiInvalidParam;
    if (!stream.Queue(header, std::move(*events), (header->dwFlags & kHeaderLoop) != 0)) {
      return kMidiStillPlaying;
    }
    header->dwFlags = (header->dwFlags | kHeaderInQueue) & ~kHeaderDone;
    return kMidiNoError;
  });
}

MidiResult TMidiService::StreamOutLive(MidiStreamHandle handle, TMidiHeader* header,
                                       std::shared_ptr<IStreamSource> source,
                                       std::uint32_t sliceTicks) {
  return WithStream(handle, MidiCall::kOut, [&](MidiStream& stream) {
    if (header == nullptr || source == nullptr || sliceTicks == 0) return kMidiInvalidParam;
    if ((header->dwFlags & kHeaderPrepared) == 0) return kMidiUnprepared;
    if (!stream.QueueLive(header, std::move(source), sliceTicks)) return kMidiStillPlaying;
    header->dwFlags = (header->dwFlags | kHeaderInQueue) & ~kHeaderDone;
    return kMidiNoError;
  });
}

MidiResult TMidiService::StreamSourceChanged(MidiStreamHandle handle) {
  return WithStream(handle, MidiCall::kOut, [](MidiStream& stream) {
    stream.SourceChanged();
    return kMidiNoError;
  });
}

MidiResult TMidiService::StreamRestart(MidiStreamHandle handle) {
  return WithStream(handle, MidiCall::kRestart, [](MidiStream& stream) {
    stream.Restart();
    return kMidiNoError;
  });
}

MidiResult TMidiService::UnprepareHeader(MidiStreamHandle handle, TMidiHeader* header) {
  return WithStream(handle, MidiCall::kUnprepare, [header](MidiStream& stream) {
    if (header == nullptr) return kMidiInvalidParam;
    if (stream.Holds(header)) return kMidiStillPlaying;
    if ((header->dwFlags & kHeaderInQueue) != 0) header->dwFlags |= kHeaderDone;
    header->dwFlags &= ~(kHeaderPrepared | kHeaderInQueue);
    return kMidiNoError;
  });
}

MidiResult TMidiService::StreamPosition(MidiStreamHandle handle, TStreamPosition* position) {
  return WithStream(handle, MidiCall::kPosition, [position](MidiStream& stream) {
    if (position == nullptr) return kMidiInvalidParam;
    *position = stream.Position();
    return kMidiNoError;
  });
}

std::string TMidiService::ErrorText(MidiResult code) {
  std::string text = MidiErrorText(code);
  std::lock_guard guard(mutex_);
  if (code == failedOpen_ && !failedOpenReason_.empty()) {
    if (!text.empty() && text.back() == '.') text.pop_back();
    text += ": " + failedOpenReason_ + ".";
  }
  return text;
}

void TMidiService::SetBufferDoneNotifier(std::function<void()> notifier) {
  std::lock_guard guard(notifierMutex_);
  notifier_ = std::move(notifier);
}

MidiResult TMidiService::WithStream(MidiStreamHandle handle, MidiCall call,
                                    const std::function<MidiResult(MidiStream&)>& action) {
  std::lock_guard guard(mutex_);
  StreamMap::iterator found;
  if (const MidiResult refusal = FindAdmitted(handle, call, &found)) return refusal;
  return action(*found->second);
}

MidiResult TMidiService::FindAdmitted(MidiStreamHandle handle, MidiCall call,
                                      StreamMap::iterator* found) {
  *found = streams_.find(handle);
  if (*found == streams_.end()) return kMidiInvalidHandle;
  return (*found)->second->Device()->Admit(call);
}

void TMidiService::NotifyBufferDone() {
  // Called under the lock, so that once SetBufferDoneNotifier has replaced the notifier the old
  // one is never running any more: its owner may then be destroyed safely.
  std::lock_guard guard(notifierMutex_);
  if (notifier_) notifier_();
}

}  // namespace brondel::platform
