// notes and set-notes: the notes a section plays as tab-separated text (or JSON), and a part
// written from such text.
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <sstream>

#include "pattern/key_names.h"
#include "pattern/part_notes.h"
#include "pattern/section_edit.h"
#include "platform/file_io.h"
#include "tools/commands.h"
#include "tools/rhythm_input.h"

namespace brondel::tool {

namespace {

constexpr std::size_t kMaxNotesFileSize = 16 * 1024 * 1024;

// The columns of the text, in order.
constexpr const char* kNotesHeader = "section\tpart\tposition\ttick\tkey\tname\tvelocity\tlength";

// bar:beat:tick as the pattern window's tool tip shows a note's start: "2:3:048".
std::string PositionText(const TPatternMeter& meter, std::uint32_t tick) {
  const TMusicalPosition at = meter.PositionOf(tick);
  char inBeat[24];
  std::snprintf(inBeat, sizeof inBeat, "%03llu", static_cast<unsigned long long>(at.tick));
  return std::to_string(at.bar) + ":" + std::to_string(at.beat) + ":" + inBeat;
}

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void PrintNote(std::ostream& out, bool json, const TPatternMeter& meter, int section, int part,
               const TEditNote& note) {
  const std::string_view sectionName = kSectionNames[static_cast<std::size_t>(section)];
  const std::string_view partName = kPartNames[static_cast<std::size_t>(part)];
  const std::string position = PositionText(meter, note.tick);
  const std::string name = KeyName(part, note.key);
  if (json) {
    const QJsonObject object{{"section", Text(sectionName)},   {"part", Text(partName)},
                             {"position", Text(position)},     {"tick", int(note.tick)},
                             {"key", int{note.key}},           {"name", Text(name)},
                             {"velocity", int{note.velocity}}, {"length", int(note.length)}};
    out << QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() << '\n';
    return;
  }
  out << sectionName << '\t' << partName << '\t' << position << '\t' << note.tick << '\t'
      << int{note.key} << '\t' << name << '\t' << int{note.velocity} << '\t' << note.length << '\n';
}

// One value of the notes text: its line and column, for a refusal that names them.
struct TCell {
  std::size_t line = 0;
  std::size_t column = 0;  // from 1
  std::string_view name;
  std::string text;
};

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  std::string field;
  while (std::getline(stream, field, '\t')) fields.push_back(field);
  if (!line.empty() && line.back() == '\t') fields.emplace_back();
  return fields;
}

// The notes of a text with the columns tick, key, velocity and length, each with its line.
struct TReadNotes {
  TNoteList notes;
  std::vector<std::size_t> lines;
};

class TNotesText {
 public:
  explicit TNotesText(std::string path) : path_(std::move(path)) {}

  TReadNotes Read(const std::string& text) const {
    std::stringstream stream(text);
    std::string line;
    std::size_t number = 0;
    std::array<std::size_t, 4> columns{};  // tick, key, velocity, length: their fields
    bool header = false;
    TReadNotes read;
    while (std::getline(stream, line)) {
      ++number;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty()) continue;
      const std::vector<std::string> fields = SplitTabs(line);
      if (!header) {
        columns = Columns(fields, number);
        header = true;
        continue;
      }
      const auto cell = [&](std::size_t which) {
        const std::size_t at = columns[which];
        if (at >= fields.size()) {
          Refuse(number, "no value in column " + std::to_string(at + 1) + " (" +
                             std::string(kNames[which]) + ")");
        }
        return TCell{number, at + 1, kNames[which], fields[at]};
      };
      TEditNote note;
      note.tick = static_cast<std::uint32_t>(Number(cell(0), 0, 0xFFFF, "a tick from 0 to 65535"));
      note.key = static_cast<std::uint8_t>(Number(cell(1), 0, 127, "a key from 0 to 127"));
      note.velocity =
          static_cast<std::uint8_t>(Number(cell(2), 1, 127, "a velocity from 1 to 127"));
      note.length =
          static_cast<std::uint32_t>(Number(cell(3), 1, 0xFFFF, "a length from 1 to 65535"));
      read.notes.push_back(note);
      read.lines.push_back(number);
    }
    if (!header) throw TFileError(path_, "no header line (tick, key, velocity and length)");
    return read;
  }

  [[noreturn]] void Refuse(std::size_t line, const std::string& reason) const {
    throw TFileError(path_, "line " + std::to_string(line) + ": " + reason);
  }

 private:
  static constexpr std::array<std::string_view, 4> kNames = {"tick", "key", "velocity", "length"};

