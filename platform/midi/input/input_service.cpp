#include "platform/midi/input/input_service.h"

#include <atomic>
#include <thread>

#include "platform/midi_messages.h"

namespace brondel::platform {

bool PassedOnInput(const std::uint8_t* bytes, std::size_t size) {
  constexpr std::uint8_t kClock = 0xF8;
  constexpr std::uint8_t kActiveSensing = 0xFE;
  if (size == 0 || size > 3 || midi::IsDataByte(bytes[0])) return false;
  for (std::size_t i = 1; i < size; ++i) {
    if (!midi::IsDataByte(bytes[i])) return false;
  }
  if (midi::IsChannelStatus(bytes[0])) {
    return size == static_cast<std::size_t>(1 + midi::DataByteCount(bytes[0]));
  }
  return bytes[0] != midi::kSysEx && bytes[0] != midi::kSysExContinuation && bytes[0] != kClock &&
         bytes[0] != kActiveSensing;
}

std::string MidiInputErrorText(MidiResult code) {
  switch (code) {
    case kMidiBadDeviceId:
      return "No MIDI input device has this device id.";
    case kMidiNotEnabled:
      return "The MIDI driver could not open the input device.";
    case kMidiAllocated:
      return "The MIDI input device is already in use.";
    case kMidiInvalidHandle:
      return "No MIDI input is open under this handle.";
    case kMidiMessagesLost:
      return "Some MIDI messages were lost: they came faster than the input could take them.";
    default:
      return MidiErrorText(code);
  }
}

MidiMessage InputMessage(const std::uint8_t* bytes, std::size_t size) {
  MidiMessage message;
  for (std::size_t i = 0; i < size; ++i) message.bytes[i] = bytes[i];
  message.size = static_cast<std::uint8_t>(size);
  return message;
}

// One open input: its device, its queue and the thread that hands the queue's messages to the
// callbacks.
class TMidiInputService::TOpenInput {
 public:
  TOpenInput(std::shared_ptr<IMidiInputDevice> device, TInputCallbacks callbacks,
             const TInputServiceOptions& options)
      : device_(std::move(device)),
        callbacks_(std::move(callbacks)),
        queue_(options.queueCapacity),
        watchInterval_(options.watchInterval) {}

  IMidiInputDevice& Device() { return *device_; }
  TInputQueue& Queue() { return queue_; }

  void Start() {
    thread_ = std::thread([this] { Run(); });
  }

  /// Ends the thread, then closes the device (the queue outlives both, so a message the device
  /// pushes meanwhile lands there unread); kMidiMessagesLost when the queue dropped any.
  MidiResult Close() {
    closing_.store(true);
    queue_.Wake();
    if (thread_.joinable()) thread_.join();
    device_->Close();
    return queue_.Dropped() > 0 ? kMidiMessagesLost : kMidiNoError;
  }

 private:
  void Run() {
    auto nextWatch = std::chrono::steady_clock::now() + watchInterval_;
    bool lost = false;
    while (!closing_.load()) {
      queue_.Wait(nextWatch);
      TInputQueue::Entry entry;
      while (!closing_.load() && queue_.Pop(entry)) {
        if (callbacks_.message) callbacks_.message({entry.message, device_->TimeOf(entry.time)});
      }
      if (closing_.load() || std::chrono::steady_clock::now() < nextWatch) continue;
      nextWatch = std::chrono::steady_clock::now() + watchInterval_;
      if (lost) continue;
      const std::string reason = device_->Gone();
      if (reason.empty()) continue;
      lost = true;
      if (callbacks_.lost) callbacks_.lost(reason);
    }
  }

  const std::shared_ptr<IMidiInputDevice> device_;
  const TInputCallbacks callbacks_;
  TInputQueue queue_;
  const std::chrono::milliseconds watchInterval_;
  std::atomic<bool> closing_{false};
  std::thread thread_;
};

TMidiInputService::TMidiInputService(std::function<MidiInputDeviceList()> listDevices,
                                     TInputServiceOptions options)
    : listDevices_(std::move(listDevices)), options_(options) {}

TMidiInputService::~TMidiInputService() {
  const std::lock_guard lock(mutex_);
  for (auto& [handle, input] : inputs_) input->Close();
}

std::vector<std::string> TMidiInputService::InputDeviceNames() {
  const std::lock_guard lock(mutex_);
  devices_ = listDevices_();
  std::vector<std::string> names;
  for (const auto& device : devices_) names.push_back(device->Name());
  return names;
}

MidiResult TMidiInputService::OpenInput(std::uint32_t deviceId, TInputCallbacks callbacks,
                                        MidiInputHandle* handle) {
  const std::lock_guard lock(mutex_);
  const auto fail = [this](MidiResult code, std::string reason) {
    lastFailure_ = code;
    failureReason_ = std::move(reason);
    return code;
  };
  if (handle == nullptr) return fail(kMidiInvalidParam, "");
  if (devices_.empty()) devices_ = listDevices_();
  if (deviceId >= devices_.size()) return fail(kMidiBadDeviceId, "");
  const std::shared_ptr<IMidiInputDevice>& device = devices_[deviceId];
  for (const auto& [openHandle, input] : inputs_) {
    if (input->Device().Name() == device->Name()) return fail(kMidiAllocated, "");
  }
  auto input = std::make_unique<TOpenInput>(device, std::move(callbacks), options_);
  if (const MidiResult result = device->Open(input->Queue())) {
    return fail(result, device->FailureReason());
  }
  input->Start();
  *handle = nextHandle_++;
  inputs_.emplace(*handle, std::move(input));
  return kMidiNoError;
}

MidiResult TMidiInputService::CloseInput(MidiInputHandle handle) {
  std::unique_ptr<TOpenInput> input;
  {
    const std::lock_guard lock(mutex_);
    const auto found = inputs_.find(handle);
    if (found == inputs_.end()) return kMidiInvalidHandle;
    input = std::move(found->second);
    inputs_.erase(found);
  }
  return input->Close();
}

std::string TMidiInputService::ErrorText(MidiResult code) {
  const std::lock_guard lock(mutex_);
  std::string text = MidiInputErrorText(code);
  if (code != lastFailure_ || failureReason_.empty()) return text;
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text + ": " + failureReason_ + ".";
}

}  // namespace brondel::platform
