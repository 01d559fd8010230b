#include "platform/midi/ports/port_devices.h"

#include <RtMidi.h>

#if defined(BRONDEL_HAVE_ALSA)
#include <alsa/asoundlib.h>
#endif

#include <algorithm>
#include <chrono>

#include "platform/midi/jack/jack_device.h"
#include "platform/midi/jack/jack_input.h"
#include "platform/midi/system/library_messages.h"

namespace brondel::platform {
namespace {

// An RtMidi port of either direction whose errors and warnings (a message it could not send is
// one) are counted in `problems` instead of being printed and thrown: the device's result codes
// report them. Its constructor may still throw.
template <class Port>
std::unique_ptr<Port> MakeRtMidiPort(RtMidi::Api api, const std::string& clientName,
                                     int* problems) {
  auto port = std::make_unique<Port>(api, clientName);
  port->setErrorCallback(
      [](RtMidiError::Type, const std::string&, void* count) { ++*static_cast<int*>(count); },
      problems);
  return port;
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
      auto out = MakeRtMidiPort<RtMidiOut>(api_, options_.clientName, &errors_);
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

// The names of an RtMidi port list, leaving out our own client's ports.
template <class Port>
std::vector<std::string> PortNames(Port& port, const std::string& ownClient) {
  std::vector<std::string> names;
  for (unsigned int i = 0; i < port.getPortCount(); ++i) {
    std::string name = port.getPortName(i);
    if (!name.empty() && name.rfind(ownClient + ":", 0) != 0) names.push_back(std::move(name));
  }
  return names;
}

template <class Port>
std::vector<std::string> RtMidiPortNames(RtMidi::Api api) {
  try {
    int errors = 0;
    const auto port = MakeRtMidiPort<Port>(api, RtMidiPortOptions().clientName, &errors);
    return PortNames(*port, RtMidiPortOptions().clientName);
  } catch (const RtMidiError&) {
    return {};  // This MIDI system is not there.
  }
}

// One readable port of an RtMidi API, looked up by name when opened. RtMidi's reading thread
// hands each message to the input's queue with the steady clock's time of its arrival. The port
// is gone once a list of the system's ports (an RtMidi client of its own, made at Open) no longer
// has it.
class RtMidiInputDevice final : public IMidiInputDevice {
 public:
  RtMidiInputDevice(RtMidi::Api api, std::string name, RtMidiPortOptions options)
      : api_(api), name_(std::move(name)), options_(std::move(options)) {}

  std::string Name() const override { return name_; }

  MidiResult Open(TInputQueue& queue) override {
    const LibraryMessagesExpected expected;  // a failure is reported by the result
    queue_ = &queue;
    failure_ = name_ + " is no longer there";
    try {
      errors_ = 0;
      auto in = MakeRtMidiPort<RtMidiIn>(api_, options_.clientName, &errors_);
      auto lister = MakeRtMidiPort<RtMidiIn>(api_, options_.clientName, &listerErrors_);
      for (unsigned int port = 0; port < in->getPortCount(); ++port) {
        if (in->getPortName(port) != name_) continue;
        in->ignoreTypes(true, true, true);  // system exclusive, timing, active sensing
        in->setCallback(&RtMidiInputDevice::Received, this);
        in->openPort(port, options_.inputPortName);
        if (errors_ > 0) break;
        in_ = std::move(in);
        lister_ = std::move(lister);
        failure_.clear();
        return kMidiNoError;
      }
    } catch (const RtMidiError& error) {
      failure_ = error.getMessage();
    }
    if (errors_ > 0) failure_ = "the MIDI system refused to open " + name_;
    return kMidiNotEnabled;
  }

  std::string FailureReason() const override { return failure_; }

  std::string Gone() override {
    const LibraryMessagesExpected expected;
    const std::vector<std::string> names = PortNames(*lister_, options_.clientName);
    if (std::find(names.begin(), names.end(), name_) != names.end()) return {};
    return name_ + " has gone";
  }

  std::chrono::steady_clock::time_point TimeOf(std::int64_t time) const override {
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(time));
  }

  void Close() override {
    in_.reset();  // closing the port ends RtMidi's reading thread
    lister_.reset();
  }

 private:
  static void Received(double, std::vector<unsigned char>* bytes, void* self) {
    if (bytes == nullptr || !PassedOnInput(bytes->data(), bytes->size())) return;
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    static_cast<RtMidiInputDevice*>(self)->queue_->Push(
        InputMessage(bytes->data(), bytes->size()),
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
  }

  const RtMidi::Api api_;
  const std::string name_;
  const RtMidiPortOptions options_;
  TInputQueue* queue_ = nullptr;
  std::unique_ptr<RtMidiIn> in_;
  std::unique_ptr<RtMidiIn> lister_;
  int errors_ = 0;        // what RtMidi reported on the input since Open
  int listerErrors_ = 0;  // the list's own, on the input's thread, never read
  std::string failure_;
};

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
    for (const std::string& name : RtMidiPortNames<RtMidiOut>(api)) {
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

MidiInputDeviceList ListSystemMidiInputs() {
  const LibraryMessagesExpected expected;
  MidiInputDeviceList devices;
  for (RtMidi::Api api : RtMidiApis()) {
    for (const std::string& name : RtMidiPortNames<RtMidiIn>(api)) {
      devices.push_back(std::make_shared<RtMidiInputDevice>(api, name, RtMidiPortOptions()));
    }
  }
#if defined(BRONDEL_HAVE_JACK)
  for (const std::string& name : JackMidiSourcePorts()) {
    devices.push_back(std::make_shared<JackMidiInputDevice>(name));
  }
#endif
  return devices;
}

}  // namespace brondel::platform
