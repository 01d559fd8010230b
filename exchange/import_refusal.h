// How the MIDI import refuses: a refusal thrown from anywhere in the building of a part or a
// rhythm, caught where its outcome is made (ImportMidiPart, RhythmFromMidi), so that nothing is
// changed. Private to exchange/.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "document/rhythm_format.h"
#include "exchange/midi_import.h"

namespace brondel::midi_in {

/// Ends the building of a part or a rhythm with a refusal.
struct TRefused {
  TMidiRefusal refusal;
};

[[noreturn]] inline void Refuse(std::string file, std::string reason) {
  throw TRefused{{std::move(file), std::move(reason)}};
}

/// "Var1": a section's name in a refusal or a notice.
inline std::string SectionName(int section) {
  return std::string(kSectionNames[static_cast<std::size_t>(section)]);
}

}  // namespace brondel::midi_in
