// devices and play: the window's device lists (outputs, then inputs), and a section played on one
// of its devices by the window's own playback, in time, until its end or Ctrl-C.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "platform/midi_input.h"
#include "platform/midi_service.h"
#include "playback/playback.h"
#include "tools/commands.h"
#include "tools/interrupt.h"
#include "tools/rhythm_input.h"

namespace brondel::tool {

namespace {

// How often a waiting play looks at Ctrl-C; a signal handler may not wake a condition variable.
constexpr std::chrono::milliseconds kInterruptPoll{20};
constexpr std::size_t kMaxDeviceDigits = 9;  // a device number fits 32 bits

// The window's part of a play without a window: messages go to the error stream, and waiting
// sleeps until the stream hands the buffer back or Ctrl-C asks for the Stop command.
class TConsoleHost : public IPlaybackHost {
 public:
  explicit TConsoleHost(std::ostream& err) : err_(err) {}

  /// What Ctrl-C runs: the Stop command.
  void OnInterrupt(std::function<void()> stop) { stop_ = std::move(stop); }
  /// Called on the stream's thread whenever a buffer has been handed back.
  void BufferDone() {
    const std::lock_guard lock(mutex_);
    done_ = true;
    wake_.notify_all();
  }
  bool ShowedMessage() const { return showedMessage_; }
  bool Interrupted() const { return interrupted_; }

  void ShowMessage(const std::string& text) override {
    err_ << "brondel-tool play: " << text << '\n';
    showedMessage_ = true;
  }
  void ShowPartSettings() override {}
  void ShowPlayAllEntry(int, int) override {}
  void WaitForEvents() override {
    {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, kInterruptPoll,
                     [this] { return done_ || TInterruptCatcher::Requested(); });
      done_ = false;
    }
    if (TInterruptCatcher::Take()) {
      interrupted_ = true;
      stop_();
    }
  }

 private:
  std::ostream& err_;
  std::function<void()> stop_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  bool showedMessage_ = false;
  bool interrupted_ = false;
};

std::uint32_t DeviceNumber(const TCommandLine& line) {
  const std::string text = line.Has("--device") ? line.Value("--device") : "0";
  const std::optional<std::uint64_t> device = WholeNumber(text, kMaxDeviceDigits);
  if (!device) throw TUsageError("--device takes a device number, not '" + text + "'");
  return static_cast<std::uint32_t>(*device);
}

}  // namespace

int RunDevices(const TCommandLine&, TConsole& console) {
  const auto midi = platform::MakeSystemMidiService();
  const std::vector<std::string> names = midi->OutputDeviceNames();
  for (std::size_t i = 0; i < names.size(); ++i) console.out << i << ": " << names[i] << '\n';
  // The inputs after the outputs, in a shape of their own, so that a script reading "N: NAME"
  // lines finds the output devices only.
  const auto inputs = platform::MakeSystemMidiInputService();
  const std::vector<std::string> inputNames = inputs->InputDeviceNames();
  for (std::size_t i = 0; i < inputNames.size(); ++i) {
    console.out << "in  " << i << "  " << inputNames[i] << '\n';
  }
  return kExitOk;
}

int RunPlay(const TCommandLine& line, TConsole& console) {
  const std::string& path = line.positional[0];
  const int section = SectionOf(path, line.positional[1]);
  const std::uint32_t device = DeviceNumber(line);
  TRhythmDocuments docs = OpenAsMainFile(path, console.err);
  // The host outlives the service, whose thread may report a buffer handed back to it.
  TConsoleHost host(console.err);
  const auto system = platform::MakeSystemMidiService();
  if (device >= system->OutputDeviceNames().size()) {
    console.err << "brondel-tool play: no output device " << device
                << " ('brondel-tool devices' lists them)\n";
    return kExitFileProblem;
  }
  system->SetBufferDoneNotifier([&host] { host.BufferDone(); });
  TPlayback playback(docs, *system, host);
  host.OnInterrupt([&playback] { playback.Stop(); });
  const TInterruptCatcher catcher;
  playback.SelectDevice(device);
  playback.OpenMidiStream();
  if (host.ShowedMessage()) return kExitFileProblem;  // no stream: nothing to play or close
  playback.PlaySection(kMainSlot, section);
  playback.CloseMidiStream();
  if (host.Interrupted()) return kExitInterrupted;
  return host.ShowedMessage() ? kExitFileProblem : kExitOk;
}

}  // namespace brondel::tool
