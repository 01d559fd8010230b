// A Standard MIDI File as the sources of a rhythm's parts: its tracks and channels, the notes and
// sounds each holds, the part each goes to, and its markers naming sections. The notes come
// at the rhythm's ticks: a tick t of a file of division D lands on round(t x Q / D) for a rhythm
// of Q ticks a quarter note (document/rhythm_timing.h), each track's events keeping their order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/rhythm_format.h"
#include "platform/midi_file.h"

namespace brondel {

/// Where a part's notes come from: one track (every channel of it) or one channel (of every
/// track).
struct TMidiSource {
  enum class TKind { kTrack, kChannel };
  TKind kind = TKind::kTrack;
  int index = 0;  // the track, counted from 0 in file order, or the channel, counted from 0
  friend bool operator==(const TMidiSource&, const TMidiSource&) = default;
};

/// A source with notes, as the import dialog and brondel-tool list them.
struct TMidiSourceInfo {
  TMidiSource source;
  std::string name;           // a track's name (its first name event), empty for a channel
  std::vector<int> channels;  // a track's channels that hold notes, counted from 0
  std::size_t notes = 0;      // note-ons
};

/// "Track 2 "Bass" (channel 11): 12 notes" or "Channel 10: 53 notes": tracks and channels
/// counted from 1, as sequencers show them.
std::string DescribeMidiSource(const TMidiSourceInfo& info);

/// True when any track of `file` holds a note-on.
bool HoldsNotes(const platform::TMidiFile& file);

/// Every track that holds notes, in file order, then every channel that does, in channel order.
std::vector<TMidiSourceInfo> ListMidiSources(const platform::TMidiFile& file);

/// The source of each part, as a new rhythm takes them, and the sources with notes that no part
/// takes.
struct TPartSources {
  std::array<std::optional<TMidiSource>, kPartCount> parts;
  std::vector<TMidiSource> leftOut;
};

/// The tracks named after the parts (any letter case; the first of a name) when any track is so
/// named; else channel 10 for Drums and the other channels with notes, in the order of their
/// first notes (at equal ticks, the lower channel), for Bass, Chord1, Chord2 and Chord3.
TPartSources AssignPartSources(const platform::TMidiFile& file);

/// Where in `sources` (ListMidiSources of `file`) the source AssignPartSources gives `part`
/// stands, else 0: the source the import dialog proposes.
int ProposedMidiSource(const platform::TMidiFile& file, const std::vector<TMidiSourceInfo>& sources,
                       int part);

/// The channel messages of a source (data bytes below 128), in time order; at equal ticks,
/// tracks in file order.
using TMidiMessages = std::vector<const platform::TMidiFileEvent*>;
TMidiMessages SourceMessages(const platform::TMidiFile& file, const TMidiSource& source);

/// How many note-ons (velocity above 0) `messages` hold.
std::size_t CountNoteOns(const TMidiMessages& messages);

/// A note of a source: a note-on, or with velocity 0 a note-off (0x80, or 0x90 of velocity 0).
struct TSourceNote {
  std::uint64_t tick = 0;
  std::uint8_t key = 0;
  std::uint8_t velocity = 0;
};

/// A tick of a file of `division` on the timeline of a rhythm of `q` ticks a quarter note:
/// round(t x q / division), halves up. Ticks past 2^40, beyond any section, are taken as 2^40.
std::uint64_t RhythmTick(std::uint64_t tick, int division, int q);

/// The notes among `messages`, in their order, at the rhythm's ticks.
std::vector<TSourceNote> RhythmNotes(const TMidiMessages& messages, int division, int q);

/// `base` with Tone from the first program change and Bank, Volume, Pane, Reverb and Chorus from
/// the first controllers 0, 7, 10, 91 and 93 among `messages`.
TPartSettings SourceSettings(const TMidiMessages& messages, TPartSettings base);

/// A marker event whose text is a section's name (any letter case, spaces around it ignored).
struct TSectionMarker {
  std::uint64_t tick = 0;
  int section = 0;
};
/// The file's markers that name sections, in time order (at equal ticks, tracks in file order).
std::vector<TSectionMarker> SectionMarkers(const platform::TMidiFile& file);

/// "1 note", "12 notes".
std::string NoteCount(std::size_t count);

}  // namespace brondel
