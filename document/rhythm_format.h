// The bytes of a rhythm file: header, section entries, part settings, part records,
// the name tables and the layout rule. Every multi-byte field is read and written byte by
// byte, so nothing here depends on struct packing or on the host's byte order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/midi_messages.h"

namespace brondel {

inline constexpr int kSectionCount = 10;
inline constexpr int kPartCount = 5;
inline constexpr int kParamCount = 6;  // Tone, Bank, Volume, Pane, Reverb, Chorus

inline constexpr std::size_t kPrefixSize = 64;
inline constexpr std::size_t kHeaderSize = 540;
inline constexpr std::size_t kSectionEntrySize = 52;
inline constexpr std::size_t kPartSettingsSize = 8;
inline constexpr std::size_t kRecordSize = 3;

inline constexpr std::size_t kTypeByteOffset = 23;  // in the 64-byte block of a .ckf file
inline constexpr std::uint8_t kCkfTypeByte = 11;
inline constexpr std::size_t kPrefixLengthOffset = 18;  // big-endian total length in the block

inline constexpr std::uint8_t kWaitMarker = 0xFF;  // byte 1 of a wait record (and a filler)
inline constexpr std::uint8_t kEndMarker = 0xFC;   // byte 1 of the end record

// Largest total length (540 + part data) that the 16-bit header fields can hold.
inline constexpr std::size_t kMaxTotalLength = 0xFFFF;

/// MIDI channel of part p, counted from 0: the parts play on channels 10 to 14 counted from 1,
/// Drums on the drum channel and the others after it.
constexpr std::uint8_t PartChannel(int part) {
  return static_cast<std::uint8_t>(midi::kDrumChannel + part);
}
/// The part that plays on a MIDI channel counted from 0, or -1 for a channel no part uses.
constexpr int ChannelPart(std::uint8_t channel) {
  const int part = channel - PartChannel(0);
  return part >= 0 && part < kPartCount ? part : -1;
}

/// The status byte of a channel message of `kind` (midi::kNoteOn ...) on part p's channel: 0x99 + p
/// for a note on.
constexpr std::uint8_t PartStatus(std::uint8_t kind, int part) {
  return midi::ChannelStatus(kind, PartChannel(part));
}

/// The controllers that carry settings bytes 1 to 5 (Bank, Volume, Pane, Reverb, Chorus), in
/// that order; byte 0 (Tone) goes as the program change.
inline constexpr std::array<std::uint8_t, kParamCount - 1> kSettingControllers = {
    midi::kBankSelect, midi::kVolume, midi::kPan, midi::kReverbSend, midi::kChorusSend};

extern const std::array<std::string_view, kSectionCount> kSectionNames;
extern const std::array<std::string_view, kPartCount> kPartNames;
extern const std::array<std::string_view, kParamCount> kParamNames;

/// A part's item in a part list: section name, ":", part name ("Var1:Bass").
std::string PartItemText(int section, int part);

/// The index of the section named `name` in any letter case ("var1" is 2); none for any other.
std::optional<int> SectionNamed(std::string_view name);
/// The index of the part named `name` in any letter case ("BASS" is 1); none for any other.
std::optional<int> PartNamed(std::string_view name);

std::uint16_t ReadU16LE(const std::uint8_t* p);
void WriteU16LE(std::uint8_t* p, std::uint16_t value);
std::uint16_t ReadU16BE(const std::uint8_t* p);
void WriteU16BE(std::uint8_t* p, std::uint16_t value);

/// One 3-byte part record: a note, a wait (byte 1 = 0xFF) or the end record (byte 1 = 0xFC).
struct TRhythmRecord {
  std::uint8_t b0 = 0;
  std::uint8_t b1 = 0;
  std::uint8_t b2 = 0;

  bool IsWait() const { return b1 == kWaitMarker; }
  bool IsEnd() const { return b1 == kEndMarker; }
  /// Delay of a wait record: byte 0 low, byte 2 high (split around the marker).
  std::uint16_t Delay() const { return static_cast<std::uint16_t>(b0 | (b2 << 8)); }

  static TRhythmRecord Note(std::uint8_t step, std::uint8_t key, std::uint8_t velocity) {
    return {step, key, velocity};
  }
  static TRhythmRecord Wait(std::uint16_t delay) {
    return {static_cast<std::uint8_t>(delay & 0xFF), kWaitMarker,
            static_cast<std::uint8_t>(delay >> 8)};
  }
  static TRhythmRecord End(std::uint8_t step = 0, std::uint8_t velocity = 0) {
    return {step, kEndMarker, velocity};
  }
  static TRhythmRecord FromBytes(const std::uint8_t* p) { return {p[0], p[1], p[2]}; }
  friend bool operator==(const TRhythmRecord&, const TRhythmRecord&) = default;
};

/// The 8 sound-setting bytes of a part; bytes 0 to 5 are Tone, Bank, Volume, Pane, Reverb,
/// Chorus, bytes 6 and 7 are carried uninterpreted.
struct TPartSettings {
  std::array<std::uint8_t, kPartSettingsSize> bytes{};

  std::uint8_t Tone() const { return bytes[0]; }
  std::uint8_t Bank() const { return bytes[1]; }
  std::uint8_t Volume() const { return bytes[2]; }
  std::uint8_t Pane() const { return bytes[3]; }
  std::uint8_t Reverb() const { return bytes[4]; }
  std::uint8_t Chorus() const { return bytes[5]; }
  friend bool operator==(const TPartSettings&, const TPartSettings&) = default;
};

/// The layout of one 52-byte section entry: the bar count (u16), the five parts' settings, the
/// five parts' data offsets (u16 each). The header keeps its ten entries as bytes; its accessors
/// read and write their fields in place at these offsets.
struct TSectionEntry {
  static constexpr std::size_t kBarCountOffset = 0;
  static constexpr std::size_t kFirstSettingsOffset = 2;
  static constexpr std::size_t kFirstDataOffsetOffset =
      kFirstSettingsOffset + kPartCount * kPartSettingsSize;

