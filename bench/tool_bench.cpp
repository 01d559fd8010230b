// Measures brondel-tool as a user runs it: `check` over a folder of 1,000 rhythm files, and `wav`
// of the longest section of the example rhythms (and of a long, dense section of our own), as
// times faster than real time. The offline rendering is measured in-process too, without the
// start of the process (the soundfont is loaded in both).
//
//   tool_bench [PATH_TO_BRONDEL_TOOL]   (default: ../tools/brondel-tool beside this program)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/rhythm_builder.h"
#include "document/rhythm_loader.h"
#include "platform/file_io.h"
#include "platform/offline_synth.h"
#include "render/render.h"

namespace {

namespace fs = std::filesystem;
using brondel::kSectionCount;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 5;
#ifdef _WIN32
constexpr const char* kNoOutput = " > NUL";
#else
constexpr const char* kNoOutput = " > /dev/null";
#endif
constexpr int kFolderFiles = 1000;

fs::path SourceDir() {
  return fs::path(BRONDEL_SOURCE_DIR);
}

std::string Quoted(const fs::path& path) {
  return "\"" + path.string() + "\"";
}

// Median wall time in seconds of kRuns runs of `action`; -1 when a run fails.
double MedianSeconds(const std::function<bool()>& action) {
  std::vector<double> times;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = Clock::now();
    const bool ok = action();
    times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (!ok) return -1;
  }
  std::sort(times.begin(), times.end());
  return times[kRuns / 2];
}

// Runs a shell command that must end with `expectedStatus` (0, or any failure for 1).
std::function<bool()> Command(const std::string& command, int expectedStatus) {
  return [=] {
    const int status = std::system(command.c_str());
    return status != -1 && (expectedStatus == 0) == (status == 0);
  };
}

std::vector<fs::path> ExampleFiles() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(SourceDir() / "examples")) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".ckf" || ext == ".z00") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  const std::string error = brondel::platform::WriteFileSafely(path.string(), bytes);
  if (!error.empty()) throw std::runtime_error(path.string() + ": " + error);
}

// 1,000 files in 20 folders: copies of the examples, and one file in ten with a tempo of 5, so
// that the problem lines are written too.
void FillFolder(const fs::path& folder) {
  const std::vector<fs::path> examples = ExampleFiles();
  for (int i = 0; i < kFolderFiles; ++i) {
    const fs::path sub = folder / ("set" + std::to_string(i % 20));
    if (i % 10 == 9) {
      WriteFile(sub / ("slow" + std::to_string(i) + ".ckf"),
                brondel::TRhythmBuilder(5, 0x22).CkfFile());
      continue;
    }
    const fs::path& example = examples[static_cast<std::size_t>(i) % examples.size()];
    WriteFile(sub / (std::to_string(i) + example.extension().string()),
              brondel::platform::ReadWholeFile(example.string(), 1 << 20).bytes);
  }
}

void MeasureCheck(const fs::path& tool, const fs::path& work) {
  const fs::path folder = work / "folder";
  FillFolder(folder);
  const double seconds =
      MedianSeconds(Command(Quoted(tool) + " check " + Quoted(folder) + kNoOutput, 1));
  std::printf("check: %d files in %.3f s (median of %d runs), %.0f files/s\n", kFolderFiles,
              seconds, kRuns, kFolderFiles / seconds);
}

struct TSection {
  fs::path file;
  int section = 0;
  brondel::TEventBuffer buffer;
  int tempo = 0;
  double seconds = 0;  // length of the music
};

TSection SectionOf(const fs::path& file, const brondel::TRhythmSlot& slot, int section) {
  TSection found{file, section, {}, slot.header.Tempo(), 0};
  std::vector<brondel::TRenderEvent> events;
  brondel::RenderSectionEvents(slot, section, events, found.buffer);
  std::uint64_t ticks = 0;
  for (const auto& event : events) ticks += event.Time;
  found.seconds = static_cast<double>(ticks) * 0.5 / found.tempo;
  return found;
}

TSection LongestExampleSection() {
  TSection longest;
  for (const fs::path& file : ExampleFiles()) {
    const brondel::TLoadOutcome outcome = brondel::ReadRhythmFile(file.string());
    for (int s = 0; outcome.rhythm && s < kSectionCount; ++s) {
      TSection candidate = SectionOf(file, outcome.rhythm->slot, s);
      if (candidate.seconds > longest.seconds) longest = std::move(candidate);
    }
  }
  return longest;
}

// Two minutes at tempo 48 (ticks of 10.4 ms): sixteenth notes on all five parts, the drums
// doubled, every note ended: about as dense as a keyboard rhythm gets.
TSection DenseSection(const fs::path& work) {
  brondel::TRhythmBuilder rhythm(48, 0x22);
  const std::uint32_t end = 48 * 240;
  for (int p = 0; p < brondel::kPartCount; ++p) {
    rhythm.Settings(p,
                    brondel::PartSettings(static_cast<std::uint8_t>(p * 20), 0, 100, 64, 40, 20));
    brondel::TTimedPart part;
    for (std::uint32_t t = 0; t < end; t += 12) {
      part.Add(t, static_cast<std::uint8_t>(36 + 7 * p + (t / 12) % 5), 90, 10);
      if (p == 0) part.Add(t, 42, 70, 6);
    }
    rhythm.Part(8, p, part.Build(end));
  }
  const fs::path file = work / "dense.ckf";
  WriteFile(file, rhythm.CkfFile());
  return SectionOf(file, brondel::ReadRhythmFile(file.string()).rhythm->slot, 8);
}

void MeasureWav(const fs::path& tool, const fs::path& work, const TSection& section,
                const std::string& label) {
  const std::string command = Quoted(tool) + " wav " + Quoted(section.file) + " " +
                              std::to_string(section.section) + " -o " + Quoted(work / "out.wav");
  const double whole = MedianSeconds(Command(command, 0));
  const double inProcess = MedianSeconds([&] {
    return brondel::platform::RenderStreamOffline(section.buffer,
                                                  static_cast<std::uint32_t>(section.tempo),
                                                  [](std::span<const float>) { return true; })
        .empty();
  });
  std::printf(
      "wav: %s (%s section %d, %.2f s of music): the command %.3f s = %.1fx real time; "
      "in-process rendering %.3f s = %.1fx\n",
      label.c_str(), section.file.filename().string().c_str(), section.section, section.seconds,
      whole, section.seconds / whole, inProcess, section.seconds / inProcess);
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path tool =
      argc > 1 ? fs::path(argv[1])
               : fs::absolute(argv[0]).parent_path().parent_path() / "tools" / "brondel-tool";
  if (!fs::exists(tool)) {
    std::cerr << "no brondel-tool at " << tool << "\n";
    return 2;
  }
  const fs::path work =
      fs::temp_directory_path() /
      ("brondel-tool-bench-" + std::to_string(Clock::now().time_since_epoch().count()));
  try {
    MeasureCheck(tool, work);
    MeasureWav(tool, work, LongestExampleSection(), "longest example section");
    MeasureWav(tool, work, DenseSection(work), "dense section of our own");
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
  }
  fs::remove_all(work);
  return 0;
}
