#include "tests/support/test_rhythm.h"

namespace brondel::test {

TestRhythm::TestRhythm(std::uint8_t tempo, std::string fileName) {
  slot.fileName = std::move(fileName);
  slot.header.SetTempo(tempo);
  for (int section = 0; section < kSectionCount; ++section) {
    for (int part = 0; part < kPartCount; ++part) Part(section, part, {End(), Filler()});
  }
}

TestRhythm& TestRhythm::Part(int section, int part, std::initializer_list<TRhythmRecord> records) {
  auto& stream = slot.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)];
  stream.clear();
  for (const TRhythmRecord& record : records) AppendRecord(stream, record);
  slot.eventCounts[static_cast<std::size_t>(section)] = CountSectionEvents(slot, section);
  return *this;
}

TestRhythm& TestRhythm::Sound(int section, int part, const PartSound& sound) {
  TPartSettings settings = slot.header.Settings(section, part);
  const std::uint8_t values[] = {sound.tone, sound.bank,   sound.volume,
                                 sound.pane, sound.reverb, sound.chorus};
  std::copy(std::begin(values), std::end(values), settings.bytes.begin());
  slot.header.SetSettings(section, part, settings);
  return *this;
}

TestRhythm& TestRhythm::EventCount(int section, std::int32_t count) {
  slot.eventCounts[static_cast<std::size_t>(section)] = count;
  return *this;
}

}  // namespace brondel::test
