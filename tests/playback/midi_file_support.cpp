#include "tests/playback/midi_file_support.h"

#include <sstream>

#include "playback/midi_export.h"
#include "tests/playback/stream_events.h"

namespace brondel::test {

TEventBuffer Render(const TRhythmSlot& slot, int section) {
  std::vector<TRenderEvent> events;
  TEventBuffer buffer;
  RenderSectionEvents(slot, section, events, buffer);
  return buffer;
}

platform::TMidiFile MidiFileOf(const std::vector<std::uint8_t>& bytes) {
  platform::TMidiFileRead read = platform::ReadMidiFile(bytes);
  EXPECT_EQ(read.error, "");
  return std::move(read.file);
}

platform::TMidiFile ExportedSection(const TRhythmSlot& slot, int section) {
  const TMidiExport exported = ExportMidiFile(slot, "song", {Render(slot, section)});
  EXPECT_EQ(exported.refusal, "");
  return MidiFileOf(exported.bytes);
}

std::vector<TNamedMidiFile> ExportedSections(const TRhythmSlot& slot) {
  std::vector<TNamedMidiFile> files;
  for (int section = 0; section < kSectionCount; ++section) {
    files.push_back(
        {"FOLDER/song-" + std::string(kSectionNames[static_cast<std::size_t>(section)]) + ".mid",
         ExportedSection(slot, section)});
  }
  return files;
}

testing::AssertionResult SameRender(const TEventBuffer& expected, const TEventBuffer& actual) {
  const std::vector<StreamEvent> want = Decode(expected);
  const std::vector<StreamEvent> got = Decode(actual);
  for (std::size_t i = 0; i < std::max(want.size(), got.size()); ++i) {
    if (i < want.size() && i < got.size() && want[i] == got[i]) continue;
    std::ostringstream text;
    text << "record " << i << ": expected ";
    if (i < want.size())
      PrintTo(want[i], &text);
    else
      text << "nothing";
    text << ", got ";
    if (i < got.size())
      PrintTo(got[i], &text);
    else
      text << "nothing";
    return testing::AssertionFailure()
           << text.str() << " (" << want.size() << " and " << got.size() << " records)";
  }
  return testing::AssertionSuccess();
}

}  // namespace brondel::test
