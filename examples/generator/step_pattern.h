// A drum-machine notation for composing parts. A line names the keys it strikes together and
// gives one character per step of the bar:
//   'X' accented note, 'x' note, 'o' soft note, '=' the note before lasts one step longer,
//   '.' nothing.
// {kKick, "X.......X.x....."} is a kick on beats 1 and 3 and on the "and" of 3 in a 16-step bar.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "document/rhythm_builder.h"

namespace brondel::examples {

struct TLine {
  /// One key: a drum or a single note.
  TLine(std::uint8_t key, std::string_view stepText) : keys{key}, steps(stepText) {}
  /// Keys struck together: a chord.
  TLine(std::initializer_list<std::uint8_t> chord, std::string_view stepText)
      : keys(chord), steps(stepText) {}

  std::vector<std::uint8_t> keys;
  std::string_view steps;
};

/// The lines of one part in one bar; an empty bar is silent.
using TBar = std::vector<TLine>;

/// One section: its bar count and, for each part, the bars it plays in turn, repeated until the
/// section is full.
struct TSectionPlan {
  std::uint16_t bars = 1;
  std::array<std::vector<TBar>, kPartCount> parts;
};

/// What a rhythm is made of besides its sections.
struct TStyle {
  std::uint8_t tempo = 96;  // ticks per quarter note of the stream's time division
  std::uint8_t timeSignature = 0x22;
  std::uint32_t barTicks = 384;  // the data's length of one bar; 96 ticks make a quarter note
  std::array<TPartSettings, kPartCount> settings;
};

/// Adds the notes of `bar` to `part`, the bar starting at tick `start`.
void AddBar(TTimedPart& part, const TBar& bar, std::uint32_t start, std::uint32_t barTicks);

/// Builds a rhythm from its style and its ten sections (Intro1 to End2).
TRhythmBuilder Compose(const TStyle& style, const std::array<TSectionPlan, kSectionCount>& plan);

}  // namespace brondel::examples
