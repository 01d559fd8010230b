// The names of the keys a part plays: note names for the pitched parts, General MIDI percussion
// names for the drums. Middle C, key 60, is C4 (the octave numbering of scientific pitch, as
// keyboard manuals print it), so key 0 is C-1 and key 127 is G9.
#pragma once

#include <string>

namespace brondel {

/// The note name of a key: "C4" for 60, "C#4" for 61 (sharps, never flats); a data byte above
/// 127, which is no MIDI note, as "key 200".
std::string NoteName(int key);

/// The General MIDI percussion name of a drum key ("Acoustic Snare" for 38) for keys 35 to 81;
/// the note name for the others.
std::string PercussionName(int key);

/// The name of a key as part 0-4 plays it: a percussion name on the drum part, a note name on
/// the others.
std::string KeyName(int part, int key);

}  // namespace brondel
