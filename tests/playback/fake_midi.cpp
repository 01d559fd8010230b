#include "tests/playback/fake_midi.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace brondel::test {

namespace {

// Far more passes than any scripted play needs: a wait loop that gets here does not end.
constexpr int kMaxWaits = 10000;

}  // namespace

using platform::MidiResult;

void FakeMidiService::RefuseAll(MidiResult code) {
  for (Call call : {Call::Open, Call::Close, Call::Stop, Call::TimeDivision, Call::Prepare,
                    Call::Out, Call::Restart, Call::Unprepare}) {
    Refuse(call, code);
  }
}

void FakeMidiService::FinishBuffer() {
  if (!Playing()) {
    ADD_FAILURE() << "the test ends a buffer while none plays";
    return;
  }
  HandBack("played to its end");
}

MidiResult FakeMidiService::StreamOpen(platform::MidiStreamHandle* handle, std::uint32_t deviceId) {
  const MidiResult result = Enter(Call::Open, "open " + std::to_string(deviceId), true);
  if (result == platform::kMidiNoError) *handle = open_ = nextHandle_++;
  return result;
}

MidiResult FakeMidiService::StreamClose(platform::MidiStreamHandle handle) {
  const MidiResult result = Enter(Call::Close, "close", IsOpen(handle));
  if (result != platform::kMidiNoError) return result;
  if (held_ != nullptr) HandBack("stream closed");
  open_ = 0;
  return result;
}

MidiResult FakeMidiService::StreamStop(platform::MidiStreamHandle handle) {
  const MidiResult result = Enter(Call::Stop, "stop", IsOpen(handle));
  if (result != platform::kMidiNoError) return result;
  if (held_ != nullptr) HandBack("stopped");
  return result;
}

MidiResult FakeMidiService::StreamSetTimeDivision(platform::MidiStreamHandle handle,
                                                  std::uint32_t timeDivision) {
  const MidiResult result =
      Enter(Call::TimeDivision, "division " + std::to_string(timeDivision), IsOpen(handle));
  if (result == platform::kMidiNoError) timeDivision_ = timeDivision;
  return result;
}

MidiResult FakeMidiService::PrepareHeader(platform::MidiStreamHandle handle,
                                          platform::TMidiHeader* header) {
  const MidiResult result = Enter(Call::Prepare, "prepare", IsOpen(handle));
  if (result == platform::kMidiNoError) header->dwFlags |= platform::kHeaderPrepared;
  return result;
}

MidiResult FakeMidiService::StreamOut(platform::MidiStreamHandle handle,
                                      platform::TMidiHeader* header) {
  const MidiResult result = Enter(Call::Out, "out", IsOpen(handle));
  if (result != platform::kMidiNoError) return result;
  if ((header->dwFlags & platform::kHeaderPrepared) == 0) return platform::kMidiUnprepared;
  if (held_ != nullptr) ADD_FAILURE() << "a buffer is queued while the stream still holds one";
  queued_.emplace_back(header->lpData, header->lpData + header->dwBufferLength);
  header->dwFlags = (header->dwFlags | platform::kHeaderInQueue) & ~platform::kHeaderDone;
  held_ = header;
  running_ = false;
  return result;
}

MidiResult FakeMidiService::StreamRestart(platform::MidiStreamHandle handle) {
  const MidiResult result = Enter(Call::Restart, "restart", IsOpen(handle));
  if (result == platform::kMidiNoError) running_ = true;
  return result;
}

MidiResult FakeMidiService::UnprepareHeader(platform::MidiStreamHandle handle,
                                            platform::TMidiHeader* header) {
  MidiResult result = Enter(Call::Unprepare, "unprepare", IsOpen(handle));
  if (result != platform::kMidiNoError) return result;
  if (header == held_) {
    result = platform::kMidiStillPlaying;
  } else {
    header->dwFlags &= ~platform::kHeaderPrepared;
  }
  log_.back() += " -> " + std::to_string(result);
  return result;
}

MidiResult FakeMidiService::StreamPosition(platform::MidiStreamHandle handle,
                                           platform::TStreamPosition* position) {
  if (!IsOpen(handle)) return platform::kMidiInvalidHandle;
  *position = {};
  if (Playing()) *position = {held_, positionTicks_, positionRepetitions_};
  return platform::kMidiNoError;
}

std::string FakeMidiService::ErrorText(MidiResult code) {
  const auto text = texts_.find(code);
  return text != texts_.end() ? text->second : "error " + std::to_string(code);
}

MidiResult FakeMidiService::Enter(Call call, const std::string& entry, bool handleValid) {
  log_.push_back(entry);
  MidiResult result = platform::kMidiNoError;
  if (const auto refusal = refusals_.find(call); refusal != refusals_.end()) {
    result = refusal->second;
  } else if (!handleValid) {
    result = platform::kMidiInvalidHandle;
  }
  if (result != platform::kMidiNoError) log_.back() += " refused " + std::to_string(result);
  return result;
}

void FakeMidiService::HandBack(const std::string& why) {
  log_.push_back("handed back: " + why);
  held_->dwFlags = (held_->dwFlags & ~platform::kHeaderInQueue) | platform::kHeaderDone;
  held_ = nullptr;
  running_ = false;
}

void FakeHost::ShowMessage(const std::string& text) {
  log_.push_back("message: " + text);
  messages_.push_back(text);
}

void FakeHost::ShowPartSettings() {
  log_.push_back("grid");
  ++gridRefreshes_;
}

void FakeHost::ShowPlayAllEntry(int slot, int section) {
  log_.push_back("entry " + std::to_string(slot) + " " +
                 std::string(kSectionNames[static_cast<std::size_t>(section)]));
  entries_.emplace_back(slot, section);
}

void FakeHost::WaitForEvents() {
  log_.push_back("wait");
  if (++waits_ > kMaxWaits) throw std::runtime_error("the wait loop does not end");
  if (!steps_.empty()) {
    const auto step = std::move(steps_.front());
    steps_.pop_front();
    step();
  } else if (midi_.Playing()) {
    midi_.FinishBuffer();
  }
}

}  // namespace brondel::test
