// TMidiInputService: the input service over a list of input devices, each open input with its
// queue and its thread. MakeSystemMidiInputService (platform/midi_input.h) builds it over the
// system's devices, the tests' MakeMidiInputService (midi_testing.h) over devices of their
// choosing.
//
// Threads: the caller's (any, one call at a time under mutex_); one thread per open input, which
// waits on its queue (at most the watch interval), calls the message callback for each entry in
// order, and asks the device every watch interval whether it has gone (once it has, the lost
// callback, once). The input threads take no lock of the service.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_input.h instead."
#endif

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "platform/midi/input/input_device.h"
#include "platform/midi_input.h"

namespace brondel::platform {

struct TInputServiceOptions {
  std::size_t queueCapacity = 4096;              // entries of each input's queue
  std::chrono::milliseconds watchInterval{250};  // how often a device is asked whether it is gone
};

class TMidiInputService final : public IMidiInputService {
 public:
  /// A service over the devices `listDevices` gives; asked again on every InputDeviceNames.
  explicit TMidiInputService(std::function<MidiInputDeviceList()> listDevices,
                             TInputServiceOptions options = {});
  /// Closes every input still open.
  ~TMidiInputService() override;
  TMidiInputService(const TMidiInputService&) = delete;
  TMidiInputService& operator=(const TMidiInputService&) = delete;

  std::vector<std::string> InputDeviceNames() override;
  MidiResult OpenInput(std::uint32_t deviceId, TInputCallbacks callbacks,
                       MidiInputHandle* handle) override;
  MidiResult CloseInput(MidiInputHandle handle) override;
  std::string ErrorText(MidiResult code) override;

 private:
  class TOpenInput;

  std::mutex mutex_;  // guards every member below
  const std::function<MidiInputDeviceList()> listDevices_;
  const TInputServiceOptions options_;
  MidiInputDeviceList devices_;
  std::map<MidiInputHandle, std::unique_ptr<TOpenInput>> inputs_;
  MidiInputHandle nextHandle_ = 1;
  MidiResult lastFailure_ = kMidiNoError;
  std::string failureReason_;
};

}  // namespace brondel::platform
