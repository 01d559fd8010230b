// A readable text form of rhythm data for test failures: records decoded ("note step 4 key 36
// vel 100", "wait 532", "end step 0 vel 0"), header bytes named by their field, and assertions
// that show the first difference that way instead of raw bytes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "document/rhythm_loader.h"
#include "document/rhythm_slot.h"

namespace brondel::test {

/// One record in words.
inline std::string DescribeRecord(const TRhythmRecord& r) {
  std::ostringstream out;
  if (r.IsWait()) {
    out << "wait " << r.Delay();
  } else if (r.IsEnd()) {
    out << "end step " << int{r.b0} << " vel " << int{r.b2};
  } else {
    out << "note step " << int{r.b0} << " key " << int{r.b1} << " vel " << int{r.b2};
  }
  return out.str();
}

/// Every record of a stream, one a line, numbered; a trailing partial record as hex.
inline std::string DescribeStream(const TPartStream& stream) {
  std::ostringstream out;
  std::size_t i = 0;
  for (; i + kRecordSize <= stream.size(); i += kRecordSize) {
    out << "  #" << i / kRecordSize << " " << DescribeRecord(TRhythmRecord::FromBytes(&stream[i]))
        << "\n";
  }
  for (; i < stream.size(); ++i) out << "  partial byte " << int{stream[i]} << "\n";
  return out.str();
}

/// The field that header byte `offset` belongs to ("Var1:Bass Volume", "tempo").
inline std::string HeaderFieldName(std::size_t offset) {
  if (offset < 2) return "total length";
  if (offset == TRhythmHeader::kTempoOffset) return "tempo";
  if (offset == TRhythmHeader::kTimeSignatureOffset) return "time signature";
  if (offset < TRhythmHeader::kFirstSectionOffset) return "uninterpreted";
  if (offset >= TRhythmHeader::kEndMarkOffset) return "end mark";
  const std::size_t rel = offset - TRhythmHeader::kFirstSectionOffset;
  const int section = static_cast<int>(rel / kSectionEntrySize);
  const std::size_t inEntry = rel % kSectionEntrySize;
  const std::string name(kSectionNames[static_cast<std::size_t>(section)]);
  if (inEntry < 2) return name + " bar count";
  if (inEntry >= 42)
    return PartItemText(section, static_cast<int>((inEntry - 42) / 2)) + " data offset";
  const auto part = static_cast<int>((inEntry - 2) / kPartSettingsSize);
  const auto k = (inEntry - 2) % kPartSettingsSize;
  return PartItemText(section, part) + " settings byte " + std::to_string(k) +
         (k < kParamCount ? " (" + std::string(kParamNames[k]) + ")" : "");
}

/// Passes when both streams hold the same bytes; else shows both decoded and the first
/// differing record.
inline testing::AssertionResult SameRecords(const TPartStream& actual,
                                            const TPartStream& expected) {
  if (actual == expected) return testing::AssertionSuccess();
  const auto mismatch =
      std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  const auto index = static_cast<std::size_t>(mismatch.first - actual.begin()) / kRecordSize;
  return testing::AssertionFailure() << "records differ from record #" << index << "\nactual ("
                                     << actual.size() / kRecordSize << " records):\n"
                                     << DescribeStream(actual) << "expected ("
                                     << expected.size() / kRecordSize << " records):\n"
                                     << DescribeStream(expected);
}

/// Passes when the headers are equal byte for byte; else names each differing field.
inline testing::AssertionResult SameHeader(const TRhythmHeader& actual,
                                           const TRhythmHeader& expected) {
  testing::AssertionResult result = testing::AssertionSuccess();
  for (std::size_t i = 0; i < kHeaderSize; ++i) {
    if (actual.bytes[i] == expected.bytes[i]) continue;
    if (result) result = testing::AssertionFailure() << "headers differ:";
    result << "\n  byte " << i << " (" << HeaderFieldName(i) << "): " << int{actual.bytes[i]}
           << " instead of " << int{expected.bytes[i]};
  }
  return result;
}

/// Passes when two documents have the same header, streams and event counts; else shows the
/// header fields that differ and the first part whose records differ.
inline testing::AssertionResult SameDocument(const TRhythmSlot& actual,
                                             const TRhythmSlot& expected) {
  testing::AssertionResult result = SameHeader(actual.header, expected.header);
  for (int s = 0; s < kSectionCount && result; ++s) {
    for (int p = 0; p < kPartCount && result; ++p) {
      const auto& a = actual.streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(p)];
      const auto& e = expected.streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(p)];
      result = SameRecords(a, e);
      if (!result) result << "(part " << PartItemText(s, p) << ")";
    }
  }
  if (result && actual.eventCounts != expected.eventCounts) {
    return testing::AssertionFailure() << "event counts differ";
  }
  return result;
}

/// Passes when two rhythm files hold the same bytes. Otherwise both are read (the layout from
/// `fileName`) and their difference is shown by field and record.
inline testing::AssertionResult SameRhythmFile(const std::string& fileName,
                                               const std::vector<std::uint8_t>& actual,
                                               const std::vector<std::uint8_t>& expected) {
  if (actual == expected) return testing::AssertionSuccess();
  const TLoadOutcome a = ReadRhythm(fileName, actual);
  const TLoadOutcome e = ReadRhythm(fileName, expected);
  testing::AssertionResult result = testing::AssertionFailure()
                                    << fileName << ": " << actual.size() << " bytes instead of "
                                    << expected.size() << ", ";
  if (!a.rhythm || !e.rhythm) {
    return result << "unreadable: '" << a.message << "' / '" << e.message << "'";
  }
  if (a.rhythm->prefix != e.rhythm->prefix) return result << "the 64-byte blocks differ";
  if (auto same = SameDocument(a.rhythm->slot, e.rhythm->slot); !same) {
    return result << same.message();
  }
  return result << "same document, different bytes outside its parts";
}

}  // namespace brondel::test
