// check: every problem of rhythm files, one line each, for folders of them.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "tools/commands.h"
#include "tools/rhythm_input.h"

namespace brondel::tool {

namespace {

namespace fs = std::filesystem;

constexpr int kLowestTempo = 11;
constexpr int kHighestTempo = 249;
constexpr int kHighestSetting = 127;

// The open dialog lists "*.ckf;*.z00", which matches names in any letter case.
bool IsRhythmFileName(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".ckf" || extension == ".z00";
}

// The rhythm files below a folder, sorted; a folder that cannot be walked is a problem itself.
std::vector<std::string> RhythmFilesBelow(const std::string& folder, std::string& problem) {
  std::vector<std::string> files;
  std::error_code error;
  fs::recursive_directory_iterator walk(folder, fs::directory_options::skip_permission_denied,
                                        error);
  for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
    if (walk->is_regular_file(error) && IsRhythmFileName(walk->path())) {
      files.push_back(walk->path().generic_string());
    }
  }
  if (error) problem = "cannot read folder: " + error.message();
  std::sort(files.begin(), files.end());
  return files;
}

// Settings the window refuses to store (128 and more) but plays as they are.
void AddSettingProblems(const TRhythmSlot& slot, std::vector<std::string>& problems) {
  for (int s = 0; s < kSectionCount; ++s) {
    for (int p = 0; p < kPartCount; ++p) {
      for (int k = 0; k < kParamCount; ++k) {
        const int value = slot.header.SettingByte(s, p, k);
        if (value <= kHighestSetting) continue;
        problems.push_back(PartItemText(s, p) + " " +
                           std::string(kParamNames[static_cast<std::size_t>(k)]) + " is " +
                           std::to_string(value) + ", settings go up to 127");
      }
    }
  }
}

std::vector<std::string> LoadedRhythmProblems(const TLoadedRhythm& rhythm) {
  // Part data that 16-bit offsets cannot address is refused by the loader itself.
  std::vector<std::string> problems = BadFillerProblems(rhythm);
  const TRhythmSlot& slot = rhythm.slot;
  const int tempo = slot.header.Tempo();
  if (tempo < kLowestTempo || tempo > kHighestTempo) {
    problems.push_back("tempo " + std::to_string(tempo) + " is outside 11 to 249");
  }
  AddSettingProblems(slot, problems);
  return problems;
}

std::vector<std::string> FileProblems(const std::string& path) {
  const TOpenedRhythm opened = OpenRhythm(path);
  if (!opened.rhythm) return {opened.problem};
  return LoadedRhythmProblems(*opened.rhythm);
}

}  // namespace

int RunCheck(const TCommandLine& line, TConsole& console) {
  std::size_t problemCount = 0;
  auto report = [&](const std::string& path, const std::vector<std::string>& problems) {
    for (const std::string& problem : problems) console.out << path << ": " << problem << '\n';
    problemCount += problems.size();
  };
  for (const std::string& argument : line.positional) {
    std::error_code error;
    if (!fs::is_directory(argument, error)) {
      report(argument, FileProblems(argument));
      continue;
    }
    std::string walkProblem;
    for (const std::string& file : RhythmFilesBelow(argument, walkProblem)) {
      report(file, FileProblems(file));
    }
    if (!walkProblem.empty()) report(argument, {walkProblem});
  }
  return problemCount == 0 ? kExitOk : kExitFileProblem;
}

}  // namespace brondel::tool
