#include "tools/command_line.h"

#include <algorithm>
#include <charconv>

namespace brondel::tool {

namespace {

bool IsHelp(std::string_view word) {
  return word == "--help" || word == "-h";
}

bool LooksLikeOption(std::string_view word) {
  return word.size() > 1 && word.front() == '-';
}

const TOptionSpec& FindSpec(const std::vector<TOptionSpec>& specs, std::string_view name) {
  const auto found = std::find_if(specs.begin(), specs.end(),
                                  [&](const TOptionSpec& spec) { return spec.name == name; });
  if (found == specs.end()) throw TUsageError("unknown option '" + std::string(name) + "'");
  return *found;
}

}  // namespace

std::string TCommandLine::Value(std::string_view name) const {
  const auto found = options.find(name);
  return found == options.end() ? std::string() : found->second;
}

namespace {

// Takes the option at words[i] (and its value) into `line`; returns the index of its last word.
std::size_t TakeOption(const std::vector<std::string>& words, std::size_t i,
                       const std::vector<TOptionSpec>& specs, TCommandLine& line) {
  const std::string& word = words[i];
  const std::size_t equals = word.find('=');
  const std::string name = word.substr(0, equals);
  const TOptionSpec& spec = FindSpec(specs, name);
  if (line.Has(name)) throw TUsageError("option " + name + " given twice");
  if (spec.valueName.empty()) {
    if (equals != std::string::npos) throw TUsageError("option " + name + " takes no value");
    line.options[name] = "";
  } else if (equals != std::string::npos) {
    line.options[name] = word.substr(equals + 1);
  } else if (i + 1 < words.size()) {
    line.options[name] = words[++i];
  } else {
    throw TUsageError("option " + name + " needs a value (" + std::string(spec.valueName) + ")");
  }
  return i;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& words,
                              const std::vector<TOptionSpec>& specs) {
  TCommandLine line;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (optionsEnded || !LooksLikeOption(word)) {
      line.positional.push_back(word);
    } else if (word == "--") {
      optionsEnded = true;
    } else if (IsHelp(word)) {
      line.options["--help"] = "";
    } else {
      i = TakeOption(words, i, specs, line);
    }
  }
  return line;
}

std::optional<std::uint64_t> WholeNumber(std::string_view text, std::size_t maxDigits) {
  const bool digits =
      !text.empty() && text.size() <= maxDigits &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  std::uint64_t value = 0;
  if (!digits || std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc()) {
    return std::nullopt;
  }
  return value;
}

void CheckRequiredOptions(const TCommandLine& line, const std::vector<TOptionSpec>& specs) {
  for (const TOptionSpec& spec : specs) {
    if (spec.required && !line.Has(spec.name)) {
      throw TUsageError("missing " + std::string(spec.name) + " " + std::string(spec.valueName));
    }
  }
}

}  // namespace brondel::tool
