#include "tools/queue_capture.h"

#include "document/rhythm_loader.h"
#include "tools/command_line.h"

namespace brondel::tool {

platform::MidiResult TQueueCapture::StreamOpen(platform::MidiStreamHandle* handle, std::uint32_t) {
  *handle = 1;
  return platform::kMidiNoError;
}

platform::MidiResult TQueueCapture::StreamOut(platform::MidiStreamHandle,
                                              platform::TMidiHeader* header) {
  queued_.emplace_back(header->lpData, header->lpData + header->dwBytesRecorded);
  return platform::kMidiNoError;
}

platform::MidiResult TQueueCapture::StreamRestart(platform::MidiStreamHandle) {
  if (notifier_) notifier_();
  return platform::kMidiNoError;
}

std::string TQueueCapture::ErrorText(platform::MidiResult code) {
  return "MIDI error " + std::to_string(code);
}

namespace {

// Runs one of the window's play commands over `docs` with the capture as its device. A message
// box it shows ("This part is empty!") throws TFileError naming the file and what was played.
std::vector<TEventBuffer> CaptureQueued(const std::string& path, const std::string& what,
                                        TRhythmDocuments& docs,
                                        const std::function<void(TPlayback&)>& command) {
  TQueueCapture capture;
  TSilentHost host;
  TPlayback playback(docs, capture, host);
  playback.OpenMidiStream();
  command(playback);
  if (!host.Messages().empty()) throw TFileError(path, what + ": " + host.Messages().front());
  return capture.Queued();
}

// A section or part double-click queues exactly one buffer.
TEventBuffer OnlyBuffer(const std::string& path, std::vector<TEventBuffer> queued) {
  if (queued.size() != 1) throw TFileError(path, "the play did not queue one buffer");
  return std::move(queued.front());
}

}  // namespace

TEventBuffer SectionBuffer(const std::string& path, TRhythmDocuments& docs, int section) {
  const std::string name(kSectionNames[static_cast<std::size_t>(section)]);
  return OnlyBuffer(path, CaptureQueued(path, name, docs, [&](TPlayback& playback) {
                      playback.PlaySection(kMainSlot, section);
                    }));
}

TEventBuffer PartBuffer(const std::string& path, TRhythmDocuments& docs, int section, int part) {
  return OnlyBuffer(
      path, CaptureQueued(path, PartItemText(section, part), docs, [&](TPlayback& playback) {
        playback.PlayPart(kMainSlot, section, part);
      }));
}

std::vector<TEventBuffer> PlayAllBuffers(const std::string& path, TRhythmDocuments& docs) {
  return CaptureQueued(path, "Play all", docs,
                       [](TPlayback& playback) { playback.PlayAllCommand(kMainSlot); });
}

}  // namespace brondel::tool
