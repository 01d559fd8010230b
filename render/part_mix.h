// Which parts sound when the pattern window plays: mute and solo per part, as on a mixing desk.
#pragma once

#include <array>

#include "document/rhythm_format.h"

namespace brondel {

/// The mute and solo switches of the five parts.
struct TPartMix {
  std::array<bool, kPartCount> muted{};
  std::array<bool, kPartCount> soloed{};

  /// True when part 0-4 sounds: it is not muted, and it is soloed if any part is. A muted part
  /// stays silent even when soloed.
  bool Audible(int part) const;
  /// True when every part sounds.
  bool AllAudible() const;
};

}  // namespace brondel
