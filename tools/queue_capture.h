// Running the window's own play commands without a device: every buffer they queue is kept
// instead of played, so render, preview, export-midi and wav get exactly what the window sends.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "document/rhythm_slot.h"
#include "platform/midi_service.h"
#include "playback/playback.h"
#include "playback/playback_host.h"
#include "render/render.h"

namespace brondel::tool {

/// A MIDI service that sounds nothing: it keeps a copy of each queued buffer and hands it back
/// as soon as it is started, so that a play command runs to its end without waiting.
class TQueueCapture : public platform::IMidiService {
 public:
  /// Copies of the buffers queued, in order.
  const std::vector<TEventBuffer>& Queued() const { return queued_; }

  std::vector<std::string> OutputDeviceNames() override { return {"capture"}; }
  platform::MidiResult StreamOpen(platform::MidiStreamHandle* handle, std::uint32_t) override;
  platform::MidiResult StreamClose(platform::MidiStreamHandle) override { return 0; }
  platform::MidiResult StreamStop(platform::MidiStreamHandle) override { return 0; }
  platform::MidiResult StreamSetTimeDivision(platform::MidiStreamHandle, std::uint32_t) override {
    return 0;
  }
  platform::MidiResult PrepareHeader(platform::MidiStreamHandle, platform::TMidiHeader*) override {
    return 0;
  }
  platform::MidiResult StreamOut(platform::MidiStreamHandle,
                                 platform::TMidiHeader* header) override;
  /// Tells the notifier that the buffer has been handed back.
  platform::MidiResult StreamRestart(platform::MidiStreamHandle) override;
  platform::MidiResult UnprepareHeader(platform::MidiStreamHandle,
                                       platform::TMidiHeader*) override {
    return 0;
  }
  /// Nothing ever sounds: every buffer is handed back as soon as it starts.
  platform::MidiResult StreamPosition(platform::MidiStreamHandle,
                                      platform::TStreamPosition* position) override {
    *position = {};
    return 0;
  }
  std::string ErrorText(platform::MidiResult code) override;
  void SetBufferDoneNotifier(std::function<void()> notifier) override {
    notifier_ = std::move(notifier);
  }

 private:
  std::vector<TEventBuffer> queued_;
  std::function<void()> notifier_;
};

/// A playback host without a window: message boxes are kept as text, nothing else is shown,
/// and waiting returns at once.
class TSilentHost : public IPlaybackHost {
 public:
  /// The texts of the message boxes the command showed.
  const std::vector<std::string>& Messages() const { return messages_; }

  void ShowMessage(const std::string& text) override { messages_.push_back(text); }
  void ShowPartSettings() override {}
  void ShowPlayAllEntry(int, int) override {}
  void WaitForEvents() override {}

 private:
  std::vector<std::string> messages_;
};

/// The buffer that double-clicking `section` of the main file queues.
TEventBuffer SectionBuffer(const std::string& path, TRhythmDocuments& docs, int section);
/// The buffer that double-clicking `part` with `section` selected queues; a part the window
/// calls empty throws TFileError with its message.
TEventBuffer PartBuffer(const std::string& path, TRhythmDocuments& docs, int section, int part);
/// The buffers that "Play all" of the main file queues, in playing order.
std::vector<TEventBuffer> PlayAllBuffers(const std::string& path, TRhythmDocuments& docs);

}  // namespace brondel::tool
