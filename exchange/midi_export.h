// Standard MIDI Files of what the program plays: rendered buffers laid one after the other on
// one timeline, a conductor track with the tempo and the rhythm's time signature, and one track
// per part, named after it, with the messages of its channel. The ticks and the tempo follow
// document/rhythm_timing.h, the rule the import shares.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/rhythm_slot.h"
#include "render/render.h"

namespace brondel {

/// The bytes of an exported file, or the text that says why there are none.
struct TMidiExport {
  std::vector<std::uint8_t> bytes;
  std::string refusal;  // non-empty: nothing was made
};

/// A meta event of text on the conductor track: a marker (platform::kMetaMarker) or a text event
/// (platform::kMetaText) at a tick of the file.
struct TMidiText {
  std::uint64_t tick = 0;
  std::uint8_t type = 0;
  std::string text;
};

/// A format-1 Standard MIDI File of `buffers` as the stream plays them one after the other:
/// each buffer starts where the one before it ends, at its last event. A message with a data
/// byte above 127 (an end record) is not written, as it is not sent, but keeps its place in
/// time. A tick of the file is a tick of the rhythm: the division is the rhythm's
/// MidiTicksPerQuarterNote Q, and the tempo 500,000 x Q / T us a quarter note (T the tempo byte),
/// so a sequencer shows the rhythm's tempo and its bars where the rhythm has them. A tempo of 0
/// is refused; `title` names the conductor track, which also carries `texts` (in tick order).
TMidiExport ExportMidiFile(const TRhythmSlot& slot, const std::string& title,
                           const std::vector<TEventBuffer>& buffers,
                           const std::vector<TMidiText>& texts = {});

}  // namespace brondel
