// The words of one brondel-tool command line: positional arguments and options, and the two
// kinds of failure a command ends with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brondel::tool {

/// A command line the tool cannot run; reported with the usage hint, exit status 2.
class TUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// A file that cannot be used or written; reported as "PATH: reason", exit status 1.
class TFileError : public std::runtime_error {
 public:
  TFileError(std::string path, const std::string& reason)
      : std::runtime_error(reason), path_(std::move(path)) {}
  /// The file the reason is about.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

/// One option of a command: a flag ("--json") or an option with a value ("-o OUT").
struct TOptionSpec {
  std::string_view name;
  std::string_view valueName;  // empty for a flag
  bool required = false;
};

/// A command line split into its positional words and the options given.
struct TCommandLine {
  std::vector<std::string> positional;
  std::map<std::string, std::string, std::less<>> options;  // a flag maps to ""

  /// True when the option was given.
  bool Has(std::string_view name) const { return options.find(name) != options.end(); }
  /// The value given to an option; empty when it was not given.
  std::string Value(std::string_view name) const;
};

/// Splits the words after the command name. "--help" and "-h" are accepted by every command;
/// "--name=value" is the same as "--name value"; "--" ends the options. An unknown option, an
/// option given twice or a missing value throws TUsageError.
TCommandLine ParseCommandLine(const std::vector<std::string>& words,
                              const std::vector<TOptionSpec>& specs);

/// Throws TUsageError naming the first required option that `line` lacks.
void CheckRequiredOptions(const TCommandLine& line, const std::vector<TOptionSpec>& specs);

/// The value of a whole number written as decimal digits only (no sign, no space), at most
/// `maxDigits` of them, leading zeros included; none for any other text, or a value above
/// 2^64 - 1. The caller checks the range and words the refusal.
std::optional<std::uint64_t> WholeNumber(
    std::string_view text, std::size_t maxDigits = std::numeric_limits<std::size_t>::max());

}  // namespace brondel::tool
