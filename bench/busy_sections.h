// Busy sections the pattern editor's benchmarks edit (edit_bench, pattern_window_bench):
//  - TwentyThousandNotes: four parts of 5,000 notes each ended by their key's next note-on (no
//    note-offs: 60,000 bytes, the most notes a section holds), and a Bass part of 64 notes;
//  - LargestWrittenSection: the largest section the editor itself writes (every note with its
//    note-off): 10,800 notes in Bass.
#pragma once

#include "document/rhythm_builder.h"
#include "render/send_order.h"

namespace bench {

using namespace brondel;

inline constexpr int kSection = 2;  // Var1

// A part of `notes` note-ons every 12 ticks cycling through eight keys from `lowKey`, each
// note lasting until its key sounds again.
inline TPartStream NoteOnsOnly(int notes, std::uint8_t lowKey) {
  TPartBuilder part;
  for (int note = 0; note < notes; ++note) {
    part.Note(note == 0 ? 0 : 12, static_cast<std::uint8_t>(lowKey + note % 8), 100);
  }
  return part.End(12);
}

inline TRhythmSlot TwentyThousandNotes() {
  TRhythmBuilder builder(120, TimeSignatureByte(4, 2));
  for (int section = 0; section < kSectionCount; ++section) {
    for (int part = 0; part < kPartCount; ++part) builder.Part(section, part, {});
  }
  const std::uint32_t end = 5000 * 12;
  builder.Bars(kSection, static_cast<std::uint16_t>(end / 384));
  TTimedPart bass;
  for (std::uint32_t note = 0; note < 64; ++note) bass.Add(note * 384, 36, 100, 96);
  builder.Part(kSection, 0, NoteOnsOnly(5000, 35));
  builder.Part(kSection, 1, bass.Build(end));
  for (int part = 2; part < kPartCount; ++part) {
    builder.Part(kSection, part, NoteOnsOnly(5000, static_cast<std::uint8_t>(40 + 12 * part)));
  }
  TRhythmSlot slot = builder.Slot();
  slot.fileName = "busy.ckf";
  ArrangeSectionForSendOrder(slot, kSection);
  return slot;
}

inline TRhythmSlot LargestWrittenSection() {
  TRhythmBuilder builder(120, TimeSignatureByte(4, 2));
  for (int section = 0; section < kSectionCount; ++section) {
    for (int part = 0; part < kPartCount; ++part) builder.Part(section, part, {});
  }
  TTimedPart bass;
  constexpr std::uint32_t kNotes = 10800;
  for (std::uint32_t note = 0; note < kNotes; ++note) {
    bass.Add(note * 6, static_cast<std::uint8_t>(36 + note % 24), 100, 6);
  }
  builder.Bars(kSection, static_cast<std::uint16_t>(kNotes * 6 / 384 + 1));
  builder.Part(kSection, 1, bass.Build((kNotes * 6 / 384 + 1) * 384));
  TRhythmSlot slot = builder.Slot();
  slot.fileName = "largest.ckf";
  ArrangeSectionForSendOrder(slot, kSection);
  return slot;
}

}  // namespace bench
