#include "playback/playback.h"

#include <algorithm>
#include <string>

namespace brondel {

namespace {

// The service's text is read as a 120-byte C string would hold it.
constexpr std::size_t kMaxErrorTextLength = 119;

bool InRange(int index, int count) {
  return index >= 0 && index < count;
}

}  // namespace

const std::array<std::uint8_t, 11> TPlayback::kPlayAllOrder = {0, 2, 4, 2, 5, 3, 6, 3, 7, 2, 8};

TPlayback::TPlayback(TRhythmDocuments& docs, platform::IMidiService& midi, IPlaybackHost& host)
    : docs_(docs), midi_(midi), host_(host) {}

void TPlayback::OpenMidiStream() {
  const platform::MidiResult result = midi_.StreamOpen(&handle_, deviceId_);
  if (result != platform::kMidiNoError) ShowMidiError("OPEN ", result);
}

void TPlayback::CloseMidiStream() {
  const platform::MidiResult result = midi_.StreamClose(handle_);
  if (result != platform::kMidiNoError) ShowMidiError("CLOSE ", result);
}

void TPlayback::SetTimeDivision(int slot) {
  StopStream();  // whatever plays ends here; the result is not examined
  const std::uint32_t division = Slot(slot).header.Tempo();
  const platform::MidiResult result = midi_.StreamSetTimeDivision(handle_, division);
  if (result != platform::kMidiNoError) ShowMidiError("OPEN ", result);
}

void TPlayback::ShowMidiError(std::string_view prefix, platform::MidiResult code) {
  std::string text = midi_.ErrorText(code);
  text = text.substr(0, std::min(text.find('\0'), kMaxErrorTextLength));
  if (text.empty()) text = "MIDI error " + std::to_string(code);
  host_.ShowMessage(std::string(prefix) + text);
}

void TPlayback::ComboBox1Change(int selectedIndex) {
  CloseMidiStream();
  SelectDevice(static_cast<std::uint32_t>(selectedIndex));  // no selection (-1): the mapper
  OpenMidiStream();
}

platform::MidiResult TPlayback::StopStream() {
  return midi_.StreamStop(handle_);
}

void TPlayback::RenderSection(int slot, int section, TEventBuffer& buffer) {
  if (stopFlag_) return;
  if (slot == kMainSlot) host_.ShowPartSettings();
  RenderSectionEvents(Slot(slot), section, renderEvents_[static_cast<std::size_t>(slot)], buffer);
}

void TPlayback::PlayEventBuffer(const TEventBuffer& buffer) {
  if (stopFlag_) return;
  header_.lpData = buffer.data();
  header_.dwBufferLength = static_cast<std::uint32_t>(buffer.size());
  header_.dwBytesRecorded = header_.dwBufferLength;
  header_.dwFlags = 0;
  if (const auto result = midi_.PrepareHeader(handle_, &header_); result != 0) {
    ShowMidiError("Prepare  ", result);
    return;
  }
  if (const auto result = midi_.StreamOut(handle_, &header_); result != 0) {
    ShowMidiError("OUT  ", result);
    midi_.UnprepareHeader(handle_, &header_);
    return;
  }
  if (const auto result = midi_.StreamRestart(handle_); result != 0) {
    ShowMidiError("RESET  ", result);
    midi_.UnprepareHeader(handle_, &header_);
    return;
  }
  WaitUntilHandedBack();
}

void TPlayback::WaitUntilHandedBack() {
  // Each pass lets the window run what is waiting (any command may run nested here, Stop and
  // other plays included); the host sleeps until a window event or the service's buffer-done
  // notice, so the loop never spins. The stream still holding the buffer answers 65; anything
  // else, an error included, ends the wait.
  platform::MidiResult result = platform::kMidiStillPlaying;
  while (result == platform::kMidiStillPlaying && !stopFlag_) {
    host_.WaitForEvents();
    result = midi_.UnprepareHeader(handle_, &header_);
  }
}

void TPlayback::Stop() {
  stopFlag_ = true;
  if (const auto result = StopStream(); result != 0) ShowMidiError("OPEN ", result);
}

void TPlayback::PlaySection(int slot, int section) {
  stopFlag_ = false;
  if (!Slot(slot).Loaded() || !InRange(section, kSectionCount)) return;
  TEventBuffer buffer;
  RenderSection(slot, section, buffer);
  SetTimeDivision(slot);
  PlayEventBuffer(buffer);
}

void TPlayback::PlayPart(int slot, int section, int part) {
  stopFlag_ = false;
  SetTimeDivision(slot);
  if (Slot(slot).Loaded()) PreviewPart(slot, section, part);
}

void TPlayback::PreviewPart(int slot, int section, int part) {
  StopStream();  // the result is not examined
  SetTimeDivision(slot);
  // A part list left without a selection (after Play all) gives no part: nothing to play.
  if (!InRange(section, kSectionCount) || !InRange(part, kPartCount)) return;
  const TPartStream& stream =
      Slot(slot).streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)];
  if (stream.size() == 2 * kRecordSize) {
    host_.ShowMessage("This part is empty!");
    return;
  }
  TEventBuffer buffer;
  RenderPartPreview(Slot(slot), section, part, buffer);
  PlayEventBuffer(buffer);
}

void TPlayback::PlayAllCommand(int slot) {
  if (!Slot(slot).Loaded()) return;
  stopFlag_ = false;
  SetTimeDivision(slot);  // once for the whole sequence
  PlayAll(slot);
}

void TPlayback::PlayAll(int slot) {
  stopFlag_ = false;
  // Every section is rendered before anything plays, so a nested command that edits the
  // document cannot change what the rest of the sequence sounds like.
  std::array<TEventBuffer, kSectionCount> buffers;
  for (int section = 0; section < kSectionCount; ++section) {
    RenderSection(slot, section, buffers[static_cast<std::size_t>(section)]);
  }
  // The sequence never tests the stop flag itself: after a Stop each remaining entry is still
  // shown, and its PlayEventBuffer returns at once.
  for (const std::uint8_t section : kPlayAllOrder) {
    host_.ShowPlayAllEntry(slot, section);
    if (slot == kMainSlot) host_.ShowPartSettings();
    PlayEventBuffer(buffers[section]);
  }
}

const std::vector<TRenderEvent>& TPlayback::RenderEvents(int slot) const {
  return renderEvents_[static_cast<std::size_t>(slot)];
}

const TRhythmSlot& TPlayback::Slot(int slot) const {
  return docs_.slots[static_cast<std::size_t>(slot)];
}

}  // namespace brondel
