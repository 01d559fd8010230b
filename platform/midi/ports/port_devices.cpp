#include "platform/midi/ports/port_devices.h"

#include <RtMidi.h>

#include "platform/midi/jack/jack_device.h"
#include "platform/midi/jack/jack_environment.h"
#include "platform/midi/ports/used_channels.h"

namespace brondel::platform {
namespace {

// One port of an RtMidi API; the port is looked up by name when opened, as the numbering
// changes whenever a port comes or goes.
class RtMidiPortDevice final : public IMidiDevice {
 public:
  RtMidiPortDevice(RtMidi::Api api, std::string name, RtMidiPortOptions options)
      : api_(api), name_(std::move(name)), options_(std::move(options)) {}

  std::string Name() const override { return name_; }

  MidiResult Open() override {
    try {
      auto out = std::make_unique<RtMidiOut>(api_, options_.clientName);
      for (unsigned int port = 0; port < out->getPortCount(); ++port) {
        if (out->getPortName(port) == name_) {
          out->openPort(port, options_.portName);
          out_ = std::move(out);
          return kMidiNoError;
        }
      }
    } catch (const RtMidiError&) {
    }
    return kMidiNotEnabled;
  }

  bool IsOpen() const override { return out_ != nullptr; }

  void Send(const MidiMessage& message, MidiMicros) override {
    used_.Note(message);
    Write(message);
  }

  void Silence(std::span<const MidiMessage> noteOffs) override {
    for (const MidiMessage& message : noteOffs) Write(message);
    for (const MidiMessage& message : used_.AllNotesOff()) Write(message);
  }

  MidiResult Close() override {
    out_.reset();
    return kMidiNoError;
  }

  IMidiClock& Clock() override { return SystemMidiClock(); }

 private:
  void Write(const MidiMessage& message) {
    try {
      out_->sendMessage(message.bytes.data(), message.size);
    } catch (const RtMidiError&) {
      // A port that went away mid-play: the stream plays on in silence.
    }
  }

  const RtMidi::Api api_;
  const std::string name_;
  const RtMidiPortOptions options_;
  std::unique_ptr<RtMidiOut> out_;
  UsedChannels used_;
};

std::vector<std::string> PortNames(RtMidi::Api api) {
  std::vector<std::string> names;
  try {
    RtMidiOut out(api, RtMidiPortOptions().clientName);
    for (unsigned int port = 0; port < out.getPortCount(); ++port) {
      names.push_back(out.getPortName(port));
    }
  } catch (const RtMidiError&) {
    // This MIDI system is not there (no ALSA sequencer without /dev/snd, say).
  }
  return names;
}

std::shared_ptr<IMidiDevice> MakePortDevice(RtMidi::Api api, const std::string& name) {
#if defined(BRONDEL_HAVE_JACK)
  if (api == RtMidi::UNIX_JACK) return std::make_shared<JackMidiDevice>(name);
#endif
  return std::make_shared<RtMidiPortDevice>(api, name, RtMidiPortOptions());
}

std::vector<RtMidi::Api> SystemApis() {
#if defined(__linux__)
  return {RtMidi::LINUX_ALSA, RtMidi::UNIX_JACK};
#else
  return {RtMidi::UNSPECIFIED};
#endif
}

}  // namespace

MidiDeviceList ListSystemMidiPorts() {
  PreventJackServerAutoStart();
  MidiDeviceList devices;
  for (RtMidi::Api api : SystemApis()) {
    for (const std::string& name : PortNames(api)) devices.push_back(MakePortDevice(api, name));
  }
  return devices;
}

}  // namespace brondel::platform
