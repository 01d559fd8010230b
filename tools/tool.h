// brondel-tool: the command-line companion of the window. Every command reads rhythm files
// with the window's loader and plays, renders and saves with the window's own routines.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace brondel::tool {

/// Where a command writes its results and its error lines.
struct TConsole {
  std::ostream& out;
  std::ostream& err;
};

/// Exit statuses of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFileProblem = 1;  // a file cannot be used, or check found problems
inline constexpr int kExitUsage = 2;

/// Every command's usage as its help shows it (the words after "brondel-tool", the command's
/// name first), in the order the tool's help lists them: what the manual page is made from.
std::vector<std::string_view> CommandUsages();

/// Runs one command line (the words after the program's name) and returns the exit status.
int RunTool(const std::vector<std::string>& words, TConsole& console);

}  // namespace brondel::tool