  std::array<std::size_t, 4> Columns(const std::vector<std::string>& fields,
                                     std::size_t line) const {
    std::array<std::size_t, 4> columns{};
    for (std::size_t which = 0; which < kNames.size(); ++which) {
      const auto found = std::find(fields.begin(), fields.end(), kNames[which]);
      if (found == fields.end()) {
        Refuse(line, "no column named " + std::string(kNames[which]) +
                         " (the header needs tick, key, velocity and length)");
      }
      columns[which] = static_cast<std::size_t>(found - fields.begin());
    }
    return columns;
  }

  std::uint64_t Number(const TCell& cell, std::uint64_t least, std::uint64_t most,
                       const std::string& what) const {
    const std::optional<std::uint64_t> value = WholeNumber(cell.text, 6);
    if (!value || *value < least || *value > most) {
      Refuse(cell.line, "column " + std::to_string(cell.column) + " (" + std::string(cell.name) +
                            "): '" + cell.text + "' is not " + what);
    }
    return *value;
  }

  std::string path_;
};

// The notes in tick order (lines of one tick in their order), checked against the section.
TNoteList CheckedNotes(const TNotesText& text, TReadNotes read, std::uint32_t end) {
  std::vector<std::size_t> order(read.notes.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return read.notes[a].tick < read.notes[b].tick;
  });
  TNoteList notes;
  for (const std::size_t i : order) {
    if (read.notes[i].End() > end) {
      text.Refuse(read.lines[i], "the note ends at tick " + std::to_string(read.notes[i].End()) +
                                     ", after the section's end (tick " + std::to_string(end) +
                                     ")");
    }
    notes.push_back(read.notes[i]);
  }
  if (const auto overlap = FindOverlap(notes)) {
    text.Refuse(read.lines[order[overlap->second]],
                "the note starts while the note of line " +
                    std::to_string(read.lines[order[overlap->first]]) +
                    " still sounds on the same key");
  }
  return notes;
}

}  // namespace

int RunNotes(const TCommandLine& line, TConsole& console) {
  const std::string& path = line.positional[0];
  std::vector<int> sections;
  if (line.positional.size() > 1) {
    sections.push_back(SectionOf(path, line.positional[1]));
  } else {
    for (int s = 0; s < kSectionCount; ++s) sections.push_back(s);
  }
  std::vector<int> parts;
  if (line.positional.size() > 2) {
    parts.push_back(PartOf(path, line.positional[2]));
  } else {
    for (int p = 0; p < kPartCount; ++p) parts.push_back(p);
  }
  const TRhythmDocuments docs = OpenAsMainFile(path, console.err);
  const TRhythmSlot& slot = docs.slots[kMainSlot];
  const bool json = line.Has("--json");
  if (!json) console.out << kNotesHeader << '\n';
  const TPatternMeter meter = SlotMeter(slot);
  for (const int section : sections) {
    const TSectionNotes notes = ReadSectionNotes(slot, section);
    for (const int part : parts) {
      for (const TEditNote& note : notes.parts[static_cast<std::size_t>(part)]) {
        PrintNote(console.out, json, meter, section, part, note);
      }
    }
  }
  return kExitOk;
}

int RunSetNotes(const TCommandLine& line, TConsole& console) {
  const std::string& path = line.positional[0];
  const int section = SectionOf(path, line.positional[1]);
  const int part = PartOf(path, line.positional[2]);
  const std::string& notesPath = line.positional[3];
  const std::string out = line.Value("-o");
  CheckSaveTarget(out);
  TRhythmDocuments docs = OpenAsMainFile(path, console.err);
  TRhythmSlot& slot = docs.slots[kMainSlot];
  const platform::TReadResult file = platform::ReadWholeFile(notesPath, kMaxNotesFileSize);
  if (file.tooLarge) throw TFileError(notesPath, "larger than 16 MiB");
  if (!file.ok) throw TFileError(notesPath, "cannot open: " + file.error);
  const TNotesText text(notesPath);
  TSectionNotes notes = ReadSectionNotes(slot, section);
  notes.parts[static_cast<std::size_t>(part)] =
      CheckedNotes(text, text.Read(std::string(file.bytes.begin(), file.bytes.end())), notes.end);
  if (const std::optional<std::string> refusal = WriteSectionNotes(slot, section, notes)) {
    throw TFileError(notesPath, *refusal);
  }
  WriteRhythm(docs, path, out, console.out);
  return kExitOk;
}

}  // namespace brondel::tool
