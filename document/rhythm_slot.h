// The in-memory documents: the two slots (main file and import file) and the file prefix of
// the last open, which both share.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "document/rhythm_format.h"

namespace brondel {

/// The records of one part exactly as read (end record and filler included), 3 bytes each.
using TPartStream = std::vector<std::uint8_t>;
using TPartStreams = std::array<std::array<TPartStream, kPartCount>, kSectionCount>;

/// One document: the main file (slot 0) or the import file (slot 1).
struct TRhythmSlot {
  std::string fileName;  // full path of the file last opened into the slot; empty until then
  TRhythmHeader header;
  TPartStreams streams;
  std::array<std::int32_t, kSectionCount> eventCounts{};
  std::uint8_t numerator = 0;
  std::uint8_t denominator = 0;

  bool Loaded() const { return !fileName.empty(); }
};

inline constexpr int kMainSlot = 0;
inline constexpr int kImportSlot = 1;

/// Both slots plus the prefix they share (the first 64 bytes of the file opened last, which
/// every save writes); one instance lives for the whole run.
struct TRhythmDocuments {
  std::array<TRhythmSlot, 2> slots;
  std::array<std::uint8_t, kPrefixSize> filePrefix{};
};

/// Number of records in a stream whose byte 1 is not 0xFF (notes, end record, bad filler).
std::int32_t CountEvents(const TPartStream& stream);
/// The event count of a section: CountEvents over its five part streams.
std::int32_t CountSectionEvents(const TRhythmSlot& slot, int section);

/// Puts `records` in place of one part's stream and recounts the section's events, as every
/// command that gives a part new records must (Copy, the MIDI import).
void ReplacePartStream(TRhythmSlot& slot, int section, int part, TPartStream records);

/// Sum of the sizes of a section's five part streams.
std::size_t SectionDataSize(const TRhythmSlot& slot, int section);
/// Sum of the sizes of all fifty part streams.
std::size_t TotalPartDataSize(const TPartStreams& streams);
/// The total length a file's header states for these streams: the 540-byte header and all part
/// data (what kMaxTotalLength bounds).
std::size_t TotalLength(const TPartStreams& streams);

/// Appends one record to a part stream.
void AppendRecord(TPartStream& stream, const TRhythmRecord& record);

}  // namespace brondel
