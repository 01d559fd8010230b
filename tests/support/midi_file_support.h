// What the MIDI import and export tests share: a section's render, its export read back as a
// MIDI file, and a comparison of two renders that names the first record where they part.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/rhythm_slot.h"
#include "exchange/midi_import.h"
#include "platform/midi_file.h"
#include "render/render.h"

namespace brondel::test {

/// The buffer double-clicking `section` plays.
TEventBuffer Render(const TRhythmSlot& slot, int section);

/// What export-midi writes of one section, read back.
platform::TMidiFile ExportedSection(const TRhythmSlot& slot, int section);

/// The ten files export-midi writes of a rhythm, named "FOLDER/song-Intro1.mid" and so on.
std::vector<TNamedMidiFile> ExportedSections(const TRhythmSlot& slot);

/// A MIDI file from its bytes; fails the test when the reader refuses them.
platform::TMidiFile MidiFileOf(const std::vector<std::uint8_t>& bytes);

/// The notes of one part in the order the render sends them, each "tick: key velocity" at its
/// time from the section's start; the end record left out.
std::vector<std::string> SentNotes(const TRhythmSlot& slot, int section, int part);

/// A part's records with the notes' keys and velocities blanked: what says when each record
/// sounds (steps, waits, the end record, the filler).
TPartStream RecordTiming(TPartStream stream);

/// Equal buffers, or the first record where they differ, decoded.
testing::AssertionResult SameRender(const TEventBuffer& expected, const TEventBuffer& actual);

}  // namespace brondel::test
