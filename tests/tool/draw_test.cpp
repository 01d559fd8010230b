// draw: the pattern window's picture as a PNG of the width asked for, with each note's colour
// where the window's layout puts it, or as well-formed SVG holding the lanes and notes; bad
// sections, widths and names refused before anything is written; the tool as its own process,
// with no display and nothing on its error output.
#include <gtest/gtest.h>

#include <QImage>
#include <QXmlStreamReader>
#include <map>

#include "document/rhythm_builder.h"
#include "pattern/painting/pattern_painter.h"
#include "tests/support/child_process.h"
#include "tests/support/test_files.h"
#include "tests/tool/tool_test_support.h"

namespace brondel {
namespace {

using test::FileBytes;
using test::FilesIn;
using test::RunTool;

constexpr int kVar1 = 2;
const std::string kPopBeat = test::SourcePath("examples/pop_beat.ckf").string();

// A one-bar 4/4 Var1: four snares, one soft bass note, three empty chord parts.
TRhythmBuilder DrawnRhythm() {
  TRhythmBuilder rhythm(96, 0x22);
  for (int s = 0; s < kSectionCount; ++s) rhythm.Bars(s, 1);
  TPartBuilder drums;
  for (int beat = 0; beat < 4; ++beat) drums.Note(beat == 0 ? 0 : 48, 38, 100).Note(48, 38, 0);
  rhythm.Part(kVar1, 0, drums.End());
  rhythm.Part(kVar1, 1, TPartBuilder().Wait(192).Note(0, 40, 50).Note(96, 40, 0).End(96));
  return rhythm;
}

QImage DecodePng(const std::vector<std::uint8_t>& bytes) {
  return QImage::fromData(bytes.data(), static_cast<int>(bytes.size()), "PNG");
}

class ToolDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    rhythm_ = dir_.File("drawn.ckf");
    test::WriteBytes(rhythm_, DrawnRhythm().CkfFile());
  }

  test::TTempDir dir_;
  std::string rhythm_;
};

TEST_F(ToolDraw, APngHasTheWidthAskedForAndEachNoteWhereTheWindowsLayoutPutsIt) {
  for (const int width : {400, 777, 1200}) {
    const std::string out = dir_.File("var1.png");
    const std::vector<std::string> words = {"draw", rhythm_, "var1", "-o", out};
    const auto run = RunTool(width == 1200 ? words : [&] {
      auto withWidth = words;
      withWidth.insert(withWidth.end(), {"--width", std::to_string(width)});
      return withWidth;
    }());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const QImage image = DecodePng(FileBytes(out));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), width);

    const TSectionPattern drawn = BuildSectionPattern(DrawnRhythm().Slot(), kVar1);
    pattern::TPatternLayout layout(drawn);
    layout.SetPixelsPerTick(pattern::TPatternLayout::FitPixelsPerTick(drawn, width));
    layout.SetViewSize(layout.FullPictureSize(width));
    EXPECT_EQ(image.height(), layout.ViewSize().height());
    for (const TPatternNote& note : drawn.notes) {
      EXPECT_EQ(image.pixelColor(layout.NoteRect(note).center().toPoint()),
                pattern::NoteColour(note.part, note.velocity))
          << "width " << width << ", part " << note.part << " at " << note.start;
    }
    const QPointF quiet(layout.TickToX(24), layout.RowRect(1, 0).center().y());
    EXPECT_EQ(image.pixelColor(quiet.toPoint()), pattern::RowColour(1, 0, 40)) << width;
  }
}

// The texts and the fill colours of the shapes in an SVG file, which must be well-formed.
struct TSvgContent {
  std::vector<QString> texts;
  std::map<QString, int> fills;  // fill colour -> shapes
  QString viewBox;
  QString error;
};

// A shape's fill is its own or that of the nearest group around it that sets one.
TSvgContent ReadSvg(const std::vector<std::uint8_t>& bytes) {
  TSvgContent content;
  QXmlStreamReader xml(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                  static_cast<qsizetype>(bytes.size())));
  std::vector<QString> groupFills;
  while (!xml.atEnd()) {
    const QXmlStreamReader::TokenType token = xml.readNext();
    if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("g")) {
      groupFills.pop_back();
    }
    if (token != QXmlStreamReader::StartElement) continue;
    const QString fill = xml.attributes().value("fill").toString();
    if (xml.name() == QLatin1String("svg")) {
      content.viewBox = xml.attributes().value("viewBox").toString();
    } else if (xml.name() == QLatin1String("g")) {
      groupFills.push_back(fill.isEmpty() && !groupFills.empty() ? groupFills.back() : fill);
    } else if (xml.name() == QLatin1String("text")) {
      content.texts.push_back(xml.readElementText().trimmed());
    } else if (xml.name() == QLatin1String("rect")) {
      content.fills[!fill.isEmpty() || groupFills.empty() ? fill : groupFills.back()] += 1;
    }
  }
  if (xml.hasError()) content.error = xml.errorString();
  return content;
}

