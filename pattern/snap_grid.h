// The snap of the pattern editor: the steps a note's start, end and moves follow.
//
// A step is a note value (a bar, 1/2 to 1/32, the triplets 1/4T to 1/16T) or one tick (off), at
// the rhythm's ticks per quarter note Q: a 1/16 lasts Q / 4 ticks, a 1/8T Q / 3. Such a step is
// not always a whole number of ticks (Q = 100 gives a 1/16T of 16 2/3), so the steps are counted
// from each bar's start and each grid line is rounded, not the step: line k of a bar lies at
// bar start + round(k x step), halves up. Steps never cross a bar line: the last step of a bar
// ends at the next bar's start, however short it is. Without bars (a numerator of 0, or a meter
// too fine for a tick), the steps run from tick 0.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "pattern/pattern_model.h"

namespace brondel {

enum class TSnapStep {
  kBar,
  kHalf,
  kQuarter,
  kEighth,
  kSixteenth,
  kThirtySecond,
  kQuarterTriplet,
  kEighthTriplet,
  kSixteenthTriplet,
  kOff,
};

/// Every step in the order the toolbar offers them.
inline constexpr std::array<TSnapStep, 10> kSnapSteps = {TSnapStep::kBar,
                                                         TSnapStep::kHalf,
                                                         TSnapStep::kQuarter,
                                                         TSnapStep::kEighth,
                                                         TSnapStep::kSixteenth,
                                                         TSnapStep::kThirtySecond,
                                                         TSnapStep::kQuarterTriplet,
                                                         TSnapStep::kEighthTriplet,
                                                         TSnapStep::kSixteenthTriplet,
                                                         TSnapStep::kOff};

/// The toolbar's name of a step: "bar", "1/2" ... "1/32", "1/4T", "1/8T", "1/16T", "off".
std::string_view SnapStepName(TSnapStep step);

/// The step a pattern opens with: 1/8T in a compound meter (6/8, 9/8, 12/8), else 1/16.
TSnapStep DefaultSnapStep(const TPatternMeter& meter);

/// The grid lines of one step in one meter.
class TSnapGrid {
 public:
  TSnapGrid(const TPatternMeter& meter, TSnapStep step);

  /// The line at or before `tick`: the start of the step that holds it.
  std::uint32_t Floor(std::uint32_t tick) const;
  /// The first line after `tick`: the end of the step that holds it.
  std::uint32_t Next(std::uint32_t tick) const;
  /// The last line before `tick` (0 for tick 0).
  std::uint32_t Previous(std::uint32_t tick) const;
  /// The nearest line; halfway between two, the later.
  std::uint32_t Nearest(std::uint32_t tick) const;
  /// The line at or after `tick`.
  std::uint32_t Ceil(std::uint32_t tick) const;
  /// Where the note at `tick` goes when quantized fully with `swing` percent (50 to 75): to the
  /// nearest line, and a line of odd index within its bar to its pair's start plus
  /// 2 x step x swing / 100 (50 straight, 66 a triplet feel, 75 dotted).
  std::uint32_t Swung(std::uint32_t tick, int swing) const;
  /// The bar start at or before `tick` (0 without bars).
  std::uint32_t BarFloor(std::uint32_t tick) const;

 private:
  // The bar that holds `tick` and the ticks it spans; without bars, one bar to the timeline's end.
  struct TBarSpan {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
  };
  TBarSpan BarAt(std::uint64_t tick) const;
  // Line k of a bar, ticks from its start: round(k x stepTicks / stepUnits), halves up.
  std::uint64_t LineOffset(std::uint64_t k) const;
  // The index of the line at or before `offset` ticks into a bar.
  std::uint64_t LineIndexAt(std::uint64_t offset) const;

  TPatternMeter meter_;
  bool bars_ = false;
  bool wholeBar_ = false;        // the step is the bar
  std::uint64_t stepTicks_ = 1;  // a step lasts stepTicks_ / stepUnits_ ticks
  std::uint64_t stepUnits_ = 1;
};

}  // namespace brondel
