// Time to open a rhythm: the largest of our example rhythms read from disk and split into its
// part streams, and the same bytes split from memory alone. Run from anywhere; the examples are
// found beside this file's folder.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "document/rhythm_loader.h"

namespace {

/// The largest rhythm file in examples/.
std::string LargestExample() {
  const auto folder = std::filesystem::path(BRONDEL_SOURCE_DIR) / "examples";
  std::filesystem::path largest;
  std::uintmax_t size = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const auto ext = entry.path().extension();
    if ((ext == ".ckf" || ext == ".z00") && entry.file_size() > size) {
      size = entry.file_size();
      largest = entry.path();
    }
  }
  return largest.string();
}

void BM_ReadRhythmFile(benchmark::State& state) {
  const std::string path = LargestExample();
  for (auto _ : state) {
    brondel::TLoadOutcome outcome = brondel::ReadRhythmFile(path);
    if (outcome.status != brondel::TLoadStatus::kLoaded) {
      state.SkipWithError(outcome.message.c_str());
      break;
    }
    benchmark::DoNotOptimize(outcome);
  }
  state.SetLabel(std::filesystem::path(path).filename().string() + ", " +
                 std::to_string(std::filesystem::file_size(path)) + " bytes");
}
BENCHMARK(BM_ReadRhythmFile)->Unit(benchmark::kMicrosecond);

void BM_ReadRhythmFromMemory(benchmark::State& state) {
  const std::string path = LargestExample();
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
  for (auto _ : state) {
    brondel::TLoadOutcome outcome = brondel::ReadRhythm(path, file);
    benchmark::DoNotOptimize(outcome);
  }
}
BENCHMARK(BM_ReadRhythmFromMemory)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
