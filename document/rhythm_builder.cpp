#include "document/rhythm_builder.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "document/rhythm_writer.h"

namespace brondel {

TPartBuilder& TPartBuilder::Note(std::uint8_t step, std::uint8_t key, std::uint8_t velocity) {
  return Record(TRhythmRecord::Note(step, key, velocity));
}

TPartBuilder& TPartBuilder::Wait(std::uint16_t delay) {
  return Record(TRhythmRecord::Wait(delay));
}

TPartBuilder& TPartBuilder::Record(const TRhythmRecord& record) {
  AppendRecord(stream_, record);
  return *this;
}

TPartStream TPartBuilder::End(std::uint8_t step) {
  Record(TRhythmRecord::End(step));
  if (stream_.size() % (2 * kRecordSize) != 0) Wait(0);
  return stream_;
}

TTimedPart& TTimedPart::Add(std::uint32_t time, std::uint8_t key, std::uint8_t velocity,
                            std::uint32_t length) {
  events_.push_back({time, key, velocity});
  events_.push_back({time + length, key, 0});
  return *this;
}

TPartStream TTimedPart::Build(std::uint32_t endTime) const {
  std::vector<TTimedNote> events = events_;
  // Note-offs go before note-ons at the same tick, so a repeated key sounds again.
  std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) {
    return a.time < b.time || (a.time == b.time && a.velocity == 0 && b.velocity != 0);
  });
  return EncodeTimedNotes(events, endTime);
}

TPartStream EncodeTimedNotes(const std::vector<TTimedNote>& notes, std::uint32_t endTime) {
  if (endTime > 0xFFFF) throw std::invalid_argument("a part ends past tick 65535");
  TPartBuilder part;
  std::uint32_t running = 0;
  // The step from the running time to `time`: a wait record first when it exceeds one byte.
  const auto stepTo = [&](std::uint32_t time) {
    if (time < running) throw std::invalid_argument("a note before the one it follows");
    if (time > endTime) throw std::invalid_argument("a note after the end of its part");
    const std::uint32_t gap = time - running;
    running = time;
    if (gap <= 0xFF) return static_cast<std::uint8_t>(gap);
    part.Wait(static_cast<std::uint16_t>(gap));
    return std::uint8_t{0};
  };
  for (const TTimedNote& note : notes) part.Note(stepTo(note.time), note.key, note.velocity);
  return part.End(stepTo(endTime));
}

TPartSettings PartSettings(std::uint8_t tone, std::uint8_t bank, std::uint8_t volume,
                           std::uint8_t pane, std::uint8_t reverb, std::uint8_t chorus) {
  TPartSettings settings;
  settings.bytes = {tone, bank, volume, pane, reverb, chorus, 0, 0};
  return settings;
}

TRhythmBuilder::TRhythmBuilder(std::uint8_t tempo, std::uint8_t timeSignature) {
  header_.SetTempo(tempo);
  header_.SetTimeSignature(timeSignature);
  for (auto& section : streams_) {
    for (auto& stream : section) stream = TPartBuilder().End();
  }
}

TRhythmBuilder& TRhythmBuilder::Bars(int section, std::uint16_t bars) {
  header_.SetBarCount(section, bars);
  return *this;
}

TRhythmBuilder& TRhythmBuilder::Settings(int part, const TPartSettings& settings) {
  for (int s = 0; s < kSectionCount; ++s) Settings(s, part, settings);
  return *this;
}

TRhythmBuilder& TRhythmBuilder::Settings(int section, int part, const TPartSettings& settings) {
  header_.SetSettings(section, part, settings);
  return *this;
}

TRhythmBuilder& TRhythmBuilder::Part(int section, int part, TPartStream stream) {
  streams_[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)] = std::move(stream);
  return *this;
}

TRhythmSlot TRhythmBuilder::Slot() const {
  TRhythmSlot slot;
  const std::vector<std::uint8_t> file = CkfFile();
  std::copy_n(file.begin() + kPrefixSize, kHeaderSize, slot.header.bytes.begin());
  slot.streams = streams_;
  for (int s = 0; s < kSectionCount; ++s) {
    slot.eventCounts[static_cast<std::size_t>(s)] = CountSectionEvents(slot, s);
  }
  slot.numerator = TimeSignatureNumerator(header_.TimeSignature());
  slot.denominator = TimeSignatureDenominator(header_.TimeSignature());
  return slot;
}

std::vector<std::uint8_t> TRhythmBuilder::CkfFile() const {
  TRhythmHeader header = header_;
  std::array<std::uint8_t, kPrefixSize> prefix{};
  return BuildCkfFile(header, streams_, prefix);
}

std::vector<std::uint8_t> TRhythmBuilder::Z00File() const {
  std::vector<std::uint8_t> file = CkfFile();
  file.erase(file.begin(), file.begin() + kPrefixSize);
  return file;
}

}  // namespace brondel
