// Makes brondel-tool's manual page from its template, at build time: the usage lines come from
// the tool's own table of commands, so that the page shows what `brondel-tool COMMAND --help`
// shows. In the template, a line "@SYNOPSIS@" becomes one synopsis (.SY) per command and a line
// "@USAGE name@" the usage line of command `name`, as the tag of its paragraph. Every command
// must have its paragraph, and no paragraph may name an unknown command.
//
//   brondel-man-page TEMPLATE OUT
#include <cctype>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tools/tool.h"

namespace {

constexpr std::string_view kSynopsis = "@SYNOPSIS@";
constexpr std::string_view kUsagePrefix = "@USAGE ";

// A character of a word of a usage line; a dot only inside a word (OUT.mid), not in "FILE...".
bool IsWordCharacter(std::string_view line, std::size_t at) {
  const char c = line[at];
  if (c == '.') {
    return at + 1 < line.size() && std::isalnum(static_cast<unsigned char>(line[at + 1]));
  }
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
}

// A usage line as the text of a .B request: the words typed as they stand (the command, its
// options, the values png and svg) in bold, the words a user replaces (FILE, OUT.mid, N: they
// start with a capital) in italics, the brackets, bars and dots between them in bold. Hyphens
// become minus signs, so that a copied command line works.
std::string UsageRoff(std::string_view usage) {
  std::string roff;
  bool italic = false;
  for (std::size_t at = 0; at < usage.size(); ++at) {
    const char c = usage[at];
    if (c == '\\' || c == '"' || !std::isprint(static_cast<unsigned char>(c))) {
      throw std::runtime_error("a usage line roff would misread: " + std::string(usage));
    }
    const bool replaced = IsWordCharacter(usage, at) &&
                          (at == 0 || !IsWordCharacter(usage, at - 1) ? std::isupper(c) : italic);
    if (replaced != italic) {
      roff += replaced ? "\\fI" : "\\fB";
      italic = replaced;
    }
    roff += c == '-' ? std::string("\\-") : std::string(1, c);
  }
  return roff;
}

std::string_view CommandName(std::string_view usage) {
  return usage.substr(0, usage.find(' '));
}

std::string MakePage(std::istream& in) {
  std::map<std::string, std::string_view, std::less<>> unused;
  for (const std::string_view usage : brondel::tool::CommandUsages()) {
    unused.emplace(std::string(CommandName(usage)), usage);
  }
  const std::map<std::string, std::string_view, std::less<>> usages = unused;
  std::ostringstream page;
  std::string line;
  while (std::getline(in, line)) {
    if (line == kSynopsis) {
      for (const std::string_view usage : brondel::tool::CommandUsages()) {
        page << ".SY brondel\\-tool\n\\fB" << UsageRoff(usage) << "\\fR\n.YS\n";
      }
    } else if (line.starts_with(kUsagePrefix) && line.ends_with('@')) {
      const std::string name =
          line.substr(kUsagePrefix.size(), line.size() - kUsagePrefix.size() - 1);
      const auto found = usages.find(name);
      if (found == usages.end()) {
        throw std::runtime_error("the template names no command '" + name + "'");
      }
      if (unused.erase(name) == 0) {
        throw std::runtime_error("the template names '" + name + "' twice");
      }
      page << ".B " << UsageRoff(found->second) << '\n';
    } else {
      page << line << '\n';
    }
  }
  if (!unused.empty()) {
    throw std::runtime_error("the template has no paragraph for '" + unused.begin()->first + "'");
  }
  return page.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: brondel-man-page TEMPLATE OUT\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << argv[1] << ": cannot be read\n";
    return 1;
  }
  try {
    const std::string page = MakePage(in);
    std::ofstream out(argv[2], std::ios::binary);
    out << page;
    out.close();
    if (!out) {
      std::cerr << argv[2] << ": cannot be written\n";
      return 1;
    }
  } catch (const std::exception& error) {
    std::cerr << argv[1] << ": " << error.what() << '\n';
    return 1;
  }
  return 0;
}
