// Key numbers used by the compositions: General MIDI drum keys and the notes of the C major
// chord that keyboard accompaniments are recorded in.
#pragma once

#include <cstdint>

namespace brondel::examples {

// Drum keys (channel 10).
inline constexpr std::uint8_t kKick = 36;
inline constexpr std::uint8_t kSideStick = 37;
inline constexpr std::uint8_t kSnare = 38;
inline constexpr std::uint8_t kFloorTom = 41;
inline constexpr std::uint8_t kClosedHat = 42;
inline constexpr std::uint8_t kPedalHat = 44;
inline constexpr std::uint8_t kLowTom = 45;
inline constexpr std::uint8_t kOpenHat = 46;
inline constexpr std::uint8_t kMidTom = 47;
inline constexpr std::uint8_t kHighTom = 50;
inline constexpr std::uint8_t kCrash = 49;
inline constexpr std::uint8_t kRide = 51;
inline constexpr std::uint8_t kTambourine = 54;

// Notes, middle C = C4 = 60.
inline constexpr std::uint8_t kG1 = 31;
inline constexpr std::uint8_t kB1 = 35;
inline constexpr std::uint8_t kC2 = 36;
inline constexpr std::uint8_t kD2 = 38;
inline constexpr std::uint8_t kE2 = 40;
inline constexpr std::uint8_t kF2 = 41;
inline constexpr std::uint8_t kG2 = 43;
inline constexpr std::uint8_t kA2 = 45;
inline constexpr std::uint8_t kC3 = 48;
inline constexpr std::uint8_t kG3 = 55;
inline constexpr std::uint8_t kA3 = 57;
inline constexpr std::uint8_t kC4 = 60;
inline constexpr std::uint8_t kD4 = 62;
inline constexpr std::uint8_t kE4 = 64;
inline constexpr std::uint8_t kF4 = 65;
inline constexpr std::uint8_t kG4 = 67;
inline constexpr std::uint8_t kA4 = 69;
inline constexpr std::uint8_t kC5 = 72;
inline constexpr std::uint8_t kD5 = 74;
inline constexpr std::uint8_t kE5 = 76;
inline constexpr std::uint8_t kG5 = 79;

// General MIDI programs (0-based, as the tone byte holds them).
inline constexpr std::uint8_t kStandardKit = 0;
inline constexpr std::uint8_t kBrushKit = 40;
inline constexpr std::uint8_t kGrandPiano = 0;
inline constexpr std::uint8_t kElectricPiano = 4;
inline constexpr std::uint8_t kAccordion = 21;
inline constexpr std::uint8_t kCleanGuitar = 27;
inline constexpr std::uint8_t kAcousticBass = 32;
inline constexpr std::uint8_t kFingerBass = 33;
inline constexpr std::uint8_t kFretlessBass = 35;
inline constexpr std::uint8_t kStrings = 48;
inline constexpr std::uint8_t kSlowStrings = 49;
inline constexpr std::uint8_t kChoir = 52;
inline constexpr std::uint8_t kFlute = 73;

}  // namespace brondel::examples
