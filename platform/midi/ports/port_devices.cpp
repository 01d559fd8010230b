#include "platform/midi/ports/port_devices.h"

#include <RtMidi.h>

#if defined(BRONDEL_HAVE_ALSA)
#include <alsa/asoundlib.h>
#endif

#include "platform/midi/jack/jack_device.h"
#include "platform/midi/system/library_messages.h"

namespace brondel::platform {
namespace {

// An RtMidi output whose errors and warnings (a message it could not send is one) are counted in
// `problems` instead of being printed and thrown: the device's result codes report them. Its
// constructor may still throw.
std::unique_ptr<RtMidiOut> MakeRtMidiOut(RtMidi::Api api, const std::string& clientName,
                                         int* problems) {
  auto out = std::make_unique<RtMidiOut>(api, clientName);
  out->setErrorCallback(
      [](RtMidiError::Type, const std::string&, void* count) { ++*static_cast<int*>(count); },
      problems);
  return out;
}

// One port of an RtMidi API; the port is looked up by name when opened, as the numbering
// changes whenever a port comes or goes.
class RtMidiPortDevice final : public IMidiDevice {
 public:
  RtMidiPortDevice(RtMidi::Api api, std::string name, RtMidiPortOptions options)
      : api_(api), name_(std::move(name)), options_(std::move(options)) {}

  std::string Name() const override { return name_; }

  MidiResult Open() override {
    const LibraryMessagesExpected expected;  // a failure is reported by the result
    try {
      errors_ = 0;
      auto out = MakeRtMidiOut(api_, options_.clientName, &errors_);
      for (unsigned int port = 0; port < out->getPortCount(); ++port) {
        if (out->getPortName(port) != name_) continue;
        out->openPort(port, options_.portName);
        if (errors_ > 0) break;
        out_ = std::move(out);
        return kMidiNoError;
      }
    } catch (const RtMidiError&) {
    }
    return kMidiNotEnabled;
  }

  bool IsOpen() const override { return out_ != nullptr; }

  // A port that went away mid-play counts an error for each message: the stream plays on in
  // silence, and Close reports what was lost.
  void Send(const MidiMessage& message, MidiMicros) override { Write(message); }

  void Silence(std::span<const MidiMessage> endings) override {
    for (const MidiMessage& message : endings) Write(message);
  }

  MidiResult Close() override {
    out_.reset();
    return errors_ > 0 ? kMidiMessagesLost : kMidiNoError;
  }

  IMidiClock& Clock() override { return SystemMidiClock(); }

 private:
  void Write(const MidiMessage& message) { out_->sendMessage(message.bytes.data(), message.size); }

  const RtMidi::Api api_;
  const std::string name_;
  const RtMidiPortOptions options_;
  std::unique_ptr<RtMidiOut> out_;
  int errors_ = 0;  // errors and warnings RtMidi reported since Open
};

std::vector<std::string> RtMidiPortNames(RtMidi::Api api) {
  std::vector<std::string> names;
  try {
    int errors = 0;
    const auto out = MakeRtMidiOut(api, RtMidiPortOptions().clientName, &errors);
    for (unsigned int port = 0; port < out->getPortCount(); ++port) {
      std::string name = out->getPortName(port);
      if (!name.empty()) names.push_back(std::move(name));
    }
  } catch (const RtMidiError&) {
    // This MIDI system is not there.
  }
  return names;
}

// RtMidi prints (and then throws) when the ALSA sequencer cannot be opened, before it can be
// given an error callback: it is asked only once the sequencer answers us, quietly.
bool AlsaSequencerAnswers() {
#if defined(BRONDEL_HAVE_ALSA)
  snd_seq_t* sequencer = nullptr;
  if (snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) return false;
  snd_seq_close(sequencer);
#endif
  return true;
}

// The systems RtMidi plays to; JACK's ports go through our own client where we have libjack.
std::vector<RtMidi::Api> RtMidiApis() {
#if defined(__linux__)
  std::vector<RtMidi::Api> apis;
  if (AlsaSequencerAnswers()) apis.push_back(RtMidi::LINUX_ALSA);
#if !defined(BRONDEL_HAVE_JACK)
  apis.push_back(RtMidi::UNIX_JACK);
#endif
  return apis;
#else
  return {RtMidi::UNSPECIFIED};
#endif
}

}  // namespace

MidiDeviceList ListSystemMidiPorts() {
  // A MIDI system that is not there is no problem: it has no ports to list.
  const LibraryMessagesExpected expected;
  MidiDeviceList devices;
  for (RtMidi::Api api : RtMidiApis()) {
    for (const std::string& name : RtMidiPortNames(api)) {
      devices.push_back(std::make_shared<RtMidiPortDevice>(api, name, RtMidiPortOptions()));
    }
  }
#if defined(BRONDEL_HAVE_JACK)
  for (const std::string& name : JackMidiInputPorts()) {
    devices.push_back(std::make_shared<JackMidiDevice>(name));
  }
#endif
  return devices;
}

}  // namespace brondel::platform
