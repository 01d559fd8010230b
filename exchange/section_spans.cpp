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

constexpr int kChannelCount = 16;
constexpr int kKeyCount = 128;

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

// True when a note of the file sounds past `line`: one starts there or later, one ends after it,
// or one started from `from` on is never ended.
bool NoteSoundsPast(const platform::TMidiFile& file, std::uint64_t from, std::uint64_t line) {
  for (int channel = 0; channel < kChannelCount; ++channel) {
    const TMidiMessages messages = SourceMessages(file, {TMidiSource::TKind::kChannel, channel});
    std::array<std::size_t, kKeyCount> sounding{};
    // At the division itself, the notes keep the file's ticks.
    for (const TSourceNote& note : RhythmNotes(messages, file.division, file.division)) {
      std::size_t& open = sounding[note.key];
      if (note.velocity > 0) {
        if (note.tick >= line) return true;
        if (note.tick >= from) ++open;
      } else {
        if (note.tick > line) return true;
        if (open > 0) --open;
      }
    }
    if (std::any_of(sounding.begin(), sounding.end(), [](std::size_t n) { return n > 0; })) {
      return true;
    }
  }
  return false;
}

}  // namespace

void EndAtBarLinesJustBefore(std::vector<TSpan>& spans, std::uint8_t signature) {
  const std::uint64_t numerator = TimeSignatureNumerator(signature);
  const std::uint64_t denominator = TimeSignatureDenominator(signature);
  for (TSpan& span : spans) {
    if (span.followed) continue;
    const platform::TMidiFile& file = span.file->file;
    const auto division = static_cast<std::uint64_t>(file.division);
    // A bar lasts division x 4 x numerator / denominator ticks, a beat division x 4 / denominator.
    const std::uint64_t barTimesDenominator = 4 * division * numerator;
    if (barTimesDenominator == 0) continue;
    const std::uint64_t bars = (span.end - span.start) * denominator / barTimesDenominator;
    const std::uint64_t line = span.start + bars * barTimesDenominator / denominator;
    const bool lessThanABeat = (span.end - line) * denominator < 4 * division;
    if (bars == 0 || line == span.end || !lessThanABeat) continue;
    if (!NoteSoundsPast(file, span.start, line)) span.end = line;
  }
}

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
  // Beside the first file, with the separator it was named with ("/" on Windows too).
  return std::filesystem::path(firstPath).replace_filename(name).string();
}

}  // namespace brondel
