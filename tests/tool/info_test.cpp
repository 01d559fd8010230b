// info: the figures of each example rhythm, as text and as JSON, equal what the loaded document
// holds, counted here from its part streams.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <sstream>

#include "tests/support/test_files.h"
#include "tests/tool/tool_test_support.h"

namespace brondel {
namespace {

using test::RunTool;

// Notes struck: note records (not waits, not the end record) with a velocity above 0.
int NotesStruck(const TPartStream& stream) {
  int notes = 0;
  for (std::size_t i = 0; i + kRecordSize <= stream.size(); i += kRecordSize) {
    const TRhythmRecord r = TRhythmRecord::FromBytes(&stream[i]);
    notes += !r.IsWait() && !r.IsEnd() && r.b2 > 0 ? 1 : 0;
  }
  return notes;
}

QJsonObject JsonLine(const std::string& line) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
  return doc.object();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void ExpectPartJson(const QJsonObject& part, const TRhythmSlot& slot, int s, int p) {
  const TPartStream& stream =
      slot.streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(p)];
  EXPECT_EQ(part["name"].toString().toStdString(), kPartNames[static_cast<std::size_t>(p)]);
  EXPECT_EQ(part["bytes"].toInt(), static_cast<int>(stream.size()));
  EXPECT_EQ(part["records"].toInt(), static_cast<int>(stream.size() / kRecordSize));
  EXPECT_EQ(part["notes"].toInt(), NotesStruck(stream)) << PartItemText(s, p);
  const QJsonObject settings = part["settings"].toObject();
  EXPECT_EQ(settings.size(), kParamCount);
  for (int k = 0; k < kParamCount; ++k) {
    const QString name =
        QString::fromStdString(std::string(kParamNames[static_cast<std::size_t>(k)]));
    EXPECT_EQ(settings[name].toInt(), slot.header.SettingByte(s, p, k)) << PartItemText(s, p);
  }
}

TEST(ToolInfo, JsonGivesOneObjectPerFileWithTheDocumentsFigures) {
  const std::vector<std::string> paths = test::ExampleRhythmPaths();
  std::vector<std::string> words{"info", "--json"};
  words.insert(words.end(), paths.begin(), paths.end());
  const auto run = RunTool(words);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), paths.size());
  for (std::size_t f = 0; f < paths.size(); ++f) {
    const TLoadedRhythm rhythm = test::LoadRhythm(paths[f]);
    const TRhythmSlot& slot = rhythm.slot;
    const QJsonObject file = JsonLine(lines[f]);
    EXPECT_EQ(file["file"].toString().toStdString(), paths[f]);
    EXPECT_EQ(file["layout"].toString(), paths[f].ends_with(".z00") ? "z00" : "ckf");
    EXPECT_EQ(file["tempo"].toInt(), slot.header.Tempo());
    EXPECT_EQ(file["timeSignature"].toString().toStdString(),
              std::to_string(slot.numerator) + "/" + std::to_string(slot.denominator));
    const QJsonArray sections = file["sections"].toArray();
    ASSERT_EQ(sections.size(), kSectionCount);
    for (int s = 0; s < kSectionCount; ++s) {
      const QJsonObject section = sections[s].toObject();
      EXPECT_EQ(section["name"].toString().toStdString(),
                kSectionNames[static_cast<std::size_t>(s)]);
      EXPECT_EQ(section["bars"].toInt(), slot.header.BarCount(s));
      EXPECT_EQ(section["events"].toInt(), CountSectionEvents(slot, s));
      const QJsonArray parts = section["parts"].toArray();
      ASSERT_EQ(parts.size(), kPartCount);
      for (int p = 0; p < kPartCount; ++p) ExpectPartJson(parts[p].toObject(), slot, s, p);
    }
  }
}

TEST(ToolInfo, TextShowsTheHeaderFiguresAndARowPerPart) {
  const std::string path = test::ExampleRhythmPaths().back();
  const TRhythmSlot slot = test::LoadRhythm(path).slot;
  const auto run = RunTool({"info", path});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u + kSectionCount * kPartCount);
  EXPECT_EQ(lines[0], path);
  EXPECT_NE(lines[1].find("tempo " + std::to_string(slot.header.Tempo()) + ", time signature " +
                          std::to_string(slot.numerator) + "/" + std::to_string(slot.denominator)),
            std::string::npos);
  for (int s = 0; s < kSectionCount; ++s) {
    std::istringstream row(lines[3 + static_cast<std::size_t>(s) * kPartCount]);
    std::string name;
    int bars = 0;
    int events = 0;
    std::string part;
    row >> name >> bars >> events >> part;
    EXPECT_EQ(name, kSectionNames[static_cast<std::size_t>(s)]);
    EXPECT_EQ(bars, slot.header.BarCount(s));
    EXPECT_EQ(events, CountSectionEvents(slot, s));
    EXPECT_EQ(part, "Drums");
  }
}

TEST(ToolInfo, ABadFileIsReportedAndTheOthersStillShown) {
  test::TTempDir dir;
  const std::string bad = dir.File("bad.ckf");
  test::WriteBytes(bad, {1, 2, 3});
  const std::string good = test::ExampleRhythmPaths().front();
  const auto run = RunTool({"info", "--json", bad, good});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            bad + ": too short: 3 bytes, a .ckf rhythm file has its type byte at offset 23\n");
  EXPECT_EQ(JsonLine(run.out)["file"].toString().toStdString(), good);
}

}  // namespace
}  // namespace brondel
