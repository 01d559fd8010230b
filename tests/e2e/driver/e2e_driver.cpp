// What the end-to-end scripts need beyond brondel-tool's own commands, run against the JACK
// server a script has started:
//   e2e_driver burst-rhythm OUT.ckf
//       writes the burst rhythm: Var1's drums hold a note-on of key 60 at tick 0, then at tick 10
//       3,000 note-offs (velocity 0) of key 61 and the note-off of key 60.
//   e2e_driver loop-rhythm OUT.ckf
//       writes a rhythm whose Var1 lasts two bars at tempo 100 (a tick is 5 ms, 240 frames at
//       48 kHz), with notes on two channels, one of them held over the bar's end.
//   e2e_driver loop DEVICE FILE SECTION
//       plays SECTION of FILE as a looping buffer on the output device named DEVICE, and queues
//       an empty buffer behind it once the second repetition sounds, so that exactly two
//       repetitions play; prints "messages N" (the messages of one repetition) and "length-us L"
//       (one repetition in microseconds). Exit status 0 when it played, 1 otherwise.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "document/rhythm_builder.h"
#include "document/rhythm_loader.h"
#include "platform/midi_service.h"
#include "render/render.h"

namespace {

using namespace std::chrono_literals;
using brondel::platform::IMidiService;
using brondel::platform::kMidiNoError;
using brondel::platform::MidiStreamHandle;
using brondel::platform::TMidiHeader;
using brondel::platform::TStreamPosition;

constexpr int kVar1 = 2;
constexpr int kDrums = 0;
constexpr int kBass = 1;

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return file.good();
}

std::vector<std::uint8_t> BurstRhythm() {
  brondel::TRhythmBuilder rhythm(100, 0x22);
  brondel::TPartBuilder drums;
  drums.Note(0, 60, 100).Note(10, 61, 0);
  for (int i = 1; i < 3000; ++i) drums.Note(0, 61, 0);
  drums.Note(0, 60, 0);
  rhythm.Part(kVar1, kDrums, drums.End());
  return rhythm.CkfFile();
}

std::vector<std::uint8_t> LoopRhythm() {
  brondel::TRhythmBuilder rhythm(100, 0x22);
  rhythm.Bars(kVar1, 2);
  brondel::TTimedPart drums;
  for (std::uint32_t beat = 0; beat < 8; ++beat) drums.Add(beat * 100, beat % 2 ? 38 : 36, 100, 20);
  rhythm.Part(kVar1, kDrums, drums.Build(800));
  // The bass ends the note it starts before the bar's end only after the seam: the first
  // records of the part end it, the last ones start it.
  rhythm.Part(kVar1, kBass,
              brondel::TPartBuilder().Note(0, 40, 0).Wait(700).Note(0, 40, 90).Wait(100).End());
  return rhythm.CkfFile();
}

// Plays `buffer` looping until its second repetition sounds, then lets it end at the next seam.
bool PlayTwice(IMidiService& service, MidiStreamHandle handle,
               const brondel::TEventBuffer& buffer) {
  TMidiHeader loop{buffer.data(), static_cast<std::uint32_t>(buffer.size()),
                   static_cast<std::uint32_t>(buffer.size()), brondel::platform::kHeaderLoop};
  TMidiHeader end{};
  if (service.PrepareHeader(handle, &loop) != kMidiNoError ||
      service.StreamOut(handle, &loop) != kMidiNoError ||
      service.StreamRestart(handle) != kMidiNoError) {
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  TStreamPosition position;
  while (position.repetitions < 1 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
    service.StreamPosition(handle, &position);
  }
  if (service.PrepareHeader(handle, &end) != kMidiNoError ||
      service.StreamOut(handle, &end) != kMidiNoError) {
    return false;
  }
  while (service.UnprepareHeader(handle, &end) != kMidiNoError &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
  return position.repetitions == 1 && service.UnprepareHeader(handle, &loop) == kMidiNoError;
}

int Loop(const std::string& device, const std::string& path, int section) {
  brondel::TLoadOutcome loaded = brondel::ReadRhythmFile(path);
  if (!loaded.rhythm) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), loaded.message.c_str());
    return 1;
  }
  const brondel::TRhythmSlot& slot = loaded.rhythm->slot;
  std::vector<brondel::TRenderEvent> events;
  brondel::TEventBuffer buffer;
  brondel::RenderSectionEvents(slot, section, events, buffer);

  const auto service = brondel::platform::MakeSystemMidiService();
  const std::vector<std::string> names = service->OutputDeviceNames();
  std::uint32_t id = 0;
  while (id < names.size() && names[id] != device) ++id;
  MidiStreamHandle handle = 0;
  if (id == names.size() || service->StreamOpen(&handle, id) != kMidiNoError ||
      service->StreamSetTimeDivision(handle, slot.header.Tempo()) != kMidiNoError) {
    std::fprintf(stderr, "cannot open a stream on %s\n", device.c_str());
    return 1;
  }
  const bool played = PlayTwice(*service, handle, buffer);
  const bool closed = service->StreamClose(handle) == kMidiNoError;

  std::uint64_t ticks = 0;
  int messages = 0;
  for (const brondel::TRenderEvent& event : events) {
    ticks += event.Time;
    if (event.Data1 <= 127 && event.Data2 <= 127) ++messages;
  }
  std::printf("messages %d\nlength-us %llu\n", messages,
              static_cast<unsigned long long>(ticks * 500'000 / slot.header.Tempo()));
  return played && closed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "burst-rhythm")
    return WriteFile(args[1], BurstRhythm()) ? 0 : 1;
  if (args.size() == 2 && args[0] == "loop-rhythm") return WriteFile(args[1], LoopRhythm()) ? 0 : 1;
  if (args.size() == 4 && args[0] == "loop") return Loop(args[1], args[2], std::stoi(args[3]));
  std::fprintf(stderr,
               "usage: e2e_driver burst-rhythm OUT | loop-rhythm OUT | loop DEVICE FILE SECTION\n");
  return 2;
}
