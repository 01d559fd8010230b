// The MIDI vocabulary every layer shares: the status kinds of channel messages, how many data
// bytes each carries, what starts and what ends a note, the channels, and the controller numbers
// the program sends. Header-only and free of any library, so that the core and the platform layer
// ask these facts by name instead of masking bits where they need them.
#pragma once

#include <cstdint>

namespace brondel::midi {

/// The kinds of channel message: the status byte's high half.
inline constexpr std::uint8_t kNoteOff = 0x80;
inline constexpr std::uint8_t kNoteOn = 0x90;
inline constexpr std::uint8_t kPolyPressure = 0xA0;
inline constexpr std::uint8_t kControlChange = 0xB0;
inline constexpr std::uint8_t kProgramChange = 0xC0;
inline constexpr std::uint8_t kChannelPressure = 0xD0;
inline constexpr std::uint8_t kPitchBend = 0xE0;

/// System exclusive: the message's start, and its continuation in a MIDI file.
inline constexpr std::uint8_t kSysEx = 0xF0;
inline constexpr std::uint8_t kSysExContinuation = 0xF7;

/// The largest value of a data byte; a byte with its top bit set is a status byte.
inline constexpr std::uint8_t kMaxDataByte = 0x7F;

/// The sixteen channels, counted from 0, and the General MIDI drum channel (10 counted from 1).
inline constexpr int kChannelCount = 16;
inline constexpr std::uint8_t kDrumChannel = 9;

/// The controllers the program sends: the settings a part carries, and the two that end sound.
inline constexpr std::uint8_t kBankSelect = 0;
inline constexpr std::uint8_t kVolume = 7;
inline constexpr std::uint8_t kPan = 10;
inline constexpr std::uint8_t kReverbSend = 91;
inline constexpr std::uint8_t kChorusSend = 93;
/// Cuts every voice of a channel at once, release and effects included.
inline constexpr std::uint8_t kAllSoundOff = 120;
/// Releases every note of a channel.
inline constexpr std::uint8_t kAllNotesOff = 123;

/// True for a data byte (0 to 127).
constexpr bool IsDataByte(std::uint8_t byte) {
  return byte <= kMaxDataByte;
}
/// True for the status byte of a channel message (0x80 to 0xEF).
constexpr bool IsChannelStatus(std::uint8_t status) {
  return !IsDataByte(status) && status < kSysEx;
}
/// The kind of a status byte: its high half (0x93 is kNoteOn).
constexpr std::uint8_t StatusKind(std::uint8_t status) {
  return static_cast<std::uint8_t>(status & 0xF0);
}
/// The channel of a channel message's status byte, counted from 0.
constexpr std::uint8_t ChannelOf(std::uint8_t status) {
  return static_cast<std::uint8_t>(status & 0x0F);
}
/// The status byte of a message of `kind` on `channel` (counted from 0).
constexpr std::uint8_t ChannelStatus(std::uint8_t kind, int channel) {
  return static_cast<std::uint8_t>(kind | (channel & 0x0F));
}
/// How many data bytes follow a channel message's status byte: one for a program change and for
/// channel pressure, two for the rest; 0 for a status byte that is no channel message's.
constexpr int DataByteCount(std::uint8_t status) {
  if (!IsChannelStatus(status)) return 0;
  const std::uint8_t kind = StatusKind(status);
  return kind == kProgramChange || kind == kChannelPressure ? 1 : 2;
}
/// True for a note-on or a note-off message's status byte.
constexpr bool IsNoteMessage(std::uint8_t status) {
  return StatusKind(status) == kNoteOn || StatusKind(status) == kNoteOff;
}
/// True for a note-on that starts a note: velocity above 0.
constexpr bool IsNoteOn(std::uint8_t status, std::uint8_t velocity) {
  return StatusKind(status) == kNoteOn && velocity > 0;
}
/// True for a message that ends a note: a note-off, or a note-on of velocity 0.
constexpr bool EndsANote(std::uint8_t status, std::uint8_t velocity) {
  return StatusKind(status) == kNoteOff || (StatusKind(status) == kNoteOn && velocity == 0);
}

}  // namespace brondel::midi
