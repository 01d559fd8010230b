// Finding a new rhythm's sections in the files given: from each file's name (NAME-Var1.mid), or
// from the section markers of one file. Private to exchange/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exchange/midi_import.h"

namespace brondel::midi_in {

/// Where a section lies in a file, in its ticks.
struct TSpan {
  int section = 0;
  const TNamedMidiFile* file = nullptr;
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  bool followed = false;  // another section of the file starts at its end
};

/// The sections given, in section order.
struct TSections {
  std::vector<TSpan> spans;
  bool marked = false;  // from the markers of one file
};

/// Each section given, from the files' names or from the one file's markers (each running to the
/// next section marker or the file's end); refuses a file that names no section and a section
/// given twice.
TSections SectionSpans(const std::vector<TNamedMidiFile>& files);

/// Ends each section that runs to its file's end at the bar line just before, in the time
/// signature byte `signature`, when the file ends less than a beat after that bar line and no
/// note sounds past it (files that end their tracks a few ticks after the last note).
void EndAtBarLinesJustBefore(std::vector<TSpan>& spans, std::uint8_t signature);

/// The tick where the file's last track ends.
std::uint64_t FileEnd(const platform::TMidiFile& file);

}  // namespace brondel::midi_in
