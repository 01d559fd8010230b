#include "exchange/section_spans.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>

#include "exchange/import_refusal.h"
#include "exchange/midi_sources.h"

namespace brondel {

namespace midi_in {

namespace {

// A file's name without its extension, split where a section's name follows a dash: the
// rhythm's name "ballad" and section Var1 in "ballad-Var1.mid" (as SectionFileName forms it);
// "Var1.mid" names both.
struct TNameAndSection {
  std::string rhythm;
  std::optional<int> section;
};

TNameAndSection SplitSectionName(const std::string& path) {
  const std::string stem = std::filesystem::path(path).stem().string();
  const auto dash = stem.rfind('-');
  if (dash != std::string::npos && dash > 0) {
    if (const auto section = SectionNamed(std::string_view(stem).substr(dash + 1))) {
      return {stem.substr(0, dash), section};
    }
  }
  return {stem, SectionNamed(stem)};
}

// The sections of one file, from its marker events.
std::vector<TSpan> MarkedSpans(const TNamedMidiFile& named) {
  const std::vector<TSectionMarker> markers = SectionMarkers(named.file);
  const std::uint64_t fileEnd = FileEnd(named.file);
  std::vector<TSpan> spans;
  for (std::size_t i = 0; i < markers.size(); ++i) {
    const bool followed = i + 1 < markers.size();
    const std::uint64_t end = std::max(followed ? markers[i + 1].tick : fileEnd, markers[i].tick);
    spans.push_back({markers[i].section, &named, markers[i].tick, end, followed});
  }
  return spans;
}

}  // namespace

std::uint64_t FileEnd(const platform::TMidiFile& file) {
  std::uint64_t end = 0;
  for (const auto& track : file.tracks) end = std::max(end, track.endTick);
  return end;
}

TSections SectionSpans(const std::vector<TNamedMidiFile>& files) {
  TSections sections;
  std::vector<TSpan>& spans = sections.spans;
  for (const TNamedMidiFile& named : files) {
    if (const auto section = SplitSectionName(named.path).section) {
      spans.push_back({*section, &named, 0, FileEnd(named.file), false});
      continue;
    }
    if (files.size() > 1) {
      Refuse(named.path,
             "its name says no section: name each file NAME-Var1.mid, NAME-Fill1.mid "
             "... (Intro1 ... End2)");
    }
    spans = MarkedSpans(named);
    sections.marked = true;
    if (spans.empty()) {
      Refuse(named.path,
             "names no section: name it NAME-Var1.mid (Intro1 ... End2), or mark where each "
             "section starts with a marker named after it");
    }
  }
  std::array<const TSpan*, kSectionCount> given{};
  for (const TSpan& span : spans) {
    const TSpan*& other = given[static_cast<std::size_t>(span.section)];
    if (other != nullptr) {
      Refuse(span.file->path,
             SectionName(span.section) + " is given twice" +
                 (other->file == span.file ? "" : " (also by " + other->file->path + ")"));
    }
    other = &span;
  }
  std::sort(spans.begin(), spans.end(),
            [](const TSpan& a, const TSpan& b) { return a.section < b.section; });
  return sections;
}

}  // namespace midi_in

std::string SectionFileName(const std::string& path, int section) {
  std::filesystem::path name(path);
  const std::string extension = name.has_extension() ? name.extension().string() : ".mid";
  name.replace_extension();
  name += "-";  // piece by piece: GCC 12 at -O3 misreads "-" + std::string&& (-Wrestrict)
  name += kSectionNames[static_cast<std::size_t>(section)];
  name += extension;
  return name.string();
}

std::string RhythmNameFromMidi(const std::string& firstPath) {
  const std::string name = midi_in::SplitSectionName(firstPath).rhythm + ".ckf";
  return (std::filesystem::path(firstPath).parent_path() / name).string();
}

}  // namespace brondel
