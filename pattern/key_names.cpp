#include "pattern/key_names.h"

#include <array>
#include <string_view>

#include "document/rhythm_format.h"

namespace brondel {

namespace {

constexpr int kFirstPercussionKey = 35;

// General MIDI Level 1 percussion keys 35 to 81, as the drum channel plays them.
constexpr std::array<std::string_view, 47> kPercussionNames = {"Acoustic Bass Drum",
                                                               "Bass Drum 1",
                                                               "Side Stick",
                                                               "Acoustic Snare",
                                                               "Hand Clap",
                                                               "Electric Snare",
                                                               "Low Floor Tom",
                                                               "Closed Hi-Hat",
                                                               "High Floor Tom",
                                                               "Pedal Hi-Hat",
                                                               "Low Tom",
                                                               "Open Hi-Hat",
                                                               "Low-Mid Tom",
                                                               "Hi-Mid Tom",
                                                               "Crash Cymbal 1",
                                                               "High Tom",
                                                               "Ride Cymbal 1",
                                                               "Chinese Cymbal",
                                                               "Ride Bell",
                                                               "Tambourine",
                                                               "Splash Cymbal",
                                                               "Cowbell",
                                                               "Crash Cymbal 2",
                                                               "Vibraslap",
                                                               "Ride Cymbal 2",
                                                               "Hi Bongo",
                                                               "Low Bongo",
                                                               "Mute Hi Conga",
                                                               "Open Hi Conga",
                                                               "Low Conga",
                                                               "High Timbale",
                                                               "Low Timbale",
                                                               "High Agogo",
                                                               "Low Agogo",
                                                               "Cabasa",
                                                               "Maracas",
                                                               "Short Whistle",
                                                               "Long Whistle",
                                                               "Short Guiro",
                                                               "Long Guiro",
                                                               "Claves",
                                                               "Hi Wood Block",
                                                               "Low Wood Block",
                                                               "Mute Cuica",
                                                               "Open Cuica",
                                                               "Mute Triangle",
                                                               "Open Triangle"};

constexpr std::array<std::string_view, 12> kPitchNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                          "F#", "G",  "G#", "A",  "A#", "B"};

constexpr int kHighestMidiKey = 127;

}  // namespace

std::string NoteName(int key) {
  if (key < 0 || key > kHighestMidiKey) return "key " + std::to_string(key);
  return std::string(kPitchNames[static_cast<std::size_t>(key % 12)]) +
         std::to_string(key / 12 - 1);
}

std::string PercussionName(int key) {
  const int index = key - kFirstPercussionKey;
  if (index < 0 || index >= static_cast<int>(kPercussionNames.size())) return NoteName(key);
  return std::string(kPercussionNames[static_cast<std::size_t>(index)]);
}

std::string KeyName(int part, int key) {
  return PartChannel(part) == midi::kDrumChannel ? PercussionName(key) : NoteName(key);
}

}  // namespace brondel
