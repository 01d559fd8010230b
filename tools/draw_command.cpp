// draw: the pattern window's picture of a section, painted by the window's own painter into a
// PNG image or an SVG file.
#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <algorithm>
#include <cctype>
#include <memory>

#include "pattern/painting/pattern_painter.h"
#include "pattern/pattern_model.h"
#include "platform/qt_text.h"
#include "tools/commands.h"
#include "tools/rhythm_input.h"

namespace brondel::tool {

namespace {

constexpr int kDefaultWidth = 1200;
constexpr int kMinWidth = 400;  // room for the names and a bar or two
constexpr int kMaxWidth = 16384;

enum class TPictureFormat { kPng, kSvg };

bool EndsWith(std::string text, std::string_view suffix) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// --format when given, else the output's extension (any letter case).
TPictureFormat FormatOf(const TCommandLine& line, const std::string& out) {
  if (line.Has("--format")) {
    const std::string format = line.Value("--format");
    if (format == "png") return TPictureFormat::kPng;
    if (format == "svg") return TPictureFormat::kSvg;
    throw TUsageError("--format takes png or svg, not '" + format + "'");
  }
  if (EndsWith(out, ".png")) return TPictureFormat::kPng;
  if (EndsWith(out, ".svg")) return TPictureFormat::kSvg;
  throw TUsageError("OUT must end in .png or .svg, or --format must say which");
}

int WidthOf(const TCommandLine& line) {
  if (!line.Has("--width")) return kDefaultWidth;
  const std::string text = line.Value("--width");
  const std::optional<std::uint64_t> width = WholeNumber(text);
  if (!width || *width < kMinWidth || *width > kMaxWidth) {
    throw TUsageError("--width takes a number of pixels from " + std::to_string(kMinWidth) +
                      " to " + std::to_string(kMaxWidth) + ", not '" + text + "'");
  }
  return static_cast<int>(*width);
}

// Fonts need a GUI application object. The tool shows no window, so it runs Qt on its offscreen
// platform: no display is needed, and the picture is the same with a display or without one.
// Qt's warnings about the session it runs in (no runtime folder, say) stay off the tool's error
// output, which is for the user's files; critical messages still go through.
class TDrawingApplication {
 public:
  TDrawingApplication() {
    if (QCoreApplication::instance() != nullptr) return;  // one exists already (in tests)
    previousHandler_ = qInstallMessageHandler(PassCriticalMessages);
    application_ = std::make_unique<QGuiApplication>(argc_, argv_);
  }
  ~TDrawingApplication() {
    if (!application_) return;
    application_.reset();
    qInstallMessageHandler(previousHandler_);
  }
  TDrawingApplication(const TDrawingApplication&) = delete;
  TDrawingApplication& operator=(const TDrawingApplication&) = delete;

 private:
  static void PassCriticalMessages(QtMsgType type, const QMessageLogContext& context,
                                   const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) previousHandler_(type, context, message);
  }

  static inline QtMessageHandler previousHandler_ = nullptr;
  static inline int argc_ = 3;
  static inline char name_[] = "brondel-tool";
  static inline char platform_[] = "-platform";
  static inline char offscreen_[] = "offscreen";
  static inline char* argv_[] = {name_, platform_, offscreen_, nullptr};
  std::unique_ptr<QGuiApplication> application_;
};

void Paint(QPaintDevice& device, const pattern::TPatternLayout& layout, const QString& caption) {
  QPainter painter(&device);
  pattern::TPatternPaintOptions options;
  options.caption = caption;
  pattern::PaintPattern(painter, layout, options, QRectF(QPointF(0, 0), layout.ViewSize()));
}

QByteArray PngPicture(const pattern::TPatternLayout& layout, const QString& caption) {
  QImage image(layout.ViewSize(), QImage::Format_RGB32);
  image.fill(pattern::BackgroundColour());
  Paint(image, layout, caption);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

QByteArray SvgPicture(const pattern::TPatternLayout& layout, const QString& caption,
                      const QString& title) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(layout.ViewSize());
  svg.setResolution(96);  // a pixel of the picture is a CSS pixel of the page showing it
  svg.setViewBox(QRect(QPoint(0, 0), layout.ViewSize()));
  svg.setTitle(title);
  svg.setDescription(QStringLiteral("The parts of a rhythm's section, drawn by brondel-tool"));
  Paint(svg, layout, caption);
  return bytes;
}

}  // namespace

int RunDraw(const TCommandLine& line, TConsole& console) {
  const std::string& path = line.positional[0];
  const int section = SectionOf(path, line.positional[1]);
  const std::string out = line.Value("-o");
  const TPictureFormat format = FormatOf(line, out);
  const int width = WidthOf(line);
  TRhythmDocuments docs = OpenAsMainFile(path, console.err);
  const TDrawingApplication application;

  const TSectionPattern sectionPattern = BuildSectionPattern(docs.slots[kMainSlot], section);
  pattern::TPatternLayout layout(sectionPattern);
  layout.SetPixelsPerTick(pattern::TPatternLayout::FitPixelsPerTick(sectionPattern, width));
  layout.SetViewSize(layout.FullPictureSize(width));
  const QString caption = ToQString(kSectionNames[static_cast<std::size_t>(section)]);
  const QByteArray picture = format == TPictureFormat::kPng
                                 ? PngPicture(layout, caption)
                                 : SvgPicture(layout, caption, QString::fromStdString(path));
  WriteOutput(out, {picture.begin(), picture.end()}, console.out);
  return kExitOk;
}

}  // namespace brondel::tool
