// Rhythms from Standard MIDI Files: one part of a rhythm replaced by a track or a channel of a
// file ("Import MIDI part", brondel-tool import-midi), or a whole new rhythm from one file per
// section or one file with section markers ("New rhythm from MIDI", brondel-tool from-midi).
//
// Time. A tick t of a file of division D lands on the rhythm's tick round(t x Q / D), Q being
// the rhythm's MidiTicksPerQuarterNote (document/rhythm_timing.h), the division its export
// writes; each track's events keep their order. A new rhythm takes Q = D when every file has
// the division D, its tempo byte at D lies in 11 to 249 and every section fits the 16-bit
// timeline at D (so that a file the export wrote comes back tick for tick), else Q = 96. Its
// tempo byte is round(500,000 x Q / M), M the first tempo of the first section's file (500,000
// us a quarter note, 120 a minute, when no file states one), and is refused outside 11 to 249.
//
// Notes. A part's notes are note-ons, note-offs (0x80) and note-ons of velocity 0, from one track
// (all its channels) or one channel (of every track, merged in time order, tracks in file order
// at equal ticks); other messages are skipped. A note-off ends its key's oldest note still
// sounding, as sequencers pair them; one with no note to end is left out. Within a section that
// ends at tick L: a note that starts at L or later is left out; a note that another of its key
// starts within (before it has ended) is closed right before that one starts, its own note-off
// then going; a note still sounding at L ends at L; a note of no length at the rhythm's ticks
// (shorter than half a tick) lasts one tick. Everything else is kept as the file has it, in its
// order, but that at one tick a key's note-offs go before its note-ons (a note-off written after
// the next note-on of its key ends the note before). What was left out, closed or lengthened
// is counted in the outcome's notices.
//
// Records. A part is written with EncodeTimedNotes: note records with their steps, one wait
// record before a gap of more than 255 ticks, note-offs as velocity 0, the end record at the
// section's end (padded: a shorter source ends there too) and a filler after an odd run. Then
// the notes of equal time are put where the render sends the part's notes in the order above
// (ReplacePartInSendOrder for one part, which keeps the section's other parts sent as before;
// ArrangeSectionForSendOrder for a new rhythm). A file the export wrote therefore renders
// exactly as the rhythm it came from.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "document/rhythm_loader.h"
#include "document/rhythm_slot.h"
#include "exchange/midi_sources.h"
#include "platform/midi_file.h"

namespace brondel {

/// A refusal: the file it is about and the reason, one line.
struct TMidiRefusal {
  std::string file;
  std::string reason;
  /// "FILE: reason", for a message box.
  std::string Text() const { return file + ": " + reason; }
};

/// One part of a rhythm to replace by a source of a MIDI file.
struct TPartImport {
  int section = -1;  // 0 to 9
  int part = -1;     // 0 to 4
  TMidiSource source;
  bool takeSounds = false;  // Tone, Bank, Volume, Pane, Reverb and Chorus from the source too
};

/// What an import or a new rhythm did.
struct TMidiImportOutcome {
  std::optional<TMidiRefusal> refusal;  // set: nothing was changed
  std::vector<std::string> notices;     // what was left out or cut, one line each
};

/// Replaces a part of `slot` by the notes of a source of `file` (read from `path`, named in the
/// refusals), in the section's length as the render plays it (SectionLength; when its parts all
/// end at 0, its bars at the rhythm's time signature), and recounts the section's events.
/// With takeSounds, the source's first program change and controllers 0, 7, 10, 91 and 93 set
/// the part's settings; settings the source does not state are kept. A file in another time
/// signature than the rhythm's gets a notice naming both. Refused, with `slot` left as it was: a
/// file without notes, a track the file does not have (saying how many it has), a source without
/// notes, a section of no length, a part that would make its section hold more than a file
/// addresses, or the rhythm more than a file holds.
TMidiImportOutcome ImportMidiPart(TRhythmSlot& slot, const std::string& path,
                                  const platform::TMidiFile& file, const TPartImport& request);

/// A file given to "New rhythm from MIDI": its path, whose name may say its section, and what it
/// holds.
struct TNamedMidiFile {
  std::string path;
  platform::TMidiFile file;
};

/// The files given to "New rhythm from MIDI", read in their order, and a refusal for each one
/// that could not be read (its path and the reader's reason).
struct TMidiFilesRead {
  std::vector<TNamedMidiFile> files;
  std::vector<TMidiRefusal> refusals;
};
TMidiFilesRead ReadMidiFiles(const std::vector<std::string>& paths);

/// The refusals' texts, "FILE: reason", joined by `separator`: one message for every file.
std::string MidiRefusalsText(const std::vector<TMidiRefusal>& refusals,
                             const std::string& separator);

/// A new rhythm, or why there is none.
struct TMidiRhythm {
  std::optional<TLoadedRhythm> rhythm;  // as an open leaves it, named RhythmNameFromMidi
  TMidiImportOutcome outcome;
};

/// A new rhythm from MIDI files. Its sections come from one file per section, each named
/// NAME-Var1.mid or Var1.mid (section names in any letter case, as export-midi names them), or
/// from one file whose marker events name sections at their starts (each runs to the next
/// section marker or the end of the file). Its parts come from AssignPartSources, their settings
/// from each source's first program change and controllers (Tone 0, Bank 0, Volume 100, Pane 64,
/// Reverb 40, Chorus 0 where a source states none). Its time signature is the files' (4/4 when
/// none states one); its tempo the first they state, a file whose tempo changes getting a notice
/// with the bar of its first change. A section's bars are its length over a bar's, a part bar
/// counting whole, and its parts run to the end of its bars; a section that runs to its file's
/// end ends at the bar line before when the file ends less than a beat after it and no note
/// sounds past it. Sections no file holds get one bar of empty parts. Refused, naming the file
/// and, where it is about one, the section: no file, a file that names no section, two files for
/// one section, time signatures that differ, that change inside a file (with the bar) or that
/// the format cannot hold (1 to 31 beats, a note value up to 1/128), a tempo outside 11 to 249,
/// no notes at all, a section over 65,535 ticks, a rhythm over the 65,535 bytes a file holds.
TMidiRhythm RhythmFromMidi(const std::vector<TNamedMidiFile>& files);

/// The file of one section as export-midi names it and RhythmFromMidi reads it: `path` with "-"
/// and the section's name before its extension (".mid" when it has none), "out/ballad.mid" and
/// Var1 giving "out/ballad-Var1.mid".
std::string SectionFileName(const std::string& path, int section);

/// The path a rhythm made from MIDI files is proposed under: NAME.ckf beside the first file,
/// NAME being its name without the extension and without a "-Var1"-like section suffix.
std::string RhythmNameFromMidi(const std::string& firstPath);

/// `proposed` (a name ending in ".ckf") when `taken` says no file has it, else the first of
/// NAME-2.ckf, NAME-3.ckf ... that is free: "Save as" replaces without asking, so a new rhythm
/// is never proposed under the name of a file that it would replace.
std::string FreeRhythmName(const std::string& proposed,
                           const std::function<bool(const std::string&)>& taken);

}  // namespace brondel
