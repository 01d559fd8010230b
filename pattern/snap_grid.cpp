#include "pattern/snap_grid.h"

#include <algorithm>

namespace brondel {

namespace {

constexpr std::uint64_t kTimelineTicks = 0x10000;

// A step's length as a fraction of quarter notes: ticks = Q x quarters / units.
struct TStepFraction {
  std::uint64_t quarters = 1;
  std::uint64_t units = 1;
};

TStepFraction FractionOf(TSnapStep step) {
  switch (step) {
    case TSnapStep::kHalf:
      return {2, 1};
    case TSnapStep::kQuarter:
      return {1, 1};
    case TSnapStep::kEighth:
      return {1, 2};
    case TSnapStep::kSixteenth:
      return {1, 4};
    case TSnapStep::kThirtySecond:
      return {1, 8};
    case TSnapStep::kQuarterTriplet:
      return {2, 3};
    case TSnapStep::kEighthTriplet:
      return {1, 3};
    case TSnapStep::kSixteenthTriplet:
      return {1, 6};
    case TSnapStep::kBar:
    case TSnapStep::kOff:
      break;
  }
  return {1, 1};
}

}  // namespace

std::string_view SnapStepName(TSnapStep step) {
  switch (step) {
    case TSnapStep::kBar:
      return "bar";
    case TSnapStep::kHalf:
      return "1/2";
    case TSnapStep::kQuarter:
      return "1/4";
    case TSnapStep::kEighth:
      return "1/8";
    case TSnapStep::kSixteenth:
      return "1/16";
    case TSnapStep::kThirtySecond:
      return "1/32";
    case TSnapStep::kQuarterTriplet:
      return "1/4T";
    case TSnapStep::kEighthTriplet:
      return "1/8T";
    case TSnapStep::kSixteenthTriplet:
      return "1/16T";
    case TSnapStep::kOff:
      return "off";
  }
  return "off";
}

TSnapStep DefaultSnapStep(const TPatternMeter& meter) {
  return meter.BeatsPerPulse() == 3 ? TSnapStep::kEighthTriplet : TSnapStep::kSixteenth;
}

TSnapGrid::TSnapGrid(const TPatternMeter& meter, TSnapStep step)
    : meter_(meter), bars_(meter.HasBars()), wholeBar_(step == TSnapStep::kBar && meter.HasBars()) {
  if (step != TSnapStep::kOff && step != TSnapStep::kBar && meter.ticksPerQuarter > 0) {
    const TStepFraction fraction = FractionOf(step);
    stepTicks_ = static_cast<std::uint64_t>(meter.ticksPerQuarter) * fraction.quarters;
    stepUnits_ = fraction.units;
  }
  // A step shorter than a tick is a tick.
  if (stepTicks_ < stepUnits_) stepTicks_ = stepUnits_ = 1;
}

TSnapGrid::TBarSpan TSnapGrid::BarAt(std::uint64_t tick) const {
  if (!bars_) return {0, kTimelineTicks};
  const std::uint64_t barTicks = 4 * static_cast<std::uint64_t>(meter_.ticksPerQuarter) *
                                 static_cast<std::uint64_t>(meter_.numerator);
  const auto units = static_cast<std::uint64_t>(meter_.denominator);
  // Bar b starts at floor(b x barTicks / units): the largest b starting at `tick` or before.
  const std::uint64_t bar = ((tick + 1) * units - 1) / barTicks;
  return {meter_.BarStart(bar), meter_.BarStart(bar + 1)};
}

std::uint64_t TSnapGrid::LineOffset(std::uint64_t k) const {
  return (2 * k * stepTicks_ + stepUnits_) / (2 * stepUnits_);
}

std::uint64_t TSnapGrid::LineIndexAt(std::uint64_t offset) const {
  std::uint64_t k = offset * stepUnits_ / stepTicks_;
  while (k > 0 && LineOffset(k) > offset) --k;
  while (LineOffset(k + 1) <= offset) ++k;
  return k;
}

std::uint32_t TSnapGrid::Floor(std::uint32_t tick) const {
  const TBarSpan bar = BarAt(tick);
  if (wholeBar_) return static_cast<std::uint32_t>(bar.start);
  return static_cast<std::uint32_t>(bar.start + LineOffset(LineIndexAt(tick - bar.start)));
}

std::uint32_t TSnapGrid::Next(std::uint32_t tick) const {
  const TBarSpan bar = BarAt(tick);
  if (wholeBar_) return static_cast<std::uint32_t>(bar.end);
  const std::uint64_t next = bar.start + LineOffset(LineIndexAt(tick - bar.start) + 1);
  return static_cast<std::uint32_t>(std::min(next, bar.end));
}

std::uint32_t TSnapGrid::Previous(std::uint32_t tick) const {
  if (tick == 0) return 0;
  const std::uint32_t floor = Floor(tick);
  return floor < tick ? floor : Floor(tick - 1);
}

std::uint32_t TSnapGrid::Ceil(std::uint32_t tick) const {
  const std::uint32_t floor = Floor(tick);
  return floor == tick ? tick : Next(tick);
}

std::uint32_t TSnapGrid::Nearest(std::uint32_t tick) const {
  const std::uint32_t floor = Floor(tick);
  const std::uint32_t next = Next(tick);
  return 2 * (tick - floor) >= next - floor ? next : floor;
}

std::uint32_t TSnapGrid::Swung(std::uint32_t tick, int swing) const {
  const std::uint32_t line = Nearest(tick);
  if (wholeBar_) return line;
  const TBarSpan bar = BarAt(line);
  const std::uint64_t k = LineIndexAt(line - bar.start);
  if (k % 2 == 0) return line;
  // The pair's start plus 2 x step x swing / 100, rounded halves up.
  const auto percent = static_cast<std::uint64_t>(std::clamp(swing, 50, 75));
  const std::uint64_t hundredths = (k - 1) * 100 + 2 * percent;
  const std::uint64_t offset =
      (2 * hundredths * stepTicks_ + 100 * stepUnits_) / (200 * stepUnits_);
  return static_cast<std::uint32_t>(std::min(bar.start + offset, bar.end));
}

std::uint32_t TSnapGrid::BarFloor(std::uint32_t tick) const {
  return static_cast<std::uint32_t>(BarAt(tick).start);
}

}  // namespace brondel
