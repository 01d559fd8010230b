#include "chords/chart.h"

#include "document/rhythm_format.h"

namespace brondel::chords {

namespace {

// The bars of a text: what stands between "|" and line ends, split into words; empty bars
// dropped.
std::vector<std::vector<std::string_view>> BarWords(std::string_view text) {
  std::vector<std::vector<std::string_view>> bars(1);
  std::size_t wordStart = std::string_view::npos;
  const auto endWord = [&](std::size_t at) {
    if (wordStart != std::string_view::npos)
      bars.back().push_back(text.substr(wordStart, at - wordStart));
    wordStart = std::string_view::npos;
  };
  for (std::size_t at = 0; at <= text.size(); ++at) {
    const char c = at < text.size() ? text[at] : '\n';
    if (c == '|' || c == '\n' || c == '\r') {
      endWord(at);
      if (!bars.back().empty()) bars.emplace_back();
    } else if (c == ' ' || c == '\t') {
      endWord(at);
    } else if (wordStart == std::string_view::npos) {
      wordStart = at;
    } else if (text[at - 1] == ']') {  // "[Var2]C": the cue ends its word
      endWord(at);
      wordStart = at;
    }
  }
  bars.pop_back();
  return bars;
}

std::optional<TSectionCue> CueNamed(std::string_view name) {
  // "[Fill]" is Fill1 without its number, in any letter case as the sections' names are.
  if (name.size() == 4 && SectionNamed(std::string(name) + "1") == SectionNamed("Fill1")) {
    return TSectionCue{};
  }
  const std::optional<int> section = SectionNamed(name);
  if (!section) return std::nullopt;
  return TSectionCue{section};
}

std::string BarError(std::size_t bar, std::string_view word, std::string_view reason) {
  return "bar " + std::to_string(bar) + ": '" + std::string(word) + "' " + std::string(reason);
}

}  // namespace

TChartRead ParseChart(std::string_view text) {
  TChartRead read;
  const auto bars = BarWords(text);
  if (bars.empty()) return {{}, "the chart has no bars"};
  for (std::size_t b = 0; b < bars.size(); ++b) {
    const std::size_t number = b + 1;
    TChartBar bar;
    std::size_t first = 0;
    const std::string_view opening = bars[b][0];
    if (opening.front() == '[') {
      const std::optional<TSectionCue> cue =
          opening.back() == ']' ? CueNamed(opening.substr(1, opening.size() - 2)) : std::nullopt;
      if (!cue) return {{}, BarError(number, opening, "is not a section cue")};
      bar.cue = cue;
      first = 1;
    }
    const std::vector<std::string_view> words(bars[b].begin() + static_cast<std::ptrdiff_t>(first),
                                              bars[b].end());
    if (words.empty()) return {{}, BarError(number, opening, "has no chord after it")};
    if (words[0] == "%") {
      if (read.chart.bars.empty()) return {{}, BarError(number, "%", "has no bar before it")};
      if (words.size() > 1)
        return {{}, BarError(number, words[1], "follows '%', which stands alone")};
      bar.shares = read.chart.bars.back().shares;
      bar.chords = read.chart.bars.back().chords;
      read.chart.bars.push_back(bar);
      continue;
    }
    bar.shares = static_cast<int>(words.size());
    for (std::size_t w = 0; w < words.size(); ++w) {
      if (words[w] == ".") {
        if (read.chart.bars.empty() && w == 0) {
          return {{}, BarError(number, ".", "has no chord before it to hold")};
        }
        continue;
      }
      if (words[w].front() == '[') {
        return {{}, BarError(number, words[w], "must open its bar")};
      }
      const std::optional<TChordSymbol> chord = ParseChordSymbol(words[w]);
      if (!chord) return {{}, BarError(number, words[w], "is not a chord")};
      bar.chords.push_back({static_cast<int>(w), *chord});
    }
    read.chart.bars.push_back(bar);
  }
  return read;
}

}  // namespace brondel::chords
