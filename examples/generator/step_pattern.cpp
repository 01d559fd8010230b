#include "examples/generator/step_pattern.h"

#include <stdexcept>
#include <string>

namespace brondel::examples {

namespace {

std::uint8_t Velocity(char step) {
  switch (step) {
    case 'X':
      return 112;
    case 'x':
      return 92;
    case 'o':
      return 60;
    default:
      return 0;
  }
}

/// Number of steps the note starting at `index` lasts: itself and the '=' after it.
std::uint32_t StepsHeld(std::string_view steps, std::size_t index) {
  std::size_t end = index + 1;
  while (end < steps.size() && steps[end] == '=') ++end;
  return static_cast<std::uint32_t>(end - index);
}

void AddLine(TTimedPart& part, const TLine& line, std::uint32_t start, std::uint32_t barTicks) {
  if (line.steps.empty() || barTicks % line.steps.size() != 0) {
    throw std::invalid_argument("a bar of " + std::to_string(barTicks) + " ticks has no " +
                                std::to_string(line.steps.size()) + " equal steps");
  }
  const auto stepTicks = static_cast<std::uint32_t>(barTicks / line.steps.size());
  for (std::size_t i = 0; i < line.steps.size(); ++i) {
    const std::uint8_t velocity = Velocity(line.steps[i]);
    if (velocity == 0) continue;
    const auto time = start + static_cast<std::uint32_t>(i) * stepTicks;
    for (const std::uint8_t key : line.keys) {
      part.Add(time, key, velocity, StepsHeld(line.steps, i) * stepTicks);
    }
  }
}

}  // namespace

void AddBar(TTimedPart& part, const TBar& bar, std::uint32_t start, std::uint32_t barTicks) {
  for (const TLine& line : bar) AddLine(part, line, start, barTicks);
}

TRhythmBuilder Compose(const TStyle& style, const std::array<TSectionPlan, kSectionCount>& plan) {
  TRhythmBuilder rhythm(style.tempo, style.timeSignature);
  for (int p = 0; p < kPartCount; ++p) {
    rhythm.Settings(p, style.settings[static_cast<std::size_t>(p)]);
  }
  for (int s = 0; s < kSectionCount; ++s) {
    const TSectionPlan& section = plan[static_cast<std::size_t>(s)];
    rhythm.Bars(s, section.bars);
    for (int p = 0; p < kPartCount; ++p) {
      const auto& bars = section.parts[static_cast<std::size_t>(p)];
      TTimedPart part;
      for (std::uint32_t b = 0; b < section.bars && !bars.empty(); ++b) {
        AddBar(part, bars[b % bars.size()], b * style.barTicks, style.barTicks);
      }
      rhythm.Part(s, p, part.Build(section.bars * style.barTicks));
    }
  }
  return rhythm;
}

}  // namespace brondel::examples
