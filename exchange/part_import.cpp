// "Import MIDI part": one part of a rhythm replaced by the notes of a source of a MIDI file.
#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "document/apply_settings.h"
#include "document/rhythm_builder.h"
#include "document/rhythm_timing.h"
#include "document/rhythm_writer.h"
#include "exchange/import_refusal.h"
#include "exchange/import_timing.h"
#include "exchange/midi_import.h"
#include "exchange/note_pairing.h"
#include "render/send_order.h"

namespace brondel {

namespace {

using namespace midi_in;
using platform::TMidiFile;

std::size_t PartSize(const TRhythmSlot& slot, int section, int part) {
  return slot.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)].size();
}

// How long a part imported into a section lasts: as the section plays, or when its parts all end
// at once, as its bars say.
std::uint64_t ImportLength(const TRhythmSlot& slot, int section, int q) {
  if (const std::uint16_t length = SectionLength(slot, section); length > 0) return length;
  const std::uint8_t signature = slot.header.TimeSignature();
  if (TimeSignatureNumerator(signature) == 0) return 0;
  const std::uint64_t bars = slot.header.BarCount(section);
  const std::uint64_t barTicks = SectionSize(1, q, signature).ticks;
  return std::min(bars * barTicks, kTimelineEnd);
}

std::string SourceText(const TMidiSource& source) {
  return (source.kind == TMidiSource::TKind::kTrack ? "track " : "channel ") +
         std::to_string(source.index + 1);
}

// What to say when the file states a time signature other than the rhythm's `signature`: its
// notes keep their ticks, so they fall on other beats of the bar than the file shows.
std::optional<std::string> OtherTimeSignature(const TMidiFile& file, std::uint8_t signature) {
  if (TimeSignatureNumerator(signature) == 0) return std::nullopt;
  for (const TStatedSignature& stated : StatedSignatures(file)) {
    if (stated.Is(signature)) continue;
    return "the source is in " + stated.Text() + ", the rhythm in " + TimeSignatureText(signature) +
           ": its notes keep their ticks, not their bars";
  }
  return std::nullopt;
}

// Refuses new records for a part that the section or the file could not hold.
void CheckPartFits(const TRhythmSlot& slot, const std::string& path, const TPartImport& request,
                   std::size_t newSize) {
  const std::size_t oldSize = PartSize(slot, request.section, request.part);
  const std::size_t sectionSize = SectionDataSize(slot, request.section) - oldSize + newSize;
  if (sectionSize > kMaxSectionDataSize) {
    Refuse(path, "its notes would make the parts of " + SectionName(request.section) + " hold " +
                     std::to_string(sectionSize) + " bytes of data, more than the " +
                     std::to_string(kMaxSectionDataSize) + " a section can hold");
  }
  const std::size_t oldTotal = TotalLength(slot.streams);
  const std::size_t newTotal = oldTotal - oldSize + newSize;
  if (newTotal > kMaxTotalLength && newTotal > oldTotal) {
    Refuse(path, "its notes would make the rhythm " + std::to_string(newTotal) +
                     " bytes long, more than the " + std::to_string(kMaxTotalLength) +
                     " a rhythm file holds");
  }
}

TMidiImportOutcome ImportPart(TRhythmSlot& slot, const std::string& path, const TMidiFile& file,
                              const TPartImport& request) {
  if (file.division == 0) Refuse(path, "a division of 0 ticks per quarter note");
  if (!HoldsNotes(file)) Refuse(path, "holds no notes");
  const bool isTrack = request.source.kind == TMidiSource::TKind::kTrack;
  if (isTrack && static_cast<std::size_t>(request.source.index) >= file.tracks.size()) {
    Refuse(path, "there is no " + SourceText(request.source) + ": the file has " +
                     std::to_string(file.tracks.size()) +
                     (file.tracks.size() == 1 ? " track" : " tracks"));
  }
  const TMidiMessages messages = SourceMessages(file, request.source);
  if (CountNoteOns(messages) == 0) Refuse(path, SourceText(request.source) + " holds no notes");
  const int q = MidiTicksPerQuarterNote(slot);
  const std::uint64_t end = ImportLength(slot, request.section, q);
  if (end == 0) {
    Refuse(path, SectionName(request.section) +
                     " lasts no time (its parts end at once and it has no bars to fill)");
  }
  const TShapedPart shaped = ShapePart(RhythmNotes(messages, file.division, q), end);
  TPartStream records = EncodeTimedNotes(shaped.notes, static_cast<std::uint32_t>(end));
  CheckPartFits(slot, path, request, records.size());

  ReplacePartInSendOrder(slot, request.section, request.part, std::move(records));
  if (request.takeSounds) {
    slot.header.SetSettings(
        request.section, request.part,
        SourceSettings(messages, slot.header.Settings(request.section, request.part)));
  }
  std::vector<std::string> notices;
  if (auto other = OtherTimeSignature(file, slot.header.TimeSignature())) {
    notices.push_back(PartItemText(request.section, request.part) + ": " + std::move(*other));
  }
  for (std::string& notice : PartNotices(request.section, request.part, shaped, end)) {
    notices.push_back(std::move(notice));
  }
  return {std::nullopt, std::move(notices)};
}

}  // namespace

TMidiImportOutcome ImportMidiPart(TRhythmSlot& slot, const std::string& path, const TMidiFile& file,
                                  const TPartImport& request) {
  try {
    return ImportPart(slot, path, file, request);
  } catch (const TRefused& refused) {
    return {refused.refusal, {}};
  }
}

}  // namespace brondel
