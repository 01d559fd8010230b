#include "tests/tool/tool_test_support.h"

#include <algorithm>
#include <sstream>

#include "tests/support/test_files.h"
#include "tools/tool.h"

namespace brondel::test {

namespace {

std::string DescribeRecord(const TEventBuffer& buffer, std::size_t record) {
  const std::size_t at = record * kStreamEventSize;
  if (at + kStreamEventSize > buffer.size()) return "nothing";
  auto u32 = [&](std::size_t offset) {
    return static_cast<std::uint32_t>(buffer[at + offset]) | buffer[at + offset + 1] << 8 |
           buffer[at + offset + 2] << 16 |
           static_cast<std::uint32_t>(buffer[at + offset + 3]) << 24;
  };
  std::ostringstream text;
  text << "+" << u32(0) << " ticks 0x" << std::hex << int{buffer[at + 8]} << std::dec << " "
       << int{buffer[at + 9]} << " " << int{buffer[at + 10]};
  if (u32(4) != 0 || buffer[at + 11] != 0)
    text << " (stream " << u32(4) << ", kind " << int{buffer[at + 11]} << ")";
  return text.str();
}

}  // namespace

TToolRun RunTool(const std::vector<std::string>& words) {
  std::ostringstream out;
  std::ostringstream err;
  tool::TConsole console{out, err};
  TToolRun run;
  run.status = tool::RunTool(words, console);
  run.out = out.str();
  run.err = err.str();
  return run;
}

std::vector<std::string> ExampleRhythmPaths() {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(SourcePath("examples"))) {
    const std::string extension = entry.path().extension().string();
    if (extension == ".ckf" || extension == ".z00") paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::string ExampleTestName(const ::testing::TestParamInfo<std::string>& example) {
  return std::filesystem::path(example.param).stem().string();
}

TLoadedRhythm LoadRhythm(const std::string& path) {
  TLoadOutcome outcome = ReadRhythmFile(path);
  EXPECT_EQ(outcome.status, TLoadStatus::kLoaded) << path << ": " << outcome.message;
  return outcome.rhythm ? std::move(*outcome.rhythm) : TLoadedRhythm{};
}

std::vector<std::uint8_t> FileBytes(const std::filesystem::path& path) {
  return std::filesystem::exists(path) ? ReadBytes(path) : std::vector<std::uint8_t>{};
}

::testing::AssertionResult SameStreamEvents(const TEventBuffer& expected,
                                            const TEventBuffer& actual) {
  const std::size_t records = std::max(expected.size(), actual.size()) / kStreamEventSize + 1;
  for (std::size_t r = 0; r < records; ++r) {
    const std::string want = DescribeRecord(expected, r);
    const std::string got = DescribeRecord(actual, r);
    if (want != got) {
      return ::testing::AssertionFailure()
             << "record " << r << ": expected " << want << ", got " << got;
    }
  }
  if (expected != actual) {
    return ::testing::AssertionFailure() << "buffers of " << expected.size() << " and "
                                         << actual.size() << " bytes differ after the last record";
  }
  return ::testing::AssertionSuccess();
}

std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace brondel::test