  static constexpr std::size_t SettingsOffset(int part) {
    return kFirstSettingsOffset + kPartSettingsSize * static_cast<std::size_t>(part);
  }
  static constexpr std::size_t DataOffsetOffset(int part) {
    return kFirstDataOffsetOffset + 2 * static_cast<std::size_t>(part);
  }
};
static_assert(TSectionEntry::DataOffsetOffset(kPartCount) == kSectionEntrySize);

/// The 540-byte rhythm header, kept as its bytes; the accessors name the fields.
struct TRhythmHeader {
  std::array<std::uint8_t, kHeaderSize> bytes{};

  static constexpr std::size_t kTempoOffset = 10;
  static constexpr std::size_t kTimeSignatureOffset = 11;
  static constexpr std::size_t kFirstSectionOffset = 18;
  static constexpr std::size_t kEndMarkOffset = 538;

  std::uint16_t TotalLength() const { return ReadU16LE(&bytes[0]); }
  void SetTotalLength(std::uint16_t length) { WriteU16LE(&bytes[0], length); }
  std::uint8_t Tempo() const { return bytes[kTempoOffset]; }
  void SetTempo(std::uint8_t tempo) { bytes[kTempoOffset] = tempo; }
  std::uint8_t TimeSignature() const { return bytes[kTimeSignatureOffset]; }
  void SetTimeSignature(std::uint8_t sig) { bytes[kTimeSignatureOffset] = sig; }
  std::uint16_t EndMark() const { return ReadU16LE(&bytes[kEndMarkOffset]); }
  void SetEndMark(std::uint16_t mark) { WriteU16LE(&bytes[kEndMarkOffset], mark); }

  static constexpr std::size_t SectionOffset(int section) {
    return kFirstSectionOffset + kSectionEntrySize * static_cast<std::size_t>(section);
  }
  /// Header offset of settings byte k of part p in section s (20 + 52 s + 8 p + k).
  static constexpr std::size_t SettingOffset(int section, int part, int k) {
    return SectionOffset(section) + TSectionEntry::SettingsOffset(part) +
           static_cast<std::size_t>(k);
  }
  /// Header offset of the data offset of part p in section s (60 + 52 s + 2 p).
  static constexpr std::size_t DataOffsetOffset(int section, int part) {
    return SectionOffset(section) + TSectionEntry::DataOffsetOffset(part);
  }

  std::uint16_t BarCount(int section) const {
    return ReadU16LE(&bytes[SectionOffset(section) + TSectionEntry::kBarCountOffset]);
  }
  void SetBarCount(int section, std::uint16_t bars) {
    WriteU16LE(&bytes[SectionOffset(section) + TSectionEntry::kBarCountOffset], bars);
  }
  TPartSettings Settings(int section, int part) const;
  void SetSettings(int section, int part, const TPartSettings& settings);
  std::uint8_t SettingByte(int section, int part, int k) const {
    return bytes[SettingOffset(section, part, k)];
  }
  void SetSettingByte(int section, int part, int k, std::uint8_t value) {
    bytes[SettingOffset(section, part, k)] = value;
  }
  std::uint16_t DataOffset(int section, int part) const {
    return ReadU16LE(&bytes[DataOffsetOffset(section, part)]);
  }
  void SetDataOffset(int section, int part, std::uint16_t offset) {
    WriteU16LE(&bytes[DataOffsetOffset(section, part)], offset);
  }
};
// The ten section entries fill the header from byte 18 up to the end mark.
static_assert(TRhythmHeader::SectionOffset(kSectionCount) == TRhythmHeader::kEndMarkOffset);
static_assert(TRhythmHeader::kEndMarkOffset + 2 == kHeaderSize);

/// Time signature byte: numerator in bits 7-3, denominator 2^(bits 2-0).
std::uint8_t TimeSignatureNumerator(std::uint8_t sig);
/// The denominator's power of two, bits 2-0 (2 for a quarter note), as a MIDI file states it.
std::uint8_t TimeSignaturePower(std::uint8_t sig);
std::uint8_t TimeSignatureDenominator(std::uint8_t sig);
/// The byte of a numerator (0 to 31) over 2^power (power 0 to 7): 0x22 for 4 and 2.
std::uint8_t TimeSignatureByte(std::uint8_t numerator, std::uint8_t power);
/// "4/4" for 0x22, "3/8" for 0x1B, "0/1" for 0x00.
std::string TimeSignatureText(std::uint8_t sig);

/// Where the header and the part data stand in a file, chosen from the file name.
struct TFileLayout {
  std::uint16_t headerOffset = 64;
  std::uint16_t dataBase = 604;
  bool typeTested = false;  // exactly ".ckf": byte 23 must be 11
};

/// The text from the last "." to the end, provided no path or drive separator follows it.
std::string FileExtension(std::string_view path);
/// True for a name whose extension is exactly ".z00" (case-sensitive): the .z00 layout's name.
bool IsZ00FileName(std::string_view path);
/// ".z00" exactly (case-sensitive) gives the .z00 layout; everything else the .ckf layout.
TFileLayout LayoutForFileName(std::string_view path);

}  // namespace brondel
