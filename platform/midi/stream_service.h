// TMidiService: the MIDI output service over a list of devices, one MidiStream per open handle,
// and the factories that build the system's service and the services of tests.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/midi/midi_device.h"
#include "platform/midi/stream_engine.h"
#include "platform/midi_service.h"

namespace brondel::platform {

using MidiDeviceList = std::vector<std::shared_ptr<IMidiDevice>>;

class TMidiService final : public IMidiService {
 public:
  /// A service over the devices `listDevices` gives; the list is asked again on every
  /// OutputDeviceNames, and device ids refer to the last list given.
  explicit TMidiService(std::function<MidiDeviceList()> listDevices);
  /// Closes every stream still open.
  ~TMidiService() override;
  TMidiService(const TMidiService&) = delete;
  TMidiService& operator=(const TMidiService&) = delete;

  std::vector<std::string> OutputDeviceNames() override;
  MidiResult StreamOpen(MidiStreamHandle* handle, std::uint32_t deviceId) override;
  MidiResult StreamClose(MidiStreamHandle handle) override;
  MidiResult StreamStop(MidiStreamHandle handle) override;
  MidiResult StreamSetTimeDivision(MidiStreamHandle handle, std::uint32_t timeDivision) override;
  MidiResult PrepareHeader(MidiStreamHandle handle, TMidiHeader* header) override;
  MidiResult StreamOut(MidiStreamHandle handle, TMidiHeader* header) override;
  MidiResult StreamRestart(MidiStreamHandle handle) override;
  MidiResult UnprepareHeader(MidiStreamHandle handle, TMidiHeader* header) override;
  std::string ErrorText(MidiResult code) override;
  void SetBufferDoneNotifier(std::function<void()> notifier) override;

 private:
  using StreamMap = std::map<MidiStreamHandle, std::unique_ptr<MidiStream>>;

  /// Finds the stream under `handle` and lets its device admit `call`; mutex_ is held.
  MidiResult FindAdmitted(MidiStreamHandle handle, MidiCall call, StreamMap::iterator* found);
  /// Finds the stream, lets its device admit `call`, then runs `action` on it.
  MidiResult WithStream(MidiStreamHandle handle, MidiCall call,
                        const std::function<MidiResult(MidiStream&)>& action);
  /// Ends a stream that is no longer in the map, then closes its device.
  static MidiResult CloseStream(std::unique_ptr<MidiStream> stream);
  void NotifyBufferDone();

  const std::function<MidiDeviceList()> listDevices_;
  std::mutex mutex_;
  MidiDeviceList devices_;
  StreamMap streams_;
  MidiStreamHandle nextHandle_ = 1;
  std::mutex notifierMutex_;
  std::function<void()> notifier_;
};

/// A text for every result code, including codes no call returns ("Unknown MIDI error 123").
std::string MidiErrorText(MidiResult code);

/// The system's service: the built-in synthesizer first, then every MIDI output port.
std::unique_ptr<IMidiService> MakeSystemMidiService();

/// A service over a fixed list of devices, in this order (recording devices in tests).
std::unique_ptr<IMidiService> MakeMidiService(MidiDeviceList devices);

}  // namespace brondel::platform
