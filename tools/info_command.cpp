// info: what a rhythm file holds, as text for people or as JSON for scripts.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <iomanip>

#include "tools/commands.h"
#include "tools/rhythm_input.h"

namespace brondel::tool {

namespace {

struct TPartSummary {
  std::size_t bytes = 0;
  std::size_t records = 0;
  std::size_t notes = 0;  // note records with a velocity above 0: the notes struck
  TPartSettings settings;
};

TPartSummary SummarizePart(const TRhythmSlot& slot, int section, int part) {
  const TPartStream& stream =
      slot.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)];
  TPartSummary summary{stream.size(), stream.size() / kRecordSize, 0,
                       slot.header.Settings(section, part)};
  for (std::size_t at = 0; at + kRecordSize <= stream.size(); at += kRecordSize) {
    const TRhythmRecord record = TRhythmRecord::FromBytes(&stream[at]);
    if (!record.IsWait() && !record.IsEnd() && record.b2 > 0) ++summary.notes;
  }
  return summary;
}

std::string LayoutText(const TFileLayout& layout) {
  return std::string(layout.headerOffset == 0 ? ".z00" : ".ckf") + " (header at " +
         std::to_string(layout.headerOffset) + ", part data from " +
         std::to_string(layout.dataBase) + ")";
}

void PrintPartRow(std::ostream& out, int part, const TPartSummary& summary) {
  out << std::left << std::setw(8) << kPartNames[static_cast<std::size_t>(part)] << std::right
      << std::setw(5) << summary.bytes << std::setw(9) << summary.records << std::setw(7)
      << summary.notes;
  for (int k = 0; k < kParamCount; ++k) {
    out << std::setw(static_cast<int>(kParamNames[static_cast<std::size_t>(k)].size()) + 2)
        << int{summary.settings.bytes[static_cast<std::size_t>(k)]};
  }
  out << '\n';
}

// One table: a row per part, the section's name, bar count and event count on its first row.
void PrintText(std::ostream& out, const TLoadedRhythm& rhythm) {
  const TRhythmSlot& slot = rhythm.slot;
  out << slot.fileName << "\n  layout " << LayoutText(rhythm.layout) << ", tempo "
      << int{slot.header.Tempo()} << ", time signature "
      << TimeSignatureText(slot.header.TimeSignature()) << '\n';
  for (const std::string& problem : BadFillerProblems(rhythm)) out << "  " << problem << '\n';
  out << "  section  bars  events  part    bytes  records  notes";
  for (const std::string_view name : kParamNames) out << "  " << name;
  out << '\n';
  for (int s = 0; s < kSectionCount; ++s) {
    out << "  " << std::left << std::setw(7) << kSectionNames[static_cast<std::size_t>(s)]
        << std::right << std::setw(6) << slot.header.BarCount(s) << std::setw(8)
        << slot.eventCounts[static_cast<std::size_t>(s)] << "  ";
    for (int p = 0; p < kPartCount; ++p) {
      if (p > 0) out << std::string(25, ' ');
      PrintPartRow(out, p, SummarizePart(slot, s, p));
    }
  }
}

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QJsonObject PartJson(int part, const TPartSummary& summary) {
  QJsonObject settings;
  for (int k = 0; k < kParamCount; ++k) {
    settings[Text(kParamNames[static_cast<std::size_t>(k)])] =
        summary.settings.bytes[static_cast<std::size_t>(k)];
  }
  return QJsonObject{{"name", Text(kPartNames[static_cast<std::size_t>(part)])},
                     {"bytes", static_cast<qint64>(summary.bytes)},
                     {"records", static_cast<qint64>(summary.records)},
                     {"notes", static_cast<qint64>(summary.notes)},
                     {"settings", settings}};
}

QJsonObject SectionJson(const TRhythmSlot& slot, int section) {
  QJsonArray parts;
  for (int p = 0; p < kPartCount; ++p) parts.append(PartJson(p, SummarizePart(slot, section, p)));
  return QJsonObject{{"name", Text(kSectionNames[static_cast<std::size_t>(section)])},
                     {"bars", slot.header.BarCount(section)},
                     {"events", slot.eventCounts[static_cast<std::size_t>(section)]},
                     {"parts", parts}};
}

void PrintJson(std::ostream& out, const TLoadedRhythm& rhythm) {
  const TRhythmSlot& slot = rhythm.slot;
  QJsonArray sections;
  QJsonArray badFillers;
  for (int s = 0; s < kSectionCount; ++s) sections.append(SectionJson(slot, s));
  for (const std::string& part : rhythm.badFillers) badFillers.append(Text(part));
  const QJsonObject file{{"file", Text(slot.fileName)},
                         {"layout", rhythm.layout.headerOffset == 0 ? "z00" : "ckf"},
                         {"headerOffset", rhythm.layout.headerOffset},
                         {"dataBase", rhythm.layout.dataBase},
                         {"tempo", slot.header.Tempo()},
                         {"timeSignature", Text(TimeSignatureText(slot.header.TimeSignature()))},
                         {"numerator", slot.numerator},
                         {"denominator", slot.denominator},
                         {"badFillers", badFillers},
                         {"sections", sections}};
  out << QJsonDocument(file).toJson(QJsonDocument::Compact).toStdString() << '\n';
}

}  // namespace

int RunInfo(const TCommandLine& line, TConsole& console) {
  int status = kExitOk;
  for (const std::string& path : line.positional) {
    const TOpenedRhythm opened = OpenRhythm(path);
    if (!opened.rhythm) {
      console.err << path << ": " << opened.problem << '\n';
      status = kExitFileProblem;
    } else if (line.Has("--json")) {
      PrintJson(console.out, *opened.rhythm);
    } else {
      PrintText(console.out, *opened.rhythm);
    }
  }
  return status;
}

}  // namespace brondel::tool
