// check: every problem of rhythm files, one line each, for folders of them.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <utility>

#include "document/apply_settings.h"
#include "tools/commands.h"
#include "tools/rhythm_input.h"

namespace brondel::tool {

namespace {

namespace fs = std::filesystem;

// The open dialog lists "*.ckf;*.z00", which matches names in any letter case.
bool IsRhythmFileName(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".ckf" || extension == ".z00";
}

// What a walk below a folder found: rhythm files to check and folders that could not be read,
// each with its problem.
struct TFolderFindings {
  std::vector<std::string> files;
  std::vector<std::pair<std::string, std::string>> unreadable;  // folder, problem
};

// Walks a folder and the folders below it (not the ones a link points to, which could lead back
// up). A folder that cannot be read is a problem of its own; the walk goes on with the others.
void WalkFolder(const fs::path& folder, TFolderFindings& findings) {
  std::vector<fs::path> subfolders;
  std::error_code error;
  fs::directory_iterator entry(folder, error);
  for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
    std::error_code kind;
    if (entry->is_directory(kind) && !entry->is_symlink(kind)) {
      subfolders.push_back(entry->path());
    } else if (entry->is_regular_file(kind) && IsRhythmFileName(entry->path())) {
      findings.files.push_back(entry->path().generic_string());
    }
  }
  if (error) {
    findings.unreadable.emplace_back(folder.generic_string(),
                                     "cannot read folder: " + error.message());
  }
  for (const fs::path& subfolder : subfolders) WalkFolder(subfolder, findings);
}

// Settings the window refuses to store (128 and more) but plays as they are.
void AddSettingProblems(const TRhythmSlot& slot, std::vector<std::string>& problems) {
  for (int s = 0; s < kSectionCount; ++s) {
    for (int p = 0; p < kPartCount; ++p) {
      for (int k = 0; k < kParamCount; ++k) {
        const int value = slot.header.SettingByte(s, p, k);
        if (value <= kMaxSettingValue) continue;
        problems.push_back(PartItemText(s, p) + " " +
                           std::string(kParamNames[static_cast<std::size_t>(k)]) + " is " +
                           std::to_string(value) + ", settings go up to " +
                           std::to_string(kMaxSettingValue));
      }
    }
  }
}

std::vector<std::string> LoadedRhythmProblems(const TLoadedRhythm& rhythm) {
  // Part data that 16-bit offsets cannot address is refused by the loader itself.
  std::vector<std::string> problems = BadFillerProblems(rhythm);
  const TRhythmSlot& slot = rhythm.slot;
  const int tempo = slot.header.Tempo();
  if (tempo < kMinTempo || tempo > kMaxTempo) {
    problems.push_back("tempo " + std::to_string(tempo) + " is outside " +
                       std::to_string(kMinTempo) + " to " + std::to_string(kMaxTempo));
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
    TFolderFindings findings;
    WalkFolder(argument, findings);
    std::sort(findings.files.begin(), findings.files.end());
    for (const std::string& file : findings.files) report(file, FileProblems(file));
    for (const auto& [folder, problem] : findings.unreadable) report(folder, {problem});
    if (findings.files.empty() && findings.unreadable.empty()) {
      report(argument, {"no rhythm file (.ckf or .z00) in this folder or below it"});
    }
  }
  return problemCount == 0 ? kExitOk : kExitFileProblem;
}

}  // namespace brondel::tool
