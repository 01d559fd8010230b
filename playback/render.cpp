#include "playback/render.h"

namespace brondel {

void AppendStreamEvent(TEventBuffer& buffer, std::uint32_t delta, std::uint8_t status,
                       std::uint8_t data1, std::uint8_t data2) {
  const std::uint32_t event = status | (std::uint32_t{data1} << 8) | (std::uint32_t{data2} << 16);
  for (const std::uint32_t field : {delta, std::uint32_t{0}, event}) {
    for (int shift = 0; shift < 32; shift += 8) {
      buffer.push_back(static_cast<std::uint8_t>((field >> shift) & 0xFF));
    }
  }
}

}  // namespace brondel
