#include "render/part_mix.h"

#include <algorithm>

namespace brondel {

bool TPartMix::Audible(int part) const {
  const auto index = static_cast<std::size_t>(part);
  const bool anySolo = std::find(soloed.begin(), soloed.end(), true) != soloed.end();
  return !muted[index] && (soloed[index] || !anySolo);
}

bool TPartMix::AllAudible() const {
  for (int part = 0; part < kPartCount; ++part) {
    if (!Audible(part)) return false;
  }
  return true;
}

}  // namespace brondel
