// Running brondel-tool in-process, the example rhythms, and buffer comparisons whose failures
// name the first differing stream event by its fields.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "document/rhythm_loader.h"
#include "render/render.h"

namespace brondel::test {

/// What one run of the tool gave.
struct TToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

/// Runs the tool with these words after its name, catching its output.
TToolRun RunTool(const std::vector<std::string>& words);

/// The checked-in example rhythms (examples/*.ckf and examples/*.z00), sorted.
std::vector<std::string> ExampleRhythmPaths();

/// A parameterized test's name for an example: its file name without the extension.
std::string ExampleTestName(const ::testing::TestParamInfo<std::string>& example);

/// The rhythm at `path` as the window loads it; fails the test when it does not load.
TLoadedRhythm LoadRhythm(const std::string& path);

/// The bytes of a file, empty when there is none.
std::vector<std::uint8_t> FileBytes(const std::filesystem::path& path);

/// "record 12: +24 ticks 0x99 36 100" for the first record where two buffers differ, or a
/// length difference; success when they are equal byte for byte.
::testing::AssertionResult SameStreamEvents(const TEventBuffer& expected,
                                            const TEventBuffer& actual);

/// Every file in a folder, by name, sorted (to see that a failing command wrote nothing).
std::vector<std::string> FilesIn(const std::filesystem::path& folder);

}  // namespace brondel::test
