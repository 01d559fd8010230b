#include "pattern/section_edit.h"

#include "document/rhythm_timing.h"

namespace brondel {

TPatternMeter SlotMeter(const TRhythmSlot& slot) {
  const std::uint8_t signature = slot.header.TimeSignature();
  return {TimeSignatureNumerator(signature), TimeSignatureDenominator(signature),
          TicksPerQuarterNote(slot)};
}

TEditOutcome ApplySectionEdit(TRhythmSlot& slot, int section, const TNotesEdit& edit,
                              TEditHistory& history, std::optional<std::uint16_t> bars) {
  if (edit.refusal) return {edit.refusal, {}, {}};
  const TRhythmSlot before = slot;
  if (std::optional<std::string> refusal = WriteSectionNotes(slot, section, edit.notes)) {
    slot = before;
    return {edit.name + ": " + *refusal, {}, {}};
  }
  if (bars) slot.header.SetBarCount(section, *bars);
  history.Record(edit.name, before, slot);
  return {std::nullopt, edit.message, edit.selection};
}

TEditOutcome ApplyBarCount(TRhythmSlot& slot, int section, std::uint16_t bars, bool repeat,
                           TEditHistory& history) {
  const TNotesEdit edit = SetBarCount(ReadSectionNotes(slot, section), SlotMeter(slot),
                                      slot.header.BarCount(section), bars, repeat);
  return ApplySectionEdit(slot, section, edit, history, bars);
}

TEditOutcome CopyPartToSection(TRhythmSlot& slot, int from, int part, int to,
                               TEditHistory& history) {
  const TSectionNotes source = ReadSectionNotes(slot, from);
  const TNotesEdit edit = CopyPartInto(ReadSectionNotes(slot, to), part,
                                       source.parts[static_cast<std::size_t>(part)], to);
  return ApplySectionEdit(slot, to, edit, history);
}

}  // namespace brondel
