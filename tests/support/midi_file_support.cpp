#include "tests/support/midi_file_support.h"

#include <sstream>

#include "exchange/midi_export.h"
#include "tests/support/stream_events.h"

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

std::vector<std::string> SentNotes(const TRhythmSlot& slot, int section, int part) {
  std::vector<std::string> notes;
  std::uint32_t time = 0;
  for (const StreamEvent& event : Decode(Render(slot, section))) {
    time += event.delta;
    if (event.status != PartStatus(0x90, part) || event.data1 == kEndMarker) continue;
    notes.push_back(std::to_string(time) + ": " + std::to_string(event.data1) + " " +
                    std::to_string(event.data2));
  }
  return notes;
}

TPartStream RecordTiming(TPartStream stream) {
  for (std::size_t at = 0; at + kRecordSize <= stream.size(); at += kRecordSize) {
    if (stream[at + 1] != kWaitMarker && stream[at + 1] != kEndMarker) {
      stream[at + 1] = 0;
      stream[at + 2] = 0;
    }
  }
  return stream;
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
