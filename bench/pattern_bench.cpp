// The pattern window's costs: building a section's pattern, and painting one frame of the view
// at a typical window size (1200 x 700 pixels of view), the whole section fitted or zoomed in to
// four beats in its middle; for the example section with the most notes, and for a section of
// 20,000 notes. A frame should take well under 16 ms, so that scrolling and zooming stay smooth.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <filesystem>
#include <string>

#include "document/rhythm_loader.h"
#include "pattern/painting/pattern_painter.h"
#include "pattern/pattern_model.h"

namespace {

using namespace brondel;
using pattern::TPatternLayout;

constexpr int kViewWidth = 1200;
constexpr int kViewHeight = 700;

struct TSection {
  std::string name;
  TRhythmSlot slot;
  int section = 0;
};

// The example section whose parts hold the most notes.
TSection BusiestExampleSection() {
  TSection busiest;
  std::size_t most = 0;
  const auto folder = std::filesystem::path(BRONDEL_SOURCE_DIR) / "examples";
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    TLoadOutcome loaded = ReadRhythmFile(entry.path().string());
    if (loaded.status != TLoadStatus::kLoaded) continue;
    for (int section = 0; section < kSectionCount; ++section) {
      const std::size_t notes = BuildSectionPattern(loaded.rhythm->slot, section).notes.size();
      if (notes <= most) continue;
      most = notes;
      busiest = {entry.path().filename().string() + ":" +
                     std::string(kSectionNames[static_cast<std::size_t>(section)]),
                 loaded.rhythm->slot, section};
    }
  }
  return busiest;
}

// 20,000 notes, 4,000 per part, a note-on every 16 ticks cycling through eight keys: each note
// lasts until its key sounds again. Note-ons alone fit a section's 64,995 bytes (60,030 here).
TSection TwentyThousandNotes() {
  TSection busy{"20000 notes", {}, 0};
  busy.slot.fileName = "busy.ckf";
  busy.slot.header.SetTimeSignature(0x22);
  busy.slot.header.SetBarCount(0, 167);
  for (int part = 0; part < kPartCount; ++part) {
    TPartStream& stream = busy.slot.streams[0][static_cast<std::size_t>(part)];
    for (int note = 0; note < 4000; ++note) {
      const auto key = static_cast<std::uint8_t>(36 + 7 * part + note % 8);
      const auto velocity = static_cast<std::uint8_t>(40 + note % 88);
      AppendRecord(stream, TRhythmRecord::Note(note == 0 ? 0 : 16, key, velocity));
    }
    AppendRecord(stream, TRhythmRecord::End(16));
    AppendRecord(stream, TRhythmRecord::Wait(0));
  }
  busy.slot.eventCounts[0] = CountSectionEvents(busy.slot, 0);
  return busy;
}

void BuildPattern(benchmark::State& state, const TSection& section) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(BuildSectionPattern(section.slot, section.section));
  }
  state.counters["notes"] =
      static_cast<double>(BuildSectionPattern(section.slot, section.section).notes.size());
}

// One frame of the view, the whole section fitted, or zoomed to four beats in its middle.
void PaintFrame(benchmark::State& state, const TSection& section, bool zoomed) {
  const TSectionPattern built = BuildSectionPattern(section.slot, section.section);
  TPatternLayout layout(built);
  layout.SetViewSize(QSize(kViewWidth, kViewHeight));
  const double fit = TPatternLayout::FitPixelsPerTick(built, kViewWidth);
  const double beats = 4.0 * built.meter.ticksPerQuarter * 4 / built.meter.denominator;
  const double zoom = zoomed ? (kViewWidth - TPatternLayout::kNameColumnWidth) / beats : fit;
  layout.SetPixelsPerTick(zoom);
  layout.SetScroll(QPointF(zoomed ? built.Extent() / 2.0 * zoom : 0, 0));
  QImage frame(kViewWidth, kViewHeight, QImage::Format_ARGB32_Premultiplied);
  pattern::TPatternPaintOptions options;
  options.caption = QStringLiteral("Var1");
  options.playTick = built.Extent() / 2;
  for (auto _ : state) {
    QPainter painter(&frame);
    pattern::PaintPattern(painter, layout, options, QRectF(frame.rect()));
    painter.end();
    benchmark::DoNotOptimize(frame.constBits());
  }
  state.counters["notes"] = static_cast<double>(built.notes.size());
}

void Register(const TSection& section) {
  benchmark::RegisterBenchmark(("BuildPattern/" + section.name).c_str(), BuildPattern, section)
      ->Unit(benchmark::kMillisecond);
  for (const bool zoomed : {false, true}) {
    benchmark::RegisterBenchmark(
        ("PaintFrame/" + section.name + (zoomed ? "/zoomed" : "/fitted")).c_str(), PaintFrame,
        section, zoomed)
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Painting text needs a GUI application; no display is needed for painting into images.
  int qtArgc = 3;
  char name[] = "pattern_bench";
  char platform[] = "-platform";
  char offscreen[] = "offscreen";
  char* qtArgv[] = {name, platform, offscreen, nullptr};
  const QGuiApplication application(qtArgc, qtArgv);
  Register(BusiestExampleSection());
  Register(TwentyThousandNotes());
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
