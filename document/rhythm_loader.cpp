#include "document/rhythm_loader.h"

#include <algorithm>
#include <utility>

#include "platform/file_io.h"

namespace brondel {

namespace {

/// How the records of one part ended.
enum class TPartEnd { kWhole, kBadFiller, kStartsPastEnd, kNoEndRecord, kNoFiller };

TLoadOutcome Refusal(TLoadStatus status, std::string message, TRefusalDetails details = {}) {
  return TLoadOutcome{status, std::nullopt, std::move(message), std::move(details)};
}

// A ".ckf" file refused for its type byte: how long it is and which byte it has, if any.
TRefusalDetails TypeByteDetails(const std::vector<std::uint8_t>& fileBytes) {
  TRefusalDetails details;
  details.fileSize = fileBytes.size();
  if (fileBytes.size() > kTypeByteOffset) details.typeByte = fileBytes[kTypeByteOffset];
  return details;
}

std::string DamagedPartMessage(TPartEnd end, int section, int part) {
  const std::string item = PartItemText(section, part);
  switch (end) {
    case TPartEnd::kStartsPastEnd:
      return "The file is damaged: the data of " + item + " starts past the end of the file.";
    case TPartEnd::kNoEndRecord:
      return "The file is damaged: the data of " + item +
             " reaches the end of the file before its end record.";
    default:
      return "The file is damaged: the data of " + item +
             " reaches the end of the file before its filler.";
  }
}

/// Copies the records of one part, from `start` up to its end record and, when the run is odd,
/// its filler. Every read is bounded by the file, so any bytes end the loop.
TPartEnd ReadPartRecords(const std::vector<std::uint8_t>& file, std::size_t start,
                         TPartStream& stream) {
  if (start >= file.size()) return TPartEnd::kStartsPastEnd;
  std::size_t pos = start;
  bool ended = false;
  while (!ended) {
    if (file.size() - pos < kRecordSize) return TPartEnd::kNoEndRecord;
    const TRhythmRecord record = TRhythmRecord::FromBytes(&file[pos]);
    AppendRecord(stream, record);
    pos += kRecordSize;
    ended = record.IsEnd();
  }
  if (stream.size() % (2 * kRecordSize) == 0) return TPartEnd::kWhole;
  if (file.size() - pos < kRecordSize) return TPartEnd::kNoFiller;
  const TRhythmRecord filler = TRhythmRecord::FromBytes(&file[pos]);
  AppendRecord(stream, filler);
  return filler.IsWait() ? TPartEnd::kWhole : TPartEnd::kBadFiller;
}

/// Fills every part stream of the new document and counts each section's events. Returns the
/// refusal text of the first damaged part or overfull section, or an empty text.
std::string SplitPartData(const std::vector<std::uint8_t>& file, TLoadedRhythm& loaded) {
  TRhythmSlot& slot = loaded.slot;
  for (int s = 0; s < kSectionCount; ++s) {
    for (int p = 0; p < kPartCount; ++p) {
      // Both are 16-bit; their sum is not limited to 16 bits.
      const std::size_t start = std::size_t{loaded.layout.dataBase} + slot.header.DataOffset(s, p);
      auto& stream = slot.streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(p)];
      const TPartEnd end = ReadPartRecords(file, start, stream);
      if (end == TPartEnd::kBadFiller) loaded.badFillers.push_back(PartItemText(s, p));
      if (end != TPartEnd::kWhole && end != TPartEnd::kBadFiller) {
        return DamagedPartMessage(end, s, p);
      }
    }
    // Parts may share data, so a file may hold more in all than a saved one can. A section
    // that holds more than any file addresses, though, is parts running on through bytes that
    // are no rhythm; refusing it also keeps every section's render small.
    if (const std::size_t size = SectionDataSize(slot, s); size > kMaxSectionDataSize) {
      return "The file is damaged: the parts of " +
             std::string(kSectionNames[static_cast<std::size_t>(s)]) + " hold " +
             std::to_string(size) + " bytes of data, more than the " +
             std::to_string(kMaxSectionDataSize) + " a section can hold.";
    }
    slot.eventCounts[static_cast<std::size_t>(s)] = CountSectionEvents(slot, s);
  }
  return {};
}

}  // namespace

TLoadOutcome ReadRhythm(const std::string& path, const std::vector<std::uint8_t>& fileBytes) {
  TLoadedRhythm loaded;
  loaded.layout = LayoutForFileName(path);
  if (loaded.layout.typeTested &&
      (fileBytes.size() <= kTypeByteOffset || fileBytes[kTypeByteOffset] != kCkfTypeByte)) {
    return Refusal(TLoadStatus::kNotRhythm, kNotRhythmMessage, TypeByteDetails(fileBytes));
  }
  const std::size_t headerOffset = loaded.layout.headerOffset;
  if (fileBytes.size() < headerOffset + kHeaderSize) {
    return Refusal(TLoadStatus::kDamaged,
                   "The file is damaged: it ends before the end of its header.");
  }
  std::copy_n(fileBytes.begin(), kPrefixSize, loaded.prefix.begin());
  std::copy_n(fileBytes.begin() + static_cast<std::ptrdiff_t>(headerOffset), kHeaderSize,
              loaded.slot.header.bytes.begin());
  const std::uint8_t signature = loaded.slot.header.TimeSignature();
  loaded.slot.numerator = TimeSignatureNumerator(signature);
  loaded.slot.denominator = TimeSignatureDenominator(signature);
  if (std::string damage = SplitPartData(fileBytes, loaded); !damage.empty()) {
    return Refusal(TLoadStatus::kDamaged, std::move(damage));
  }
  loaded.slot.fileName = path;
  return TLoadOutcome{TLoadStatus::kLoaded, std::move(loaded), {}, {}};
}

TLoadOutcome ReadRhythmFile(const std::string& path) {
  platform::TReadResult read = platform::ReadWholeFile(path, kMaxRhythmFileSize);
  if (read.tooLarge) {
    return Refusal(TLoadStatus::kTooLarge, "This is not a rhythm file: it is larger than " +
                                               std::to_string(kMaxRhythmFileSize >> 20) + " MiB.");
  }
  if (!read.ok) {
    return Refusal(TLoadStatus::kCannotOpen, "Cannot open file \"" + path + "\". " + read.error,
                   {read.error, 0, std::nullopt});
  }
  return ReadRhythm(path, read.bytes);
}

void CommitLoadedRhythm(TRhythmDocuments& docs, int slot, TLoadedRhythm&& loaded) {
  docs.slots[static_cast<std::size_t>(slot)] = std::move(loaded.slot);
  docs.filePrefix = loaded.prefix;
}

}  // namespace brondel