TEST_F(ToolDraw, AnSvgIsWellFormedAndHoldsTheLanesAndNotes) {
  const std::string out = dir_.File("Var1.SVG");  // the extension in any letter case
  const auto run = RunTool({"draw", rhythm_, "2", "-o", out, "--width", "900"});
  ASSERT_EQ(run.status, 0) << run.err;
  const TSvgContent svg = ReadSvg(FileBytes(out));
  ASSERT_EQ(svg.error, QString());
  EXPECT_TRUE(svg.viewBox.startsWith("0 0 900 ")) << svg.viewBox.toStdString();
  for (const char* text :
       {"Var1", "Drums", "Bass", "Chord1", "Chord2", "Chord3", "Acoustic Snare", "E2"}) {
    EXPECT_NE(std::find(svg.texts.begin(), svg.texts.end(), QString(text)), svg.texts.end())
        << text;
  }
  // Each note is one shape in its velocity's shade: four snares, one soft bass note.
  const auto fills = [&](int part, int velocity) {
    const auto found = svg.fills.find(pattern::NoteColour(part, velocity).name());
    return found == svg.fills.end() ? 0 : found->second;
  };
  EXPECT_EQ(fills(0, 100), 4);
  EXPECT_EQ(fills(1, 50), 1);
  EXPECT_EQ(fills(1, 100), 0);
}

TEST_F(ToolDraw, EveryExampleSectionIsDrawn) {
  for (const std::string& example : test::ExampleRhythmPaths()) {
    for (int section = 0; section < kSectionCount; ++section) {
      const std::string out = dir_.File("section.png");
      const auto run = RunTool({"draw", example, std::to_string(section), "-o", out});
      ASSERT_EQ(run.status, 0) << example << " " << section << ": " << run.err;
      EXPECT_EQ(DecodePng(FileBytes(out)).width(), 1200) << example << " " << section;
    }
  }
}

TEST_F(ToolDraw, ThePictureGoesToTheStandardOutputInTheFormatAsked) {
  const auto png = RunTool({"draw", rhythm_, "Var1", "-o", "-", "--format", "png"});
  ASSERT_EQ(png.status, 0) << png.err;
  EXPECT_EQ(DecodePng({png.out.begin(), png.out.end()}).width(), 1200);
  const auto svg = RunTool({"draw", rhythm_, "Var1", "-o", "-", "--format", "svg"});
  ASSERT_EQ(svg.status, 0) << svg.err;
  EXPECT_EQ(ReadSvg({svg.out.begin(), svg.out.end()}).error, QString());
  // --format wins over the extension.
  const std::string named = dir_.File("picture.png");
  ASSERT_EQ(RunTool({"draw", rhythm_, "Var1", "-o", named, "--format", "svg"}).status, 0);
  EXPECT_EQ(ReadSvg(FileBytes(named)).error, QString());
  EXPECT_TRUE(DecodePng(FileBytes(named)).isNull());
}

TEST_F(ToolDraw, BadSectionsFilesAndOptionsAreRefusedAndNothingIsWritten) {
  const std::string out = dir_.File("out.png");
  const auto section = RunTool({"draw", rhythm_, "Var9", "-o", out});
  EXPECT_EQ(section.status, 1);
  EXPECT_EQ(section.err, rhythm_ + ": no section 'Var9' (Intro1 ... End2, or 0 to 9)\n");
  const std::string missing = dir_.File("missing.ckf");
  const auto file = RunTool({"draw", missing, "Var1", "-o", out});
  EXPECT_EQ(file.status, 1);
  EXPECT_EQ(file.err.rfind(missing + ": cannot open: ", 0), 0u) << file.err;
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"draw", rhythm_, "Var1", "-o", dir_.File("out.jpg")},
        {"draw", rhythm_, "Var1", "-o", "-"},
        {"draw", rhythm_, "Var1", "-o", out, "--format", "gif"},
        {"draw", rhythm_, "Var1", "-o", out, "--width", "399"},
        {"draw", rhythm_, "Var1", "-o", out, "--width", "16385"},
        {"draw", rhythm_, "Var1", "-o", out, "--width", "12px"},
        {"draw", rhythm_, "Var1"}}) {
    const auto run = RunTool(words);
    EXPECT_EQ(run.status, 2) << words.back();
    EXPECT_NE(run.err.find("Usage: brondel-tool draw FILE SECTION"), std::string::npos) << run.err;
  }
  EXPECT_EQ(FilesIn(dir_.Path()), std::vector<std::string>{"drawn.ckf"});
}

TEST_F(ToolDraw, TheToolDrawsAsItsOwnProcessWithNothingOnItsErrorOutput) {
  const std::string out = dir_.File("pop.png");
  const auto run = test::RunProgram({BRONDEL_TOOL_BINARY, "draw", kPopBeat, "Fill2", "-o", out});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(DecodePng(FileBytes(out)).width(), 1200);
}

TEST(ToolHelp, ListsDraw) {
  const auto help = RunTool({"--help"});
  EXPECT_NE(help.out.find("  draw         the pattern window's picture of a section\n"),
            std::string::npos);
  const auto draw = RunTool({"draw", "--help"});
  EXPECT_EQ(draw.status, 0);
  EXPECT_NE(draw.out.find("--width N"), std::string::npos);
}

}  // namespace
}  // namespace brondel
