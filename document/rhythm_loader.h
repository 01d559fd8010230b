// Reading a rhythm file into a new document. Nothing here touches a slot until the whole file
// has been read and found sound; CommitLoadedRhythm then puts it into its slot in one step.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/rhythm_slot.h"

namespace brondel {

/// Largest file ReadRhythmFile accepts. The addressed data of a rhythm ends before 66 KB; a part
/// may run past that, but a file of more than 1 MiB cannot be a rhythm.
inline constexpr std::size_t kMaxRhythmFileSize = 1024 * 1024;

/// Most part data one section may hold: its five parts' sizes added up, data that parts share
/// counted each time. It is all that a file's 16-bit offsets and total length address (65,535
/// less the 540-byte header), so every section a saved file can hold loads, and a section
/// renders to at most 21,694 events (30 set-up events, 21,664 records of parts of even length).
inline constexpr std::size_t kMaxSectionDataSize = kMaxTotalLength - kHeaderSize;

/// The exact text shown for a ".ckf" file without the rhythm type byte.
inline constexpr const char* kNotRhythmMessage =
    "This is not a rhythm file.\r\nPlease, try with another";

enum class TLoadStatus { kLoaded, kCannotOpen, kTooLarge, kNotRhythm, kDamaged };

/// Why a file was refused, for callers that say more than the window's message.
struct TRefusalDetails {
  std::string systemReason;              // kCannotOpen: the system's reason
  std::size_t fileSize = 0;              // kNotRhythm: the size of the file
  std::optional<std::uint8_t> typeByte;  // kNotRhythm: byte 23; none when the file is shorter
};

/// A document read from a file, not yet in any slot.
struct TLoadedRhythm {
  TRhythmSlot slot;  // fileName = full path, header, streams, eventCounts, numerator, denominator
  std::array<std::uint8_t, kPrefixSize> prefix{};  // first 64 bytes of the file
  TFileLayout layout;
  std::vector<std::string> badFillers;  // "Var1:Bass" per part whose filler is no wait record
};

/// The result of an open: the document when loaded, else the text the user sees.
struct TLoadOutcome {
  TLoadStatus status = TLoadStatus::kDamaged;
  std::optional<TLoadedRhythm> rhythm;  // when kLoaded
  std::string message;                  // when not kLoaded
  TRefusalDetails details;              // when not kLoaded
};

/// Reads the bytes of a file named `path` as a rhythm, in the layout its extension selects.
TLoadOutcome ReadRhythm(const std::string& path, const std::vector<std::uint8_t>& fileBytes);

/// Reads the file at `path` (at most kMaxRhythmFileSize bytes) and then ReadRhythm.
TLoadOutcome ReadRhythmFile(const std::string& path);

/// Puts a loaded document into `slot` and makes its prefix the shared prefix of the last open.
void CommitLoadedRhythm(TRhythmDocuments& docs, int slot, TLoadedRhythm&& loaded);

}  // namespace brondel
