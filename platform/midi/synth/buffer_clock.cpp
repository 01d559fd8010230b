#include "platform/midi/synth/buffer_clock.h"

#include <cmath>
#include <numbers>

namespace brondel::platform {
namespace {

// How quickly the loop follows the callbacks: slowly enough to smooth their jitter out, quickly
// enough to learn a rate that is a tenth off within about a second.
constexpr double kBandwidthHz = 1.0;
// A callback this much further off than two buffers means the loop has lost its way.
constexpr double kLostMicros = 5000;

}  // namespace

void BufferClock::Tick(double now, int frames, double nominalRate) {
  const double error = now - next_;
  if (frames != frames_ || std::fabs(error) > 2 * period_ + kLostMicros) {
    // The first callback, or one after an overrun or a change of buffer size: start afresh.
    frames_ = frames;
    period_ = frames * 1e6 / nominalRate;
    start_ = now;
    next_ = now + period_;
    return;
  }
  const double omega = 2 * std::numbers::pi * kBandwidthHz * period_ / 1e6;
  start_ = next_;
  next_ += std::numbers::sqrt2 * omega * error + period_;
  period_ += omega * omega * error;
}

long BufferClock::FrameAt(double time) const {
  return std::lround((time - start_) * frames_ / period_);
}

}  // namespace brondel::platform
