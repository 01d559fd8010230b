// TMidiService: the MIDI output service over a list of devices, one MidiStream per open handle.
// MakeSystemMidiService (platform/midi_service.h) builds it over the system's devices, the tests'
// MakeMidiService (platform/midi/testing/midi_testing.h) over devices of their choosing.
//
// Threads: every call comes from the service's caller (the window's thread); mutex_ makes them
// safe from any thread nonetheless. Streams' threads call only NotifyBufferDone. Lock order:
// mutex_, then a stream's own mutex (a call on a stream runs under both); notifierMutex_ is
// taken alone, by a stream's thread with its stream's mutex released.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/midi/engine/midi_device.h"
#include "platform/midi/engine/stream_engine.h"
#include "platform/midi_service.h"

namespace brondel::platform {

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
  /// Ends the stream (waiting for its thread, with mutex_ released), then closes its device.
  MidiResult StreamClose(MidiStreamHandle handle) override;
  MidiResult StreamStop(MidiStreamHandle handle) override;
  MidiResult StreamSetTimeDivision(MidiStreamHandle handle, std::uint32_t timeDivision) override;
  MidiResult PrepareHeader(MidiStreamHandle handle, TMidiHeader* header) override;
  MidiResult StreamOut(MidiStreamHandle handle, TMidiHeader* header) override;
  MidiResult StreamRestart(MidiStreamHandle handle) override;
  MidiResult UnprepareHeader(MidiStreamHandle handle, TMidiHeader* header) override;
  MidiResult StreamPosition(MidiStreamHandle handle, TStreamPosition* position) override;
  /// The code's text; for the code of the last failed open, with the device's reason for it
  /// ("...the output device: JACK server "default" is not running (status 0x11).").
  std::string ErrorText(MidiResult code) override;
  void SetBufferDoneNotifier(std::function<void()> notifier) override;
  MidiResult StreamOutLive(MidiStreamHandle handle, TMidiHeader* header,
                           std::shared_ptr<IStreamSource> source,
                           std::uint32_t sliceTicks) override;
  MidiResult StreamSourceChanged(MidiStreamHandle handle) override;

 private:
  using StreamMap = std::map<MidiStreamHandle, std::unique_ptr<MidiStream>>;

  /// Finds the stream under `handle` and lets its device admit `call`; mutex_ is held.
  MidiResult FindAdmitted(MidiStreamHandle handle, MidiCall call, StreamMap::iterator* found);
  /// Finds the stream, lets its device admit `call`, then runs `action` on it, under mutex_.
  MidiResult WithStream(MidiStreamHandle handle, MidiCall call,
                        const std::function<MidiResult(MidiStream&)>& action);
  /// Ends a stream that is no longer in the map, then closes its device.
  static MidiResult CloseStream(std::unique_ptr<MidiStream> stream);
  /// Runs the notifier; called on a stream's thread.
  void NotifyBufferDone();

  const std::function<MidiDeviceList()> listDevices_;
  // Guards devices_, streams_ and nextHandle_, and is held through every call on a stream (so a
  // stream cannot be closed while it is being used) except the end of StreamClose.
  std::mutex mutex_;
  MidiDeviceList devices_;
  StreamMap streams_;
  MidiStreamHandle nextHandle_ = 1;
  // The last failed open's code and its device's reason (none once an open succeeds), under
  // mutex_.
  MidiResult failedOpen_ = kMidiNoError;
  std::string failedOpenReason_;
  // Guards notifier_ and is held while it runs, so that a notifier replaced is no longer running.
  std::mutex notifierMutex_;
  std::function<void()> notifier_;
};

}  // namespace brondel::platform
